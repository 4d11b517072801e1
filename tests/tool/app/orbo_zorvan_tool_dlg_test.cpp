// ctest-labels: gui sim
// The main window end to end against zorvan-sim, each test on a simulator of its own (its own
// virtual port): connecting, live reports on the target page, recording, page switches, the
// sensor vanishing, and the failures of the connect button.
#include "app/orbo_zorvan_tool_dlg.h"

#include <gtest/gtest.h>

#include <QBackingStore>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>

#include "app/main_window_texts.h"
#include "core/base_buffer.h"
#include "device/device_connection.h"
#include "firmware/download_dlg.h"
#include "pages/params/param_setting_dlg.h"
#include "pages/params/radar_param_device.h"
#include "pages/target/object_info_dlg.h"
#include "platform/skin_reader.h"
#include "resources/string_table.h"
#include "serial/serial_port_table.h"
#include "support/prompt_recorder.h"
#include "support/screenshot_folder.h"
#include "support/sim_process.h"
#include "support/whole_file.h"
#include "tool/app/tool_window_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSomeReports = 5;
// Enough reports for both plots and the state band to show something.
constexpr int kScreenshotReports = 40;

constexpr uint32_t kReportFrameBytes = kFrameEnvelopeBytes + kTargetReportPayloadBytes;

// What a recording holds: its reports and the bytes that were no part of a report frame.
struct RecordingContent {
    uint64_t reports = 0;
    uint64_t skipped = 0;
    uint64_t bytes = 0;
};

RecordingContent ReadRecording(const fs::path& file) {
    struct Counter : ITargetReportConsumer {
        void OnTargetReport(const TargetReport&) override { ++reports; }
        void OnBytesSkipped(size_t count) override { skipped += count; }
        uint64_t reports = 0;
        uint64_t skipped = 0;
    } counter;
    const std::vector<uint8_t> bytes = ReadWholeFileBytes(file);
    CBaseBuffer buffer;
    buffer.SetBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CutFrames(buffer, counter);
    return {counter.reports, counter.skipped + buffer.GetAvailSize(), bytes.size()};
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    return files;
}

class MainWindowSimTest : public ToolWindowTest {
protected:
    // The window on this test's simulator, shown; `connect` and `page` as on the command line.
    void Open(bool connect, std::optional<ToolPage> page = std::nullopt) {
        ASSERT_TRUE(m_sim.Started()) << m_sim.Error();
        ToolOptions options;
        options.port = m_sim.PortPath();
        options.connect = connect;
        options.pageGiven = page.has_value();
        options.page = page.value_or(ToolPage::Params);
        m_window = std::make_unique<COrbo_Zorvan_ToolDlg>(options);
        m_window->show();
        if (connect) {
            ASSERT_TRUE(WaitForText(m_window.get(), kIdcConnect, Disconnect()));
        }
    }

    // Writes the parameters into the simulator before the window connects.
    void GiveSensor(const RadarParamSetting& sensor) {
        ASSERT_TRUE(m_sim.Started()) << m_sim.Error();
        DeviceConnection writer;
        ASSERT_EQ(writer.Connect(SerialPortNumberOf(m_sim.PortPath()), SerialLineSettings{}),
                  DeviceConnectResult::Connected);
        ASSERT_EQ(WriteAllParameters(writer.Device(), sensor), kParamResultSuccess);
    }

    bool WaitForReports(int64_t count) {
        const int64_t target = m_window->TargetPage()->ReportsShown() + count;
        return ProcessEventsUntil([&] { return m_window->TargetPage()->ReportsShown() >= target; },
                                  kGuiHangDeadline);
    }

    // Live display on the target page, recording into the returned folder.
    std::string OpenRecording() {
        const std::string folder = m_home.File("records");
        SetRootAttribute("SaveData", "1");
        SetRootAttribute("SaveDataPath", folder);
        Open(true, ToolPage::Target);
        EXPECT_TRUE(WaitForReports(kSomeReports));
        return folder;
    }

    // The folder holds one recording of whole report frames back to back, with at least the
    // reports shown live; its content.
    static RecordingContent ExpectOneWholeRecording(const std::string& folder, uint64_t shown) {
        const auto files = FilesIn(folder);
        EXPECT_EQ(files.size(), 1u);
        if (files.size() != 1) return {};
        const RecordingContent content = ReadRecording(files[0]);
        EXPECT_EQ(content.skipped, 0u);
        EXPECT_EQ(content.bytes, content.reports * kReportFrameBytes);
        EXPECT_GE(content.reports, shown);
        return content;
    }

