// ctest-labels: gui sim
// The target page's plot context menus: max-hold with headroom, the waterfall, PNG, clipboard and
// CSV export, and freezing the display while a live run keeps recording. Menus are opened by
// right-clicks on the plots and driven through the menu seam (an action is triggered, nothing
// pops up).
#include "pages/target/plot_extras.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/orbo_zorvan_tool_dlg.h"
#include "controls/wave_wnd.h"
#include "core/text_format.h"
#include "device/recording_index.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/object_info_dlg.h"
#include "pages/target/plot_context_menu.h"
#include "support/child_process.h"
#include "support/process_runner.h"
#include "support/screenshot_folder.h"
#include "support/sim_process.h"
#include "support/test_recordings.h"
#include "support/whole_file.h"
#include "tool/app/tool_window_fixture.h"

namespace {

namespace fs = std::filesystem;
namespace rec = test_recordings;

// Gates inside the default detection range (6.3 m of 0.7 m gates): not shaded.
constexpr int kActiveGates = 9;
// Tall enough for two pixel rows per waterfall row.
constexpr int kTallPlotWidth = 640;
constexpr int kTallPlotHeight = 600;
// The max-hold curve's colour as a pixel.
constexpr QRgb kMaxHoldPixel = 0xFFFF00FF;

int PixelsOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour ? 1 : 0;
    }
    return count;
}

// The x of a gate's sample on the energy plot's curves.
int GateX(const RECT& plot, int gate) {
    return plot.left + gate * (plot.right - plot.left - 1) / (kGateCount - 1);
}

double MaxEnergyOfStates30(int gate) {
    double maximum = 0.0;
    for (uint64_t i = 0; i < rec::kStates30Reports; ++i) {
        maximum = std::max(maximum, rec::States30EnergyDb(i, gate));
    }
    return maximum;
}

// Opens a plot's context menu by a right-click and triggers one of its actions through the
// menu seam; false when no menu came or it lacked the action.
class MenuDriver {
public:
    MenuDriver()
        : m_previous(SetPlotMenuRunner([this](QMenu& menu, const QPoint&) { Run(menu); })) {}
    ~MenuDriver() { SetPlotMenuRunner(std::move(m_previous)); }

    bool Choose(CWaveWnd* plot, PlotAction action) {
        m_wanted = action;
        m_shown = false;
        m_triggered = false;
        const QPoint centre = plot->rect().center();
        QTest::mouseClick(plot, Qt::RightButton, Qt::NoModifier, centre);
        if (!m_shown) {
            // A platform that opens context menus on release only: the event itself.
            QContextMenuEvent event(QContextMenuEvent::Mouse, centre, plot->mapToGlobal(centre));
            QCoreApplication::sendEvent(plot, &event);
        }
        return m_shown && m_triggered;
    }

    // The texts of the last menu's actions.
    QStringList texts;

private:
    void Run(QMenu& menu) {
        m_shown = true;
        texts.clear();
        for (QAction* action : menu.actions()) {
            if (action->isSeparator()) continue;
            texts.push_back(action->text());
            if (action->data().toInt() == static_cast<int>(m_wanted) && action->isEnabled()) {
                action->trigger();
                m_triggered = true;
            }
        }
    }

    PlotMenuRunner m_previous;
    PlotAction m_wanted = PlotAction::SavePng;
    bool m_shown = false;
    bool m_triggered = false;
};

class PlotExtrasTest : public ToolWindowTest {
protected:
    void MakePage() {
        SetRootAttribute("ReplayInterval", "0");
        m_page = std::make_unique<CObjectInfoDlg>(nullptr, &m_record);
        m_page->resize(680, 440);
        m_page->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_page->isVisible(); }));
    }

    void ReplayStates30() {
        m_openFiles.answer = QString::fromStdString(rec::Path("states_30.dat"));
        Click(m_page.get(), kIdcTargetReplay);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !m_page->IsRunning(); }, kGuiHangDeadline));
        ProcessPendingEvents();
    }

    CTargetPlotExtras& Extras() { return *m_page->PlotExtras(); }
    CWaveWnd* Energy() { return m_page->EnergyPlot(); }

    QImage Rendered(CWaveWnd* plot) {
        plot->RenderFrame();
        return plot->WindowImage();
    }

    RadarParamSetting m_record;
    std::unique_ptr<CObjectInfoDlg> m_page;
    MenuDriver m_menu;
    SaveFileRecorder m_saveFiles;
};

