// ctest-labels: gui
// The target page's replay bar and run summary, with real clicks and keys on a committed
// recording (tests/data/recordings/README.md): seeking shows the report sought, the speeds pace
// the engine, a pause holds the position, the bar is there only while a replay runs (and the
// resize tool moves it with the rest), and the summary shows the file's known figures.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/orbo_zorvan_tool_dlg.h"
#include "device/replay_speed.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/object_info_dlg.h"
#include "pages/target/replay_bar.h"
#include "support/screenshot_folder.h"
#include "support/test_recordings.h"
#include "support/wait_until.h"
#include "tool/app/tool_window_fixture.h"

namespace {

using namespace test_recordings;

constexpr int kIntervalMs = 500;
// How long a held replay is watched for reports that must not come.
constexpr auto kHoldWatch = std::chrono::milliseconds(300);
constexpr int kSaveRow[] = {kIdcSaveData, kIdcSavePath, kIdcBrowseSavePath};

class ReplayBarTest : public ToolWindowTest {
protected:
    void MakePage(int intervalMs) {
        SetRootAttribute("ReplayInterval", std::to_string(intervalMs));
        m_page = std::make_unique<CObjectInfoDlg>(nullptr, &m_record);
        m_page->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_page->isVisible(); }));
    }

    // Starts a replay of states_30.dat through the Replay button and the picker.
    void StartReplay(QWidget* page) {
        m_openFiles.answer = QString::fromStdString(Path("states_30.dat"));
        Click(page, kIdcTargetReplay);
    }

    CReplayBar* Bar() const { return m_page->Steering()->Bar(); }
    QString Status() const { return GetDlgItemText(m_page.get(), kIdcTargetStatus); }
    bool WaitHolding() const {
        return ProcessEventsUntil([&] { return m_page->Engine().IsReplayHolding(); },
                                  kGuiHangDeadline);
    }
    // Chooses a speed with the keyboard on the bar's list, as a user would.
    void ChooseSpeed(double speed) {
        QComboBox* list = Bar()->SpeedList();
        const int wanted = list->findData(speed);
        ASSERT_GE(wanted, 0);
        while (list->currentIndex() != wanted) {
            QTest::keyClick(list, list->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
        }
    }
    void ClickPause() { QTest::mouseClick(Bar()->PauseButton(), Qt::LeftButton); }

    RadarParamSetting m_record;
    std::unique_ptr<CObjectInfoDlg> m_page;
};

TEST_F(ReplayBarTest, TheBarIsThereOnlyWhileAReplayRuns) {
    MakePage(kIntervalMs);
    EXPECT_FALSE(Bar()->isVisible());
    StartReplay(m_page.get());
    ASSERT_TRUE(m_page->IsReplay());
    EXPECT_TRUE(Bar()->isVisible());
    for (const int id : kSaveRow) EXPECT_FALSE(IsDlgItemShown(m_page.get(), id)) << id;
    // The index is built when the recording is opened.
    EXPECT_EQ(m_page->Steering()->Index().Count(), kStates30Reports);
    EXPECT_EQ(Bar()->PositionSlider()->maximum(), static_cast<int>(kStates30Reports - 1));
    EXPECT_EQ(Bar()->SpeedList()->currentData().toDouble(), 1.0);
    ChooseSpeed(kReplaySpeedMax);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_FALSE(Bar()->isVisible());
    for (const int id : kSaveRow) EXPECT_TRUE(IsDlgItemShown(m_page.get(), id)) << id;
    EXPECT_TRUE(IsDlgItemEnabled(m_page.get(), kIdcSaveData));
    // A live run never shows it (no sensor here: the run does not start).
    EXPECT_EQ(m_page->Engine().GetTally().reports, kStates30Reports);
}