    static QString Disconnect() { return QString::fromUtf8(LoadStringText(kStrDisconnect)); }
    static QString Connect() { return QString::fromUtf8(LoadStringText(kStrConnect)); }

    // Reports come ten times faster than in real time.
    SimProcess m_sim{{"--time-scale", "10"}};
    std::unique_ptr<COrbo_Zorvan_ToolDlg> m_window;
};

TEST_F(MainWindowSimTest, ConnectShowsDisconnAndTheSensorsVersionAndSerialNumber) {
    Open(false);
    EXPECT_EQ(GetDlgItemText(m_window.get(), kIdcConnect), Connect());
    EXPECT_FALSE(IsDlgItemShown(m_window.get(), kIdcVersionLabel));
    // The port named on the command line is listed and selected.
    EXPECT_EQ(GetDlgItemText(m_window.get(), kIdcPortList),
              QString::fromStdString(m_sim.PortPath()));
    Click(m_window.get(), kIdcConnect);
    ASSERT_TRUE(WaitForText(m_window.get(), kIdcConnect, Disconnect()));
    EXPECT_TRUE(IsDlgItemShown(m_window.get(), kIdcVersionLabel));
    const QString label = GetDlgItemText(m_window.get(), kIdcVersionLabel);
    EXPECT_TRUE(label.contains(QStringLiteral("Ver: v1.5.2"))) << label.toStdString();
    EXPECT_TRUE(label.contains(QStringLiteral("SN: ZV2403150001"))) << label.toStdString();
    EXPECT_TRUE(m_messages.requests.empty());
    EXPECT_EQ(RootAttribute("BaudRate"), "115200");

    // Pressing it again closes the link; the caption follows the notification.
    Click(m_window.get(), kIdcConnect);
    ASSERT_TRUE(WaitForText(m_window.get(), kIdcConnect, Connect()));
    EXPECT_FALSE(IsDlgItemShown(m_window.get(), kIdcVersionLabel));
    EXPECT_FALSE(m_window->IsConnected());
}

TEST_F(MainWindowSimTest, ConnectShowsTheSensorsParametersOnTheParameterPage) {
    RadarParamSetting sensor;
    sensor.DetectRangeMax = 4.2;
    sensor.TriggerThreshold[5] = 66;
    ASSERT_NO_FATAL_FAILURE(GiveSensor(sensor));
    Open(true);
    CParamSettingDlg* page = m_window->ParamPage();
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->isVisible());
    EXPECT_DOUBLE_EQ(m_window->Record().DetectRangeMax, 4.2);
    EXPECT_EQ(GetDlgItemText(page, kIdcRangeMax), QStringLiteral("4.2"));
    EXPECT_EQ(GetDlgItemText(page, kIdcFirstTriggerThreshold + 5), QStringLiteral("66"));
    // The page reads through the window's device.
    MessageBoxRecorder boxes;
    QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(page, kIdcParamRead)), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !boxes.requests.empty(); }, kGuiHangDeadline));
    EXPECT_EQ(boxes.requests[0].text, QStringLiteral("Succeed reading parameters"));
}

TEST_F(MainWindowSimTest, AfterTheReadOnConnectingWriteConfigAsksBeforeChangingTheSensor) {
    RadarParamSetting sensor;
    sensor.TriggerThreshold[5] = 66;
    ASSERT_NO_FATAL_FAILURE(GiveSensor(sensor));
    Open(true);
    CParamSettingDlg* page = m_window->ParamPage();
    ASSERT_NE(page, nullptr);
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(page, kIdcFirstTriggerThreshold + 5));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return edit->hasFocus(); }));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, "70");
    QTest::keyClick(edit, Qt::Key_Tab);

    MessageBoxRecorder boxes;
    boxes.ScriptAnswers({kIdNo});
    QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(page, kIdcParamWrite)), Qt::LeftButton);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text,
              QStringLiteral("Writing changes these parameters on the sensor (sensor -> page):"
                             "\r\nGate5TriggerThreshold: 66 -> 70\r\n\r\nWrite them?"));
    EXPECT_FALSE(page->IsBusy()) << "No starts no write";
    // The sensor still holds 66: a read brings it back.
    QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(page, kIdcParamRead)), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return boxes.requests.size() == 2; }, kGuiHangDeadline));
    EXPECT_EQ(boxes.requests[1].text, QStringLiteral("Succeed reading parameters"));
    EXPECT_EQ(GetDlgItemText(page, kIdcFirstTriggerThreshold + 5), QStringLiteral("66"));
}