TEST_F(PlotExtrasTest, MenusOfferTheirActionsInBothLanguages) {
    MakePage();
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::CopyImage));
    EXPECT_EQ(m_menu.texts, QStringList({"Max-hold", "Reset max-hold", "Waterfall", "Save as PNG…",
                                         "Copy to clipboard", "Export CSV…", "Freeze display"}));
    ASSERT_TRUE(m_menu.Choose(m_page->DistancePlot(), PlotAction::CopyImage));
    EXPECT_EQ(m_menu.texts,
              QStringList({"Save as PNG…", "Copy to clipboard", "Export CSV…", "Freeze display"}));
    SetSelectedLanguage(UiLanguage::Chinese);
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::CopyImage));
    EXPECT_EQ(m_menu.texts.front(), QStringLiteral("最大值保持"));
    // Without the menu nothing changed: three curves, no waterfall, not frozen.
    EXPECT_EQ(Energy()->GetWaveCount(), 3);
    EXPECT_FALSE(Extras().IsWaterfallOn());
    EXPECT_FALSE(Extras().IsFrozen());
}

TEST_F(PlotExtrasTest, ANewRunThawsAFrozenDisplay) {
    MakePage();
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::Freeze));
    ASSERT_TRUE(Extras().IsFrozen());
    ReplayStates30();
    EXPECT_FALSE(Extras().IsFrozen());
    EXPECT_GE(m_page->ReportsShown(), 1);
    EXPECT_EQ(Extras().WaterfallCopy().RowCount(), rec::kStates30Reports);
}

TEST_F(PlotExtrasTest, MaxHoldKeepsEachGatesMaximumDrawsItsCurveAndResets) {
    MakePage();
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::MaxHold));
    ASSERT_TRUE(Extras().IsMaxHoldOn());
    EXPECT_EQ(Energy()->GetWaveCount(), 4);
    ReplayStates30();
    const MaxHold hold = Extras().HoldCopy();
    ASSERT_EQ(hold.Count(), rec::kStates30Reports);
    CWaveBuffer* curve = Energy()->GetWaveBuffer(kMaxHoldCurveWave);
    for (int gate = 0; gate < kGateCount; ++gate) {
        SCOPED_TRACE(gate);
        EXPECT_DOUBLE_EQ(hold.Maxima()[gate], MaxEnergyOfStates30(gate));
        // The curve's newest frame is the maxima.
        double shown = -1;
        ASSERT_EQ(curve->GetSampleAt(curve->GetCapacity() - kGateCount + gate, &shown), 1);
        EXPECT_DOUBLE_EQ(shown, hold.Maxima()[gate]);
    }
    // The curve is drawn in its own colour.
    EXPECT_GT(PixelsOf(Rendered(Energy()), kMaxHoldPixel), 0);

    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::ResetMaxHold));
    EXPECT_EQ(Extras().HoldCopy().Count(), 0u);
    // No curve until a report brings maxima again.
    EXPECT_FALSE(Energy()->IsWaveVisible(kMaxHoldCurveWave));
    EXPECT_EQ(PixelsOf(Rendered(Energy()), kMaxHoldPixel), 0);
    // Off again: the page's three curves.
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::MaxHold));
    EXPECT_FALSE(Extras().IsMaxHoldOn());
    EXPECT_EQ(Energy()->GetWaveCount(), 3);
    EXPECT_EQ(PixelsOf(Rendered(Energy()), kMaxHoldPixel), 0);
}

TEST_F(PlotExtrasTest, GateTooltipsShowHeadroomAndNegativeGatesAreMarked) {
    // Gate 2's trigger threshold below everything it sees: negative headroom.
    m_record.TriggerThreshold[2] = 10;
    // Gate 5's above everything it sees.
    m_record.TriggerThreshold[5] = 60;
    MakePage();
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::MaxHold));
    ReplayStates30();
    const GateValues headroom = Extras().HoldCopy().Headroom(m_record.TriggerThreshold);
    ASSERT_LT(headroom[2], 0.0);
    const RECT plot = Energy()->GetPlotRect();
    for (const int gate : {2, 5}) {
        SCOPED_TRACE(gate);
        QTest::mouseMove(Energy(), QPoint(GateX(plot, gate), (plot.top + plot.bottom) / 2));
        ASSERT_TRUE(ProcessEventsUntil(
            [&] {
                return Energy()->IsTooltipShown() &&
                       Energy()->TooltipText().contains(QStringLiteral("RG No.%1 ").arg(gate));
            },
            kGuiHangDeadline))
            << Energy()->TooltipText().toStdString();
        std::string expected;
        FormatText(expected, "Headroom: %.1f dB", headroom[gate]);
        EXPECT_TRUE(Energy()->TooltipText().contains(QString::fromStdString(expected)))
            << Energy()->TooltipText().toStdString();
    }
    // A mark at the top of the plot over gate 2, none over gate 5 (positive headroom).
    const QImage image = Rendered(Energy());
    auto markAt = [&](int gate) {
        return image.pixel(GateX(plot, gate), plot.top + 2) == 0xFFFF3030u;
    };
    EXPECT_GT(headroom[5], 0.0);
    EXPECT_TRUE(markAt(2));
    EXPECT_FALSE(markAt(5));
}

