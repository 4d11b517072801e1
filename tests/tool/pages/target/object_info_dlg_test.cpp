// ctest-labels: gui
// The target page alone (no sensor): status text and picture per report, replay with its
// pacing, controls per run state, the folder field and the messages.
#include "pages/target/object_info_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>

#include <chrono>
#include <memory>

#include "pages/params/radar_param_setting.h"
#include "tool/app/tool_window_fixture.h"

namespace {

constexpr int kReplayFrames = 10;

class ObjectInfoDlgTest : public ToolWindowTest {
protected:
    // The page as the main window makes it, without a device; shown.
    void MakePage(int replayIntervalMs) {
        SetRootAttribute("ReplayInterval", std::to_string(replayIntervalMs));
        m_page = std::make_unique<CObjectInfoDlg>(nullptr, &m_record);
        m_page->resize(680, 440);
        m_page->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_page->isVisible(); }));
    }

    // Replays the file through the Replay button and the picker, until the run ends by itself.
    void ReplayToTheEnd(const std::string& file) {
        m_openFiles.answer = QString::fromStdString(file);
        Click(m_page.get(), kIdcTargetReplay);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
        ProcessPendingEvents();
    }

    QString Status() const { return GetDlgItemText(m_page.get(), kIdcTargetStatus); }

    RadarParamSetting m_record;
    std::unique_ptr<CObjectInfoDlg> m_page;
};

TEST_F(ObjectInfoDlgTest, AMotionlessTargetShowsItsStateDistanceAndCurrent) {
    MakePage(0);
    ReplayToTheEnd(WriteReportFile("one.dat", {{3, 123}}));
    // After the run the page shows nobody again; the report itself was shown while it ran.
    ASSERT_EQ(m_page->ReportsShown(), 1);
    EXPECT_EQ(Status(), QStringLiteral("Target Status: None\nTarget Distance: 0.00m\nEstimated "
                                       "average operating current\n  (current configuration)"
                                       ":0.14336 mA\nData transmission will increase power "
                                       "consumption.")
                            .replace('\n', QStringLiteral("\r\n")))
        << Status().toStdString();
}

TEST_F(ObjectInfoDlgTest, StatusAndPicturePerReportWhileReplaying) {
    MakePage(0);
    const struct {
        int state;
        int distance;
        const char* textPart;  // empty: no text at all
        TargetPicture picture;
    } cases[] = {
        {3, 123, "Presence(Motionless)\r\nTarget Distance: 1.23m", TargetPicture::Motionless},
        {2, 250, "Presence\r\nTarget Distance: 2.50m", TargetPicture::Motion},
        {1, 456, "None\r\nTarget Distance: 0.00m", TargetPicture::Nobody},
        {7, 123, "", TargetPicture::Nobody},  // no text, the picture stays
    };
    // One report at a time, looked at while the run is paused on its pacing.
    SetRootAttribute("ReplayInterval", "60000");
    m_page = std::make_unique<CObjectInfoDlg>(nullptr, &m_record);
    m_page->show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        const std::string file = WriteReportFile("case.dat", {{c.state, c.distance}});
        m_openFiles.answer = QString::fromStdString(file);
        Click(m_page.get(), kIdcTargetReplay);
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return m_page->ReportsShown() == 1; }, kGuiHangDeadline));
        if (*c.textPart == '\0') {
            EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
        } else {
            EXPECT_TRUE(Status().contains(QString::fromUtf8(c.textPart))) << Status().toStdString();
        }
        EXPECT_EQ(m_page->ShownPicture(), c.picture);
        if (c.state == 3) {
            EXPECT_TRUE(Status().contains(QStringLiteral("0.07524 mA")));
        }
        // Stop ends the pacing wait at once.
        Click(m_page.get(), kIdcTargetReplay);
        ASSERT_FALSE(m_page->IsRunning());
        m_page = std::make_unique<CObjectInfoDlg>(nullptr, &m_record);
        m_page->show();
    }
}

