// ctest-labels: gui sim net slow
// The firmware window against zorvan-sim and a local firmware service (a file:// folder, or the
// same folder served by nginx): information in application and boot-loader mode, a partition
// flashed from a file and compared with the simulator's flash folder byte for byte, the newer
// versions listed, fetch and flash in one step, a wrong MD5 refused with the image folder left as
// it was, the simulator killed in the middle of a flash, the close refused while a job runs, and
// the skin chosen by the language. Real clicks and keys; message boxes and the file picker are
// recorded.
#include "firmware/download_dlg.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "platform/skin_reader.h"
#include "resources/string_table.h"
#include "serial/serial_port_table.h"
#include "support/nginx_server.h"
#include "support/prompt_recorder.h"
#include "support/qt_test_app.h"
#include "support/sample_firmware_service.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

namespace fs = std::filesystem;

// Generous: a flash through the boot loader waits 2 s after the restart, a dead sensor 3.5 s per
// unanswered command.
constexpr std::chrono::seconds kJobDeadline{90};
const std::vector<std::string> kFastSim = {"--time-scale", "10"};
const std::vector<std::string> kVersions = {"--version", "1.5.1", "--version", "1.5.2",
                                            "--version", "1.6.0", "--version", "v1.7.0"};

std::string Image(size_t size, uint8_t seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + seed);
    return bytes;
}

// A string table text as the information box shows it (line ends as "\n").
QString Shown(int id) {
    return QString::fromUtf8(LoadStringText(id))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

class DownloadDlgTest : public GuiTest {
protected:
    void SetUp() override {
        SetSelectedLanguage(UiLanguage::English);
        gAppConfig.Clear();
        XMLNode document = gAppConfig.GetDocumentNode();
        XMLNode root;
        document.FindOrAddChild(kAppConfigRootName, root);
        gAppConfig.SetModified(0);
    }
    void TearDown() override {
        m_dlg.reset();
        m_main.reset();
        gAppConfig.Clear();
        GuiTest::TearDown();
    }

    void StartSim(std::vector<std::string> args, const std::string& flashDir = {}) {
        m_sim.reset();
        m_sim = std::make_unique<SimProcess>(args, flashDir);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
    }

    // The window in a page area of a main window, as the tool shows it.
    void OpenWindow(UiLanguage language = UiLanguage::English) {
        m_dlg.reset();
        m_main = std::make_unique<QWidget>();
        m_dlg = std::make_unique<CDownloadDlg>(m_main.get(), language);
        ASSERT_TRUE(m_dlg->SkinLoaded()) << m_dlg->SkinError().toStdString();
        m_main->resize(m_dlg->size());
        PointAtSim();
        m_main->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_dlg->isVisible(); }));
    }
    void PointAtSim() {
        SerialLineSettings line;
        line.baudRate = 256000;
        m_dlg->SetSerialSettings(SerialPortNumberOf(m_sim->PortPath()), line);
    }

    template <typename T = QWidget>
    T* Control(const char* name) {
        T* control = m_dlg->Skin().Find<T>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QString Text(const char* name) {
        if (auto* label = m_dlg->Skin().Find<QLabel>(QString::fromLatin1(name))) {
            return label->text();
        }
        return {};
    }
    QString Info() { return Control<QPlainTextEdit>("DownloadInfoEdit")->toPlainText(); }

    void Click(const char* name) {
        QPushButton* button = Control<QPushButton>(name);
        ASSERT_TRUE(button->isEnabled()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Clicks and waits until the job it started has ended.
    void ClickAndWait(const char* name) {
        Click(name);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !m_dlg->IsBusy(); }, kJobDeadline)) << name;
        ProcessPendingEvents();
    }
    void TypePath(const std::string& path) {
        QLineEdit* edit = Control<QLineEdit>("DownloadFilePath");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromStdString(path));
    }
    // Picks the partition list's entry with the keyboard, as a user would.
    void ChoosePartition(const QString& text) {
        QComboBox* list = Control<QComboBox>("DownLoadAppCombo");
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        list->setFocus();
        while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
        while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
    }
    std::string WriteImage(const std::string& name, const std::string& bytes) {
        const std::string path = m_dir.File(name);
        WriteWholeFile(path, bytes);
        return path;
    }

    // The sample service in the test's folder, or below an nginx's document root.
    std::string BuildService(const std::vector<std::string>& args, bool http) {
        std::vector<std::string> all = kVersions;
        all.insert(all.end(), {"--images-dir", m_dir.File("images")});
        all.insert(all.end(), args.begin(), args.end());
        std::string folder = m_dir.File("service");
        if (http) {
            m_nginx = std::make_unique<NginxServer>(NginxServer::Options{});
            folder = m_nginx->DocRoot() + "/firmware";
        }
        std::string error;
        EXPECT_TRUE(MakeSampleFirmwareService(folder, all, &error)) << error;
        if (!http) return FileAddress(folder);
        EXPECT_TRUE(m_nginx->Start()) << m_nginx->Error();
        return m_nginx->Url("/firmware");
    }
    void ConfigureService(const std::string& url) {
        XMLNode root;
        gAppConfig.FindRootNode(kAppConfigRootName, root);
        XMLNode download;
        root.FindOrAddChild("Download", download);
        download.SetAttributeText("FirmwareServiceUrl", url.c_str());
    }
    std::string ServiceImage(const std::string& version, int partition) {
        return ReadWholeFile(m_dir.File("images") + "/" + version + "/APP" +
                             std::to_string(partition) + ".bin");
    }
    std::string ImageRoot() const { return m_dir.File("home") + "/FW_Image"; }

    TempDir m_dir;
    ScopedEnv m_home{"ORBO_HOME", m_dir.File("home")};
    ScopedEnv m_url{"ORBO_FIRMWARE_URL", std::nullopt};
    MessageBoxRecorder m_boxes;
    OpenFileRecorder m_files;
    std::unique_ptr<NginxServer> m_nginx;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<CDownloadDlg> m_dlg;  // a child of m_main, destroyed first
};

