// ctest-labels: gui sim
// The run summary of a live run on the target page, against zorvan-sim: after the stop, a
// double-click on the status area shows the summary of exactly the reports the run received,
// timed by the clock.
#include <gtest/gtest.h>

#include <QTest>

#include "app/orbo_zorvan_tool_dlg.h"
#include "pages/target/object_info_dlg.h"
#include "pages/target/replay_bar.h"
#include "support/sim_process.h"
#include "tool/app/tool_window_fixture.h"

namespace {

constexpr int kSomeReports = 5;

class LiveSummaryTest : public ToolWindowTest {
protected:
    SimProcess m_sim{{"--time-scale", "10"}};
};

TEST_F(LiveSummaryTest, TheSummaryOfALiveRunCoversItsReports) {
    ASSERT_TRUE(m_sim.Started()) << m_sim.Error();
    ToolOptions options;
    options.port = m_sim.PortPath();
    options.connect = true;
    options.pageGiven = true;
    options.page = ToolPage::Target;
    COrbo_Zorvan_ToolDlg window(options);
    window.show();
    CObjectInfoDlg* page = window.TargetPage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->IsRunning(); }, kGuiHangDeadline));
    EXPECT_FALSE(page->Steering()->Bar()->isVisible());
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return page->Engine().GetTally().reports >= kSomeReports; }, kGuiHangDeadline));
    Click(page, kIdcTargetStart);
    ASSERT_FALSE(page->IsRunning());
    ASSERT_TRUE(page->Steering()->HasSummary());
    const RunSummaryFigures f = page->Steering()->SummaryFigures();
    EXPECT_EQ(f.reports, page->Engine().GetTally().reports);
    // Timed by the clock: the states' times add up to the run's, which is above zero.
    EXPECT_GT(f.totalMs, 0u);
    EXPECT_EQ(f.nobodyMs + f.movingMs + f.motionlessMs + f.otherMs, f.totalMs);
    QTest::mouseDClick(GetDlgItem(page, kIdcTargetStatus), Qt::LeftButton);
    const QString status = GetDlgItemText(page, kIdcTargetStatus);
    EXPECT_TRUE(status.startsWith(QStringLiteral("Summary: %1 reports over ").arg(f.reports)))
        << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("arrivals: %1").arg(f.arrivals)));
}

}  // namespace