TEST_F(ObjectInfoDlgTest, ReplayPacesItsReportsEndsByItselfAndRestoresTheControls) {
    MakePage(500);
    std::vector<std::pair<int, int>> reports;
    for (int i = 0; i < kReplayFrames; ++i) reports.push_back({2 + i % 2, 100 + 10 * i});
    m_openFiles.answer = QString::fromStdString(WriteReportFile("ten.dat", reports));
    const auto start = std::chrono::steady_clock::now();
    Click(m_page.get(), kIdcTargetReplay);
    ASSERT_TRUE(m_page->IsReplay());
    EXPECT_EQ(GetDlgItemText(m_page.get(), kIdcTargetReplay), QStringLiteral("Stop"));
    EXPECT_FALSE(IsDlgItemEnabled(m_page.get(), kIdcTargetStart));
    EXPECT_FALSE(IsDlgItemEnabled(m_page.get(), kIdcSaveData));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("ReplaySeconds", std::to_string(seconds));
    std::printf("replay of %d frames at 500 ms took %.2f s\n", kReplayFrames, seconds);
    EXPECT_EQ(m_page->ReportsShown(), kReplayFrames);
    EXPECT_EQ(m_page->Engine().GetTally().reports, static_cast<uint64_t>(kReplayFrames));
    EXPECT_EQ(GetDlgItemText(m_page.get(), kIdcTargetReplay), QStringLiteral("Replay"));
    EXPECT_EQ(GetDlgItemText(m_page.get(), kIdcTargetStart), QStringLiteral("Start"));
    EXPECT_TRUE(IsDlgItemEnabled(m_page.get(), kIdcTargetStart));
    EXPECT_TRUE(IsDlgItemEnabled(m_page.get(), kIdcTargetReplay));
    EXPECT_TRUE(IsDlgItemEnabled(m_page.get(), kIdcSaveData));
    // Every report reached both plots.
    EXPECT_EQ(m_page->EnergyPlot()->GetWaveBuffer(kEnergyWave)->GetFramesReceived(), kReplayFrames);
    // The distance plot's newest sample is the last report's distance in metres.
    CWaveBuffer* distance = m_page->DistancePlot()->GetWaveBuffer(0);
    double newest = 0;
    ASSERT_EQ(distance->GetSampleAt(distance->GetCapacity() - 1, &newest), 1);
    EXPECT_DOUBLE_EQ(newest, 1.9);
    // The replayed file is remembered.
    EXPECT_EQ(RootAttribute("LastReplayFile"), "ten.dat");
}

// An unpaced replay of many reports queues one report message at a time, not one per report.
TEST_F(ObjectInfoDlgTest, AFastReplayDoesNotFloodTheWindowThread) {
    MakePage(0);
    constexpr int kManyReports = 5000;
    std::vector<std::pair<int, int>> reports(kManyReports, {2, 150});
    ReplayToTheEnd(WriteReportFile("many.dat", reports));
    EXPECT_EQ(m_page->Engine().GetTally().reports, static_cast<uint64_t>(kManyReports));
    EXPECT_GE(m_page->ReportsShown(), 1);
    EXPECT_LT(m_page->ReportsShown(), kManyReports);
}

TEST_F(ObjectInfoDlgTest, CancelledPickerStartsNothing) {
    MakePage(0);
    m_openFiles.answer.clear();
    Click(m_page.get(), kIdcTargetReplay);
    EXPECT_FALSE(m_page->IsRunning());
    ASSERT_EQ(m_openFiles.requests.size(), 1u);
    EXPECT_TRUE(m_openFiles.requests[0].filter.contains(QStringLiteral("*.dat")));
}

TEST_F(ObjectInfoDlgTest, LiveStartWithoutASensorSaysSo) {
    MakePage(0);
    Click(m_page.get(), kIdcTargetStart);
    EXPECT_FALSE(m_page->IsRunning());
    ASSERT_EQ(m_messages.requests.size(), 1u);
    EXPECT_EQ(m_messages.requests[0].text, QStringLiteral("Device Not Connected"));
    EXPECT_EQ(m_messages.requests[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_messages.requests[0].type & kMbIconMask, kMbIconError);
}

TEST_F(ObjectInfoDlgTest, TheFolderFieldFollowsTheSaveDataBox) {
    SetRootAttribute("SaveData", "0");
    MakePage(0);
    EXPECT_FALSE(IsDlgItemEnabled(m_page.get(), kIdcSavePath));
    EXPECT_FALSE(IsDlgItemEnabled(m_page.get(), kIdcBrowseSavePath));
    Click(m_page.get(), kIdcSaveData);
    EXPECT_TRUE(IsDlgItemEnabled(m_page.get(), kIdcSavePath));
    m_folders.answer = QString::fromStdString(m_home.File("records"));
    Click(m_page.get(), kIdcBrowseSavePath);
    ASSERT_EQ(m_folders.requests.size(), 1u);
    EXPECT_EQ(GetDlgItemText(m_page.get(), kIdcSavePath), m_folders.answer);
    m_page.reset();
    EXPECT_EQ(RootAttribute("SaveData"), "1");
    EXPECT_EQ(RootAttribute("SaveDataPath"), "records");
}

TEST_F(ObjectInfoDlgTest, ACollapsedPlotTakesReportsWithoutHarm) {
    MakePage(0);
    m_page->DistancePlot()->resize(0, 0);
    m_page->EnergyPlot()->resize(0, 40);
    ReplayToTheEnd(WriteReportFile("some.dat", {{2, 100}, {3, 120}, {0, 0}}));
    EXPECT_EQ(m_page->Engine().GetTally().reports, 3u);
    EXPECT_GE(m_page->ReportsShown(), 1);
    m_page->DistancePlot()->RenderFrame();
    m_page->EnergyPlot()->RenderFrame();
}

}  // namespace