TEST_F(DownloadDlgTest, InformationInApplicationAndBootLoaderMode) {
    const struct {
        std::vector<std::string> args;
        const char* mode;
    } cases[] = {
        {{}, "Current Firmware: App0"},
        {{"--start-in-bootloader"}, "Current Firmware: BootLoader"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = kFastSim;
        args.insert(args.end(), c.args.begin(), c.args.end());
        StartSim(args);
        OpenWindow();
        ClickAndWait("UpdateFWInfoButton");
        EXPECT_EQ(Text("RunningMode"), QString::fromLatin1(c.mode));
        // One line: the text's line end is not shown.
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Device ID: 0x[0-9a-f]+$"))
                        .match(Text("DeviceId"))
                        .hasMatch())
            << Text("DeviceId").toStdString();
        QComboBox* list = Control<QComboBox>("DownLoadAppCombo");
        ASSERT_EQ(list->count(), 2) << c.mode;
        EXPECT_EQ(list->itemText(0), QStringLiteral("App0"));
        EXPECT_EQ(list->itemText(1), QStringLiteral("App1"));
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(m_dlg->SelectedPartition(), 0);
        EXPECT_TRUE(m_dlg->isEnabled());
        EXPECT_TRUE(m_boxes.requests.empty());
        m_dlg.reset();
    }
}

TEST_F(DownloadDlgTest, AFileIsFlashedIntoTheChosenPartitionWhileCloseIsRefused) {
    StartSim({"--time-scale", "10", "--pace"});
    OpenWindow();
    ClickAndWait("UpdateFWInfoButton");
    ChoosePartition(QStringLiteral("App1"));
    EXPECT_EQ(m_dlg->SelectedPartition(), 1);
    const std::string image = Image(24 * 1024 + 3, 7);
    const std::string path = WriteImage("image.bin", image);
    TypePath(path);
    EXPECT_EQ(m_dlg->DownloadFilePath(), std::u16string(path.begin(), path.end()));
    EXPECT_EQ(Control<QLineEdit>("DownloadFilePath")->toolTip().toStdString(), path);

    Click("DownloadButton");
    QProgressBar* bar = Control<QProgressBar>("DownloadProgress");
    // Live progress while the window thread stays free; the window is disabled meanwhile.
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return bar->value() > 0 && bar->value() < bar->maximum(); }, kJobDeadline));
    EXPECT_TRUE(m_dlg->IsBusy());
    EXPECT_FALSE(m_dlg->isEnabled());
    EXPECT_FALSE(m_main->isEnabled());
    EXPECT_TRUE(Control("DownloadingInfoLable")->isVisible());
    EXPECT_FALSE(m_dlg->close());
    ASSERT_EQ(m_boxes.requests.size(), 1u);
    EXPECT_EQ(m_boxes.requests[0].text.toStdString(), LoadStringText(kStrFirmwareBusy));
    EXPECT_TRUE(m_dlg->isVisible());

    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_dlg->IsBusy(); }, kJobDeadline));
    ProcessPendingEvents();
    EXPECT_TRUE(m_dlg->isEnabled());
    EXPECT_TRUE(m_main->isEnabled());
    EXPECT_FALSE(Control("DownloadingInfoLable")->isVisible());
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_NE(Info().indexOf(Shown(kStrDownloadSucceeded)), -1) << Info().toStdString();
    EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP1.bin"), image);
    EXPECT_FALSE(fs::exists(m_sim->FlashDir() + "/APP0.bin"));
    EXPECT_EQ(m_boxes.requests.size(), 1u);
    // Closing is allowed again.
    EXPECT_TRUE(m_dlg->close());
}