TEST_F(PlotExtrasTest, WaterfallHasOneRowPerReportInTimeOrderAndGoesBack) {
    MakePage();
    Energy()->resize(kTallPlotWidth, kTallPlotHeight);
    ReplayStates30();
    const QImage curves = Rendered(Energy());
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::Waterfall));
    ASSERT_TRUE(Extras().IsWaterfallOn());
    const WaterfallModel model = Extras().WaterfallCopy();
    ASSERT_EQ(model.RowCount(), rec::kStates30Reports);
    const QImage image = Rendered(Energy());
    const RECT plot = Energy()->GetPlotRect();
    const double rowHeight = double(plot.bottom - plot.top) / double(model.MaxRows());
    const double columnWidth = double(plot.right - plot.left) / kGateCount;
    ASSERT_GE(rowHeight, 2.0);
    // Report r is pixel row r from the top (oldest first); rows after the last report are empty.
    for (uint64_t row = 0; row < rec::kStates30Reports + 2; ++row) {
        const int y = plot.top + static_cast<int>((row + 0.5) * rowHeight);
        for (int gate = 0; gate < kActiveGates; ++gate) {
            const int x = plot.left + static_cast<int>((gate + 0.5) * columnWidth);
            const double energy =
                row < rec::kStates30Reports ? rec::States30EnergyDb(row, gate) : 0.0;
            ASSERT_EQ(image.pixel(x, y), model.EnergyColour(energy))
                << "row " << row << " gate " << gate;
        }
    }
    image.save(ScreenshotFolder() + QStringLiteral("/target_energy_waterfall_states30.png"));
    // No dB labels beside rows of time: the left panel is one colour (with the curves it has
    // labels).
    const RECT left = Energy()->GetPanelArea(kPanelLeft);
    auto oneColour = [&](const QImage& whole) {
        const QImage panel =
            whole.copy(left.left, left.top, left.right - left.left, left.bottom - left.top);
        return PixelsOf(panel, panel.pixel(0, 0)) == panel.width() * panel.height();
    };
    EXPECT_TRUE(oneColour(image));
    EXPECT_FALSE(oneColour(curves));
    // And back: the curves as before.
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::Waterfall));
    EXPECT_EQ(Rendered(Energy()), curves);
}

TEST_F(PlotExtrasTest, ExportedCsvEqualsTheCliReplayOfTheSameRecording) {
    MakePage();
    ReplayStates30();
    m_saveFiles.answer = QString::fromStdString(m_home.File("shown"));
    ASSERT_TRUE(m_menu.Choose(m_page->DistancePlot(), PlotAction::ExportCsv));
    ASSERT_EQ(m_saveFiles.requests.size(), 1u);
    EXPECT_TRUE(m_saveFiles.requests[0].filter.contains(QStringLiteral("*.csv")));
    const std::string exported = ReadWholeFile(m_home.File("shown.csv"));

    const ProcessResult cli = RunProcess({BuiltProgramPath("zorvan-cli"), "replay", "--csv",
                                          "--interval", "0", rec::Path("states_30.dat")});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    const std::vector<std::string> ours = SplitLines(exported);
    const std::vector<std::string> theirs = SplitLines(cli.out);
    ASSERT_EQ(ours.size(), rec::kStates30Reports + 1);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(ours[0], theirs[0]);
    // The same columns; the seconds are each run's own clock, so only their order is compared.
    double previous = 0.0;
    for (size_t i = 1; i < ours.size(); ++i) {
        SCOPED_TRACE(i);
        const size_t ourComma = ours[i].find(',');
        const size_t theirComma = theirs[i].find(',');
        ASSERT_NE(ourComma, std::string::npos);
        EXPECT_EQ(ours[i].substr(ourComma), theirs[i].substr(theirComma));
        const double seconds = std::stod(ours[i].substr(0, ourComma));
        EXPECT_GE(seconds, previous);
        previous = seconds;
    }
    // Cancelled: nothing written, nothing said.
    m_saveFiles.answer.clear();
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::ExportCsv));
    EXPECT_TRUE(m_messages.requests.empty());
}