TEST_F(MainWindowSimTest, LiveReportsUpdateTheTextThePictureAndBothPlots) {
    Open(true, ToolPage::Target);
    CObjectInfoDlg* page = m_window->TargetPage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_EQ(GetDlgItemText(page, kIdcTargetStart), QStringLiteral("Stop"));
    EXPECT_FALSE(IsDlgItemEnabled(page, kIdcTargetReplay));
    const int64_t energyPaints = page->EnergyPlot()->PaintCount();
    const int64_t distancePaints = page->DistancePlot()->PaintCount();
    ASSERT_TRUE(WaitForReports(kSomeReports));

    const QString status = GetDlgItemText(page, kIdcTargetStatus);
    EXPECT_TRUE(status.startsWith(QStringLiteral("Target Status: "))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral(" mA"))) << status.toStdString();
    EXPECT_NE(page->ShownPicture(), TargetPicture::Unchanged);
    EXPECT_GE(page->EnergyPlot()->GetWaveBuffer(kEnergyWave)->GetFramesReceived(), kSomeReports);
    ASSERT_TRUE(ProcessEventsUntil(
        [&] {
            return page->EnergyPlot()->PaintCount() > energyPaints &&
                   page->DistancePlot()->PaintCount() > distancePaints;
        },
        kGuiHangDeadline));
    // The state band shows the reports: the newest column is not the no-report black.
    const QImage plot = page->DistancePlot()->PlotImage();
    ASSERT_FALSE(plot.isNull());
    EXPECT_NE(plot.pixel(plot.width() - 1, 1) & 0xFFFFFF, 0u);

    // Live frames are drawn in place, the energy plot's only where its curve moved; stopped, the
    // screen shows exactly what whole frames show (curves erased, shading laid once).
    EXPECT_GT(page->EnergyPlot()->IncrementalPaintCount(), 0);
    Click(page, kIdcTargetStart);
    ASSERT_FALSE(page->IsRunning());
    QCoreApplication::processEvents();
    auto* store = dynamic_cast<QImage*>(m_window->backingStore()->paintDevice());
    ASSERT_NE(store, nullptr);
    for (CWaveWnd* shown : {page->EnergyPlot(), page->DistancePlot()}) {
        EXPECT_GT(shown->InPlacePaintCount(), 0);
        shown->RenderFrame();
        const QImage frame = shown->WindowImage().convertToFormat(QImage::Format_RGB32);
        const QRect area(shown->mapTo(m_window.get(), QPoint(0, 0)), shown->size());
        const QImage screen = store->copy(area).convertToFormat(QImage::Format_RGB32);
        const RECT r = shown->GetPlotRect();
        const QRect plotArea(r.left, r.top, r.right - r.left, r.bottom - r.top);
        EXPECT_EQ(screen.copy(plotArea), frame.copy(plotArea));
    }
}

TEST_F(MainWindowSimTest, ARecordingHoldsExactlyTheDeliveredFrames) {
    const std::string folder = OpenRecording();
    CObjectInfoDlg* page = m_window->TargetPage();
    Click(page, kIdcTargetStart);
    ASSERT_FALSE(page->IsRunning());
    const uint64_t shown = page->Engine().GetTally().reports;
    EXPECT_GE(shown, static_cast<uint64_t>(kSomeReports));
    // Whole frames only, back to back: nothing lost, nothing added; every report shown live is
    // in it (bytes received as the run stopped may add a few).
    const RecordingContent content = ExpectOneWholeRecording(folder, shown);
    const auto files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);

    // Replaying the recording shows the same reports.
    SetRootAttribute("ReplayInterval", "0");
    m_openFiles.answer = QString::fromStdString(files[0].string());
    Click(page, kIdcTargetReplay);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_EQ(page->Engine().GetTally().reports, content.reports);
    EXPECT_EQ(page->Engine().GetTally().bytesSkipped, 0u);
}