TEST_F(DownloadDlgTest, AMissingFileIsReportedAndNothingStarts) {
    StartSim(kFastSim);
    OpenWindow();
    TypePath(m_dir.File("none.bin"));
    Click("DownloadButton");
    EXPECT_FALSE(m_dlg->IsBusy());
    ASSERT_EQ(m_boxes.requests.size(), 1u);
    EXPECT_EQ(m_boxes.requests[0].text.toStdString(), LoadStringText(kStrOpenBinFailed));
    EXPECT_EQ(m_boxes.requests[0].caption.toStdString(), LoadStringText(kStrNote));
    EXPECT_EQ(m_boxes.requests[0].type & kMbIconMask, kMbIconError);
}

TEST_F(DownloadDlgTest, ATypedPathKeepsItsFirst259CharactersAndAChosenOneIsStored) {
    StartSim(kFastSim);
    OpenWindow();
    const std::string longPath = "/" + std::string(300, 'a');
    TypePath(longPath);
    EXPECT_EQ(m_dlg->DownloadFilePath().size(), 259u);
    m_files.answer = QStringLiteral("/firmware/chosen.bin");
    Click("PathButton");
    ASSERT_EQ(m_files.requests.size(), 1u);
    EXPECT_EQ(m_files.requests[0].initialPath.size(), 259);
    EXPECT_EQ(Control<QLineEdit>("DownloadFilePath")->text(), m_files.answer);
    XMLNode root, download;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    ASSERT_TRUE(root.FindChild("Download", download));
    CBaseStringA stored;
    download.GetAttributeText("DownloadFilePath", stored);
    EXPECT_STREQ(stored.GetString(), "/firmware/chosen.bin");
    // A new window starts with it.
    m_dlg.reset();
    OpenWindow();
    EXPECT_EQ(Control<QLineEdit>("DownloadFilePath")->text(), m_files.answer);
}

TEST_F(DownloadDlgTest, NewerVersionsAreListedAndAWrongDigestLeavesTheImageFolderAsItWas) {
    StartSim(kFastSim);
    ConfigureService(BuildService({"--wrong-md5", "1.6.0"}, false));
    OpenWindow();
    for (const char* name : {"VersionCombo", "GetFWButton", "GetFWAndDownloadButton"}) {
        EXPECT_FALSE(Control(name)->isEnabled()) << name;
    }
    ClickAndWait("CheckVersionButton");
    QComboBox* versions = Control<QComboBox>("VersionCombo");
    ASSERT_EQ(versions->count(), 2);
    EXPECT_EQ(versions->itemText(0), QStringLiteral("1.6.0"));
    EXPECT_EQ(versions->itemText(1), QStringLiteral("v1.7.0"));
    for (const char* name : {"VersionCombo", "GetFWButton", "GetFWAndDownloadButton"}) {
        EXPECT_TRUE(Control(name)->isEnabled()) << name;
    }

    WriteWholeFile(ImageRoot() + "/1.6.0/APP0.bin", "earlier image");
    const auto before = ReadFolderTree(ImageRoot());
    ClickAndWait("GetFWButton");
    ASSERT_EQ(m_boxes.requests.size(), 1u);
    EXPECT_EQ(m_boxes.requests[0].caption.toStdString(), LoadStringText(kStrError));
    EXPECT_EQ(m_boxes.requests[0].text.toStdString(), LoadStringText(kStrServiceDownloadFailed));
    EXPECT_EQ(ReadFolderTree(ImageRoot()), before);
}