TEST_F(PlotExtrasTest, PlotsAreSavedAsPngAndCopiedAsImages) {
    MakePage();
    ReplayStates30();
    for (CWaveWnd* plot : {Energy(), m_page->DistancePlot()}) {
        SCOPED_TRACE(plot == Energy() ? "energy" : "distance");
        const std::string file = m_home.File(plot == Energy() ? "energy.png" : "distance.png");
        m_saveFiles.answer = QString::fromStdString(file);
        ASSERT_TRUE(m_menu.Choose(plot, PlotAction::SavePng));
        QImage saved;
        ASSERT_TRUE(saved.load(QString::fromStdString(file), "PNG"));
        EXPECT_EQ(saved.size(), plot->size());

        QGuiApplication::clipboard()->clear();
        ASSERT_TRUE(m_menu.Choose(plot, PlotAction::CopyImage));
        const QImage copied = QGuiApplication::clipboard()->image();
        ASSERT_FALSE(copied.isNull());
        EXPECT_EQ(copied.size(), plot->size());
    }
    EXPECT_TRUE(m_messages.requests.empty());
    // A file that cannot be written is said, never taken for saved.
    m_saveFiles.answer = QString::fromStdString(m_home.File("no-such-folder/plot.png"));
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::SavePng));
    ASSERT_EQ(m_messages.requests.size(), 1u);
    EXPECT_TRUE(m_messages.requests[0].text.startsWith(QStringLiteral("Cannot write")));
    m_saveFiles.answer = QString::fromStdString(m_home.File("no-such-folder/data.csv"));
    ASSERT_TRUE(m_menu.Choose(Energy(), PlotAction::ExportCsv));
    EXPECT_EQ(m_messages.requests.size(), 2u);
}

// Live against zorvan-sim, recording: a frozen display shows nothing new while the recording
// grows; thawed, it goes on. Also the README's pictures of max-hold and the waterfall.
class PlotExtrasLiveTest : public PlotExtrasTest {
protected:
    // Many reports quickly: the waterfall fills in seconds.
    SimProcess m_sim{{"--time-scale", "40"}};
    std::unique_ptr<COrbo_Zorvan_ToolDlg> m_window;
};

uintmax_t FolderBytes(const fs::path& folder) {
    uintmax_t bytes = 0;
    if (!fs::exists(folder)) return 0;
    for (const auto& entry : fs::directory_iterator(folder)) bytes += fs::file_size(entry.path());
    return bytes;
}

TEST_F(PlotExtrasLiveTest, FreezeStopsThePlotsWhileTheRecordingGrows) {
    ASSERT_TRUE(m_sim.Started()) << m_sim.Error();
    const std::string folder = m_home.File("records");
    SetRootAttribute("SaveData", "1");
    SetRootAttribute("SaveDataPath", folder);
    ToolOptions options;
    options.port = m_sim.PortPath();
    options.connect = true;
    options.pageGiven = true;
    options.page = ToolPage::Target;
    m_window = std::make_unique<COrbo_Zorvan_ToolDlg>(options);
    m_window->resize(1280, 860);
    m_window->show();
    CObjectInfoDlg* page = m_window->TargetPage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->ReportsShown() >= 5; }, kGuiHangDeadline));

    CWaveWnd* energy = page->EnergyPlot();
    ASSERT_TRUE(m_menu.Choose(energy, PlotAction::Freeze));
    ASSERT_TRUE(page->PlotExtras()->IsFrozen());
    ProcessPendingEvents();
    const int64_t shown = page->ReportsShown();
    const int64_t frames = energy->GetWaveBuffer(kEnergyWave)->GetFramesReceived();
    const QImage frozen = energy->grab().toImage();
    const uintmax_t bytes = FolderBytes(folder);
    // Ten more reports recorded.
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return FolderBytes(folder) >= bytes + 10 * kReportFrameBytes; }, kGuiHangDeadline));
    EXPECT_EQ(page->ReportsShown(), shown);
    EXPECT_EQ(energy->GetWaveBuffer(kEnergyWave)->GetFramesReceived(), frames);
    EXPECT_EQ(energy->grab().toImage(), frozen);

    ASSERT_TRUE(m_menu.Choose(energy, PlotAction::Freeze));
    EXPECT_FALSE(page->PlotExtras()->IsFrozen());
    EXPECT_TRUE(
        ProcessEventsUntil([&] { return page->ReportsShown() > shown + 2; }, kGuiHangDeadline));

    // The README's pictures: max-hold over a filled waterfall's worth of reports, then the
    // waterfall itself.
    ASSERT_TRUE(m_menu.Choose(energy, PlotAction::MaxHold));
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return page->PlotExtras()->WaterfallCopy().RowCount() >= kExportedReports; },
        kGuiHangDeadline * 3));
    ASSERT_TRUE(m_menu.Choose(energy, PlotAction::Freeze));
    ProcessPendingEvents();
    energy->grab().save(ScreenshotFolder() + QStringLiteral("/target_energy_max_hold.png"));
    ASSERT_TRUE(m_menu.Choose(energy, PlotAction::Waterfall));
    ProcessPendingEvents();
    energy->grab().save(ScreenshotFolder() + QStringLiteral("/target_energy_waterfall.png"));
}

}  // namespace