TEST_F(MainWindowSimTest, SwitchingPagesStopsAndRestartsLiveDisplay) {
    Open(true, ToolPage::Target);
    CObjectInfoDlg* page = m_window->TargetPage();
    ASSERT_TRUE(WaitForReports(1));
    Click(m_window.get(), kIdcParamPageButton);
    EXPECT_FALSE(page->IsRunning());
    EXPECT_TRUE(m_window->ParamPage()->isVisible());
    EXPECT_TRUE(m_window->IsConnected());
    Click(m_window.get(), kIdcTargetPageButton);
    EXPECT_TRUE(page->IsRunning());
    ASSERT_TRUE(WaitForReports(2));

    // The firmware page ends the link (stopping first) and disables Connect.
    Click(m_window.get(), kIdcFirmwarePageButton);
    EXPECT_FALSE(page->IsRunning());
    EXPECT_FALSE(m_window->IsConnected());
    EXPECT_FALSE(IsDlgItemEnabled(m_window.get(), kIdcConnect));
    ASSERT_TRUE(WaitForText(m_window.get(), kIdcConnect, Connect()));
    EXPECT_EQ(m_window->FirmwarePage()->objectName(), QString::fromLatin1(kFirmwarePageName));
    Click(m_window.get(), kIdcTargetPageButton);
    EXPECT_TRUE(IsDlgItemEnabled(m_window.get(), kIdcConnect));
    EXPECT_FALSE(page->IsRunning());  // not connected: nothing restarts
}

// The firmware page takes the main window's port and line settings and flashes with them; while
// it runs, the main window refuses to close.
TEST_F(MainWindowSimTest, TheFirmwarePageFlashesWithTheWindowsSettingsAndHoldsItsClose) {
    Open(false, ToolPage::Firmware);
    CDownloadDlg* page = m_window->FirmwarePage();
    ASSERT_TRUE(page->SkinLoaded()) << page->SkinError().toStdString();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->isVisible(); }, kGuiHangDeadline));
    EXPECT_EQ(page->PortNumber(), m_window->PortNumber());
    EXPECT_EQ(static_cast<int32_t>(page->LineSettings().baudRate), m_window->BaudRate());

    const std::string image(20 * 1024 + 1, '\x5a');
    const std::string file = m_home.File("image.bin");
    WriteWholeFile(file, image);
    auto* path = page->Skin().Find<QLineEdit>(QStringLiteral("DownloadFilePath"));
    path->selectAll();
    QTest::keyClicks(path, QString::fromStdString(file));
    QTest::mouseClick(page->Skin().Find<QPushButton>(QStringLiteral("UpdateFWInfoButton")),
                      Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !page->IsBusy(); }, kGuiHangDeadline));
    ASSERT_EQ(page->SelectedPartition(), 0);
    // From the application: the restart into the boot loader alone takes 2 s.
    QTest::mouseClick(page->Skin().Find<QPushButton>(QStringLiteral("DownloadButton")),
                      Qt::LeftButton);
    ASSERT_TRUE(page->IsBusy());
    EXPECT_FALSE(m_window->isEnabled());
    EXPECT_FALSE(m_window->close());
    EXPECT_TRUE(m_window->isVisible());
    ASSERT_EQ(m_messages.requests.size(), 1u);
    EXPECT_EQ(m_messages.requests[0].text.toStdString(), LoadStringText(kStrFirmwareBusy));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !page->IsBusy(); }, kGuiHangDeadline));
    EXPECT_TRUE(m_window->isEnabled());
    EXPECT_TRUE(ReadWholeFile(m_sim.FlashDir() + "/APP0.bin") == image)
        << page->Skin()
               .Find<QPlainTextEdit>(QStringLiteral("DownloadInfoEdit"))
               ->toPlainText()
               .toStdString();
    EXPECT_EQ(m_messages.requests.size(), 1u);
    EXPECT_TRUE(m_window->close());
}

// The sensor unplugged during live display, a recording running: the window returns to
// "Connect" on its own thread, and the recording keeps every frame received.
TEST_F(MainWindowSimTest, KillingTheSimulatorReturnsToConnectAndKeepsTheRecording) {
    const std::string folder = OpenRecording();
    CObjectInfoDlg* page = m_window->TargetPage();

    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_sim.Signal(SIGKILL));
    ASSERT_TRUE(WaitForText(m_window.get(), kIdcConnect, Connect()));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count();
    std::printf("back to Connect %.3f s after the simulator was killed\n", seconds);
    EXPECT_FALSE(page->IsRunning());
    EXPECT_FALSE(IsDlgItemShown(m_window.get(), kIdcVersionLabel));
    EXPECT_EQ(GetDlgItemText(page, kIdcTargetStart), QStringLiteral("Start"));

    ExpectOneWholeRecording(folder, page->Engine().GetTally().reports);
}