TEST_F(DownloadDlgTest, AFetchedVersionGivesTheImageOfTheChosenPartition) {
    StartSim(kFastSim);
    ConfigureService(BuildService({}, false));
    OpenWindow();
    ClickAndWait("UpdateFWInfoButton");
    ChoosePartition(QStringLiteral("App1"));
    ClickAndWait("CheckVersionButton");
    ClickAndWait("GetFWButton");
    EXPECT_TRUE(m_boxes.requests.empty());
    const std::string expected = ImageRoot() + "/1.6.0/APP1.bin";
    EXPECT_EQ(Control<QLineEdit>("DownloadFilePath")->text().toStdString(), expected);
    EXPECT_EQ(ReadWholeFile(expected), ServiceImage("1.6.0", 1));
    EXPECT_EQ(Control<QProgressBar>("GetVersionProgress")->value(), 100);
    EXPECT_TRUE(
        Text("GetVersionProgressText").startsWith(QStringLiteral("Firmware download: 100%")));
}

TEST_F(DownloadDlgTest, FetchAndFlashInOneStepOverHttp) {
    StartSim(kFastSim);
    ConfigureService(BuildService({}, true));
    OpenWindow();
    ClickAndWait("UpdateFWInfoButton");
    ChoosePartition(QStringLiteral("App1"));
    ClickAndWait("CheckVersionButton");
    ASSERT_GE(Control<QComboBox>("VersionCombo")->count(), 2);
    QComboBox* versions = Control<QComboBox>("VersionCombo");
    versions->setFocus();
    QTest::keyClick(versions, Qt::Key_Down);
    ASSERT_EQ(versions->currentText(), QStringLiteral("v1.7.0"));
    ClickAndWait("GetFWAndDownloadButton");
    EXPECT_TRUE(m_boxes.requests.empty()) << m_boxes.requests[0].text.toStdString();
    // The partition chosen before stays chosen through the information query that comes first.
    EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP1.bin"), ServiceImage("v1.7.0", 1));
    EXPECT_FALSE(fs::exists(m_sim->FlashDir() + "/APP0.bin"));
    EXPECT_EQ(Control<QComboBox>("DownLoadAppCombo")->currentText(), QStringLiteral("App1"));
    EXPECT_NE(Info().indexOf(Shown(kStrDownloadSucceeded)), -1);
}

TEST_F(DownloadDlgTest, AFetchedVersionWithoutTheChosenPartitionsImageFlashesNothing) {
    StartSim({"--time-scale", "10", "--partitions", "0x7"});
    ConfigureService(BuildService({}, false));
    OpenWindow();
    ClickAndWait("UpdateFWInfoButton");
    ChoosePartition(QStringLiteral("App2"));
    ClickAndWait("CheckVersionButton");
    ClickAndWait("GetFWAndDownloadButton");
    ASSERT_EQ(m_boxes.requests.size(), 1u);
    EXPECT_EQ(m_boxes.requests[0].caption.toStdString(), LoadStringText(kStrNote));
    EXPECT_EQ(m_boxes.requests[0].text.toStdString(), LoadStringText(kStrBinFileError));
    EXPECT_TRUE(ReadFolderTree(m_sim->FlashDir()).empty());
    // No other image of the version was taken instead.
    EXPECT_EQ(Info().indexOf(Shown(kStrDownloading)), -1) << Info().toStdString();
}

TEST_F(DownloadDlgTest, ASensorKilledMidFlashIsReportedAndTheNextFlashSucceeds) {
    StartSim({"--time-scale", "10", "--pace"});
    const std::string flashDir = m_sim->FlashDir();
    OpenWindow();
    const std::string image = Image(40 * 1024, 3);
    TypePath(WriteImage("image.bin", image));
    ClickAndWait("UpdateFWInfoButton");
    Click("DownloadButton");
    QProgressBar* bar = Control<QProgressBar>("DownloadProgress");
    ASSERT_TRUE(ProcessEventsUntil([&] { return bar->value() > 0; }, kJobDeadline));
    ASSERT_TRUE(m_sim->Signal(SIGKILL));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_dlg->IsBusy(); }, kJobDeadline));
    ProcessPendingEvents();
    EXPECT_TRUE(m_dlg->isEnabled());
    EXPECT_NE(Info().indexOf(QStringLiteral("Failed to download")), -1) << Info().toStdString();
    EXPECT_EQ(Info().indexOf(Shown(kStrDownloadSucceeded)), -1);

    // A fresh simulator on the same flash folder (a new port): the next flash succeeds.
    const std::string keep = flashDir + ".kept";
    fs::create_directories(keep);
    StartSim(kFastSim, keep);
    PointAtSim();
    Control<QPlainTextEdit>("DownloadInfoEdit")->clear();
    ClickAndWait("UpdateFWInfoButton");
    ClickAndWait("DownloadButton");
    EXPECT_NE(Info().indexOf(Shown(kStrDownloadSucceeded)), -1) << Info().toStdString();
    EXPECT_EQ(ReadWholeFile(keep + "/APP0.bin"), image);
}