// Paused, then the slider moved with the keyboard: each step seeks, and the page shows exactly
// the report sought, its number and its time.
TEST_F(ReplayBarTest, SeekingToAReportShowsThatReport) {
    MakePage(kIntervalMs);
    StartReplay(m_page.get());
    ClickPause();
    EXPECT_EQ(Bar()->PauseButton()->text(), QStringLiteral("Resume"));
    ASSERT_TRUE(WaitHolding());
    QSlider* slider = Bar()->PositionSlider();
    const struct {
        uint64_t report;
        const char* status;
        const char* position;
    } cases[] = {
        {15, "Presence(Motionless)\r\nTarget Distance: 2.50m", "Report 16 / 30  7.5 s"},
        {7, "Presence\r\nTarget Distance: 1.70m", "Report 8 / 30  3.5 s"},
        {29, "None\r\nTarget Distance: 0.00m", "Report 30 / 30  14.5 s"},
        {0, "None\r\nTarget Distance: 0.00m", "Report 1 / 30  0.0 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        QTest::keyClick(slider, Qt::Key_Home);
        for (uint64_t i = 0; i < c.report; ++i) QTest::keyClick(slider, Qt::Key_Right);
        ASSERT_TRUE(ProcessEventsUntil(
            [&] {
                return m_page->Engine().IsReplayHolding() &&
                       m_page->Steering()->ShownReport() == c.report;
            },
            kGuiHangDeadline));
        ProcessPendingEvents();
        EXPECT_TRUE(Status().contains(QString::fromUtf8(c.status))) << Status().toStdString();
        EXPECT_EQ(m_page->Engine().GetLatestReport().distance, States30Distance(c.report));
        EXPECT_EQ(m_page->Engine().GetLatestReport().state, States30State(c.report));
        // The run restarted at the report: nothing before it was read.
        EXPECT_EQ(m_page->Engine().GetTally().reports, 1u);
        EXPECT_EQ(Bar()->PositionLabel()->text(), QString::fromUtf8(c.position));
        EXPECT_EQ(slider->value(), static_cast<int>(c.report));
        EXPECT_TRUE(Bar()->isVisible());
    }
    // Resumed from report 0, the rest follows to the end.
    ChooseSpeed(kReplaySpeedMax);
    ClickPause();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_EQ(m_page->Engine().GetTally().reports, kStates30Reports);
}

// 16x of 500 ms is a pause of 31 ms per report: the 30 reports take about a second.
TEST_F(ReplayBarTest, SpeedsPaceTheRunningReplay) {
    MakePage(kIntervalMs);
    StartReplay(m_page.get());
    EXPECT_EQ(m_page->Engine().ReplayIntervalMs(), kIntervalMs);
    const struct {
        double speed;
        int intervalMs;
    } cases[] = {{0.25, 2000}, {0.5, 1000}, {2.0, 250}, {4.0, 125}, {16.0, 31}};
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        ChooseSpeed(c.speed);
        EXPECT_EQ(m_page->Engine().ReplayIntervalMs(), c.intervalMs) << c.speed;
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("30 reports at 16x of 500 ms took %.2f s\n", seconds);
    RecordProperty("SixteenTimesSeconds", std::to_string(seconds));
    EXPECT_EQ(m_page->Engine().GetTally().reports, kStates30Reports);
    EXPECT_EQ(m_page->Steering()->ShownReport(), kStates30Reports - 1);
    // The next replay starts at 1x again, as without the bar.
    StartReplay(m_page.get());
    EXPECT_EQ(m_page->Engine().ReplayIntervalMs(), kIntervalMs);
    EXPECT_EQ(Bar()->SpeedList()->currentData().toDouble(), 1.0);
    Click(m_page.get(), kIdcTargetReplay);
}

TEST_F(ReplayBarTest, APauseHoldsThePositionUntilResumed) {
    MakePage(kIntervalMs);
    StartReplay(m_page.get());
    ChooseSpeed(16.0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_page->Steering()->ShownReport() >= 3; },
                                   kGuiHangDeadline));
    ClickPause();
    ASSERT_TRUE(WaitHolding());
    ProcessPendingEvents();
    const uint64_t held = m_page->Engine().GetTally().reports;
    const uint64_t shown = m_page->Steering()->ShownReport();
    EXPECT_EQ(shown, held - 1);
    EXPECT_FALSE(ProcessEventsUntil([&] { return m_page->Engine().GetTally().reports != held; },
                                    kHoldWatch));
    EXPECT_EQ(m_page->Steering()->ShownReport(), shown);
    EXPECT_TRUE(m_page->IsRunning());
    ClickPause();
    EXPECT_EQ(Bar()->PauseButton()->text(), QStringLiteral("Pause"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_EQ(m_page->Engine().GetTally().reports, kStates30Reports);
}

// The summary of the whole file, asked for with a double-click on the status area after the
// end; the reports are timed at the 1x interval, whatever the speed.
TEST_F(ReplayBarTest, SummaryShowsTheFilesKnownFigures) {
    MakePage(kIntervalMs);
    QWidget* status = GetDlgItem(m_page.get(), kIdcTargetStatus);
    const QString idle = Status();
    // Before any run, and during one, there is nothing to sum up.
    QTest::mouseDClick(status, Qt::LeftButton);
    EXPECT_EQ(Status(), idle);
    StartReplay(m_page.get());
    QTest::mouseDClick(status, Qt::LeftButton);
    EXPECT_FALSE(Status().startsWith(QStringLiteral("Summary")));

    ChooseSpeed(kReplaySpeedMax);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
    ASSERT_TRUE(m_page->Steering()->HasSummary());
    // The figures themselves are checked by the text below (run_summary_test checks the same
    // file's figures one by one).
    EXPECT_EQ(m_page->Steering()->SummaryFigures().reports, kStates30Reports);

    QTest::mouseDClick(status, Qt::LeftButton);
    EXPECT_EQ(Status(), QStringLiteral("Summary: 30 reports over 15.0 s, arrivals: 2\r\n"
                                       "None 8.5 s, Presence 4.0 s, Presence(Motionless) 2.5 s\r\n"
                                       "presences: 2, shortest 3.0 s, mean 3.2 s, longest 3.5 s\r\n"
                                       "distance: min 1.40 m, mean 2.16 m, max 2.90 m"))
        << Status().toStdString();
    // A new run takes the status area back.
    StartReplay(m_page.get());
    EXPECT_FALSE(Status().startsWith(QStringLiteral("Summary")));
    EXPECT_FALSE(m_page->Steering()->HasSummary());
    Click(m_page.get(), kIdcTargetReplay);
}

// A replay that ended by itself has posted its end message; a new replay started before the
// window thread took that message (as a seek does) is not stopped by it.
TEST_F(ReplayBarTest, AnOldRunsEndMessageDoesNotStopTheNextRun) {
    MakePage(kIntervalMs);
    const std::string file = Path("states_30.dat");
    m_page->StartReplay(file);
    // Keys reach the list at once; no window event is taken until the new run is on.
    ChooseSpeed(kReplaySpeedMax);
    // The skipped bytes at the end are counted right before the end call.
    ASSERT_TRUE(
        WaitUntil([&] { return m_page->Engine().GetTally().bytesSkipped == kStates30SkippedBytes; },
                  kGuiHangDeadline));
    m_page->StopAcquisition();
    // At 1x again: this run holds its first report for 500 ms.
    m_page->StartReplay(file);
    ProcessPendingEvents();
    EXPECT_TRUE(m_page->IsRunning());
    EXPECT_TRUE(Bar()->isVisible());
    Click(m_page.get(), kIdcTargetReplay);
    EXPECT_FALSE(m_page->IsRunning());
}

// In the main window: the resize tool knows the bar (made with the page), so a larger window
// gives it the Save Data row's larger place; the picture is for the README.
TEST_F(ReplayBarTest, TheResizeToolMovesTheBarWithTheRest) {
    SetRootAttribute("ReplayInterval", "20");
    COrbo_Zorvan_ToolDlg window;
    window.show();
    window.ShowPage(ToolPage::Target);
    const QSize base = window.size();
    window.resize(base * 3 / 2);
    CObjectInfoDlg* page = window.TargetPage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->isVisible(); }, kGuiHangDeadline));
    ProcessPendingEvents();
    QRect row;
    for (const int id : kSaveRow) row = row.united(GetDlgItem(page, id)->geometry());
    StartReplay(page);
    CReplayBar* bar = page->Steering()->Bar();
    ASSERT_TRUE(bar->isVisible());
    // Scaled from the remembered places: within a pixel or two of the row it replaces.
    EXPECT_NEAR(bar->geometry().left(), row.left(), 2);
    EXPECT_NEAR(bar->geometry().right(), row.right(), 2);
    EXPECT_NEAR(bar->geometry().top(), row.top(), 2);
    EXPECT_GT(bar->PositionSlider()->width(), row.width() / 3);
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->Steering()->ShownReport() >= 17; },
                                   kGuiHangDeadline));
    QTest::mouseClick(bar->PauseButton(), Qt::LeftButton);
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return page->Engine().IsReplayHolding(); }, kGuiHangDeadline));
    ProcessPendingEvents();
    const QImage image = window.grab().toImage();
    EXPECT_TRUE(
        image.save(QDir(ScreenshotFolder()).filePath(QStringLiteral("replay_bar.png")), "PNG"));
    QTest::mouseClick(bar->PauseButton(), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_FALSE(bar->isVisible());
    for (const int id : kSaveRow) EXPECT_TRUE(IsDlgItemShown(page, id)) << id;
    // The summary in the status area, for people to look at.
    QTest::mouseDClick(GetDlgItem(page, kIdcTargetStatus), Qt::LeftButton);
    ProcessPendingEvents();
    EXPECT_TRUE(page->grab().toImage().save(
        QDir(ScreenshotFolder()).filePath(QStringLiteral("replay_summary.png")), "PNG"));
}

}  // namespace