TEST_F(MainWindowSimTest, ResizingScalesTheTargetPageBySTheSmallerFactor) {
    Open(false);
    const QSize size = m_window->size();
    m_window->resize(size.width() * 2, size.height());
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_window->size().width() == size.width() * 2; }));
    EXPECT_DOUBLE_EQ(m_window->Scale(), 1.0);
    m_window->resize(size * 2);
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_window->size() == size * 2; }));
    EXPECT_NEAR(m_window->Scale(), 2.0, 0.01);
    EXPECT_DOUBLE_EQ(m_window->TargetPage()->Scale(), m_window->Scale());
}

// Pictures of the target page with live data for people to look at (build/screenshots/).
class MainWindowScreenshotTest : public MainWindowSimTest,
                                 public ::testing::WithParamInterface<UiLanguage> {};

TEST_P(MainWindowScreenshotTest, TargetPageWithLiveData) {
    SetSelectedLanguage(GetParam());
    Open(true, ToolPage::Target);
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return m_window->TargetPage()->IsRunning(); }, kGuiHangDeadline));
    ASSERT_TRUE(WaitForReports(kScreenshotReports));
    ProcessPendingEvents();
    const QImage image = m_window->grab().toImage();
    const char* suffix = GetParam() == UiLanguage::Chinese ? "zh" : "en";
    const QString path =
        QDir(ScreenshotFolder())
            .filePath(QStringLiteral("target_page_live_%1.png").arg(QLatin1String(suffix)));
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, MainWindowScreenshotTest,
                         ::testing::Values(UiLanguage::English, UiLanguage::Chinese));

class MainWindowFailureTest : public ToolWindowTest {
protected:
    void Open(const std::string& port) {
        ToolOptions options;
        options.port = port;
        m_window = std::make_unique<COrbo_Zorvan_ToolDlg>(options);
        m_window->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_window->isVisible(); }));
    }
    void TypeBaud(const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(m_window.get(), kIdcBaudRate));
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    std::unique_ptr<COrbo_Zorvan_ToolDlg> m_window;
};

TEST_F(MainWindowFailureTest, NoPortsGiveNoDeviceDetected) {
    Open("");
    m_window->SetPortEnumerator([] { return std::vector<std::string>(); });
    Click(m_window.get(), kIdcRefresh);
    EXPECT_EQ(GetDlgList(m_window.get(), kIdcPortList)->count(), 0);
    EXPECT_EQ(m_window->PortNumber(), kNoPortNumber);
    Click(m_window.get(), kIdcConnect);
    ASSERT_EQ(m_messages.requests.size(), 1u);
    EXPECT_EQ(m_messages.requests[0].text, QStringLiteral("No Device Detected"));
    EXPECT_EQ(m_messages.requests[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_messages.requests[0].type & kMbIconMask, kMbIconError);
    EXPECT_NE(m_messages.requests[0].type & kMbTopMost, 0u);
}

TEST_F(MainWindowFailureTest, ADeadPortFailsToOpenAndTheBaudTextIsStoredAsANumber) {
    const struct {
        const char* typed;
        const char* stored;
    } cases[] = {{"9600", "9600"}, {"abc", "0"}, {"57600x", "57600"}};
    Open(m_home.File("no-such-port"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        m_messages.requests.clear();
        TypeBaud(QString::fromLatin1(c.typed));
        Click(m_window.get(), kIdcConnect);
        ASSERT_EQ(m_messages.requests.size(), 1u);
        EXPECT_EQ(m_messages.requests[0].text, QStringLiteral("Failed to open device"));
        EXPECT_EQ(m_messages.requests[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(RootAttribute("BaudRate"), c.stored);
        EXPECT_EQ(GetDlgItemText(m_window.get(), kIdcConnect), QStringLiteral("Connect"));
    }
}

TEST_F(MainWindowFailureTest, TheCaptionCarriesTheVersionAndEnterAndEscapeEndNothing) {
    Open("");
    EXPECT_EQ(
        m_window->windowTitle(),
        QStringLiteral("Orbo_Zorvan_Tool(v%1)").arg(QString::fromStdString(ProgramVersionText())));
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QTest::keyClick(m_window.get(), Qt::Key_Return);
    EXPECT_TRUE(m_window->isVisible());
    // The run's log file is in the Log folder of the home folder.
    ASSERT_TRUE(m_window->LogFile().IsOpen());
    EXPECT_EQ(fs::path(m_window->LogFile().Path()).parent_path(), m_home.Path() / "Log");
    EXPECT_EQ(fs::path(m_window->LogFile().Path()).filename().string().rfind("Zorvan_TOOL_", 0),
              0u);
}

}  // namespace