TEST_F(DownloadDlgTest, AnUnknownOnlineTotalShowsZeroWithoutDividing) {
    StartSim(kFastSim);
    OpenWindow();
    m_dlg->OnFirmwareFetchProgress(-1, 4096, 0, 1.5, "Firmware download: 0%, 1.50 kB/s");
    ProcessPendingEvents();
    EXPECT_EQ(Control<QProgressBar>("GetVersionProgress")->value(), 0);
    EXPECT_EQ(Text("GetVersionProgressText"), QStringLiteral("Firmware download: 0%, 1.50 kB/s"));
}

TEST_F(DownloadDlgTest, TheSkinFollowsTheLanguage) {
    StartSim(kFastSim);
    const struct {
        UiLanguage language;
        const char* folder;
        const char* button;
    } cases[] = {
        {UiLanguage::English, "Skin/ENG/Download/Download_FW.xml", "Download"},
        {UiLanguage::Chinese, "Skin/CHS/Download/Download_FW.xml", "下载"},
    };
    for (const auto& c : cases) {
        OpenWindow(c.language);
        EXPECT_TRUE(m_dlg->SkinPath().endsWith(QString::fromLatin1(c.folder)))
            << m_dlg->SkinPath().toStdString();
        EXPECT_EQ(Control<QPushButton>("DownloadButton")->text(), QString::fromUtf8(c.button));
        EXPECT_EQ(m_dlg->objectName(), QStringLiteral("DownloadDlg"));
        m_dlg.reset();
    }
}

// build/screenshots/firmware_window_<eng|chs>.png: the window in the middle of a flash.
TEST_F(DownloadDlgTest, ScreenshotsDuringAFlash) {
    const char* bin = std::getenv("ORBO_TEST_BIN_DIR");
    QDir folder(bin != nullptr ? QString::fromLocal8Bit(bin)
                               : QCoreApplication::applicationDirPath());
    folder.cdUp();
    ASSERT_TRUE(folder.mkpath(QStringLiteral("screenshots")));
    const struct {
        UiLanguage language;
        const char* name;
    } cases[] = {{UiLanguage::English, "firmware_window_eng.png"},
                 {UiLanguage::Chinese, "firmware_window_chs.png"}};
    for (const auto& c : cases) {
        SetSelectedLanguage(c.language);
        StartSim({"--time-scale", "10", "--pace"});
        OpenWindow(c.language);
        const std::string image = Image(48 * 1024, 5);
        TypePath(WriteImage("shot.bin", image));
        ClickAndWait("UpdateFWInfoButton");
        Click("DownloadButton");
        QProgressBar* bar = Control<QProgressBar>("DownloadProgress");
        ASSERT_TRUE(ProcessEventsUntil(
            [&] { return bar->maximum() > 1 && bar->value() * 5 >= bar->maximum() * 2; },
            kJobDeadline));
        ProcessPendingEvents();
        const QImage shot = m_main->grab().toImage();
        const QString path = QDir(folder.filePath(QStringLiteral("screenshots")))
                                 .filePath(QString::fromLatin1(c.name));
        EXPECT_TRUE(shot.save(path, "PNG")) << path.toStdString();
        ASSERT_TRUE(ProcessEventsUntil([&] { return !m_dlg->IsBusy(); }, kJobDeadline));
        EXPECT_EQ(ReadWholeFile(m_sim->FlashDir() + "/APP0.bin"), image);
        m_dlg.reset();
    }
    SetSelectedLanguage(UiLanguage::English);
}

}  // namespace
