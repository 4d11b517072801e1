// ctest-labels: gui sim
// The main window on a real X server (Xvfb, Qt's xcb platform plugin) against zorvan-sim: it
// connects, shows ten live reports on the target page, and the window grabbed from the X server
// shows the energy curve's green. The picture is kept in the build tree
// (build/screenshots/live_window_xcb.png) for CI to keep.
//
// The test makes its own QApplication on the X server and ends it before the server goes away,
// so it shares no application with other gui tests (and has no other test in its program).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "app/app_config.h"
#include "app/orbo_zorvan_tool_dlg.h"
#include "pages/target/object_info_dlg.h"
#include "platform/font_substitution.h"
#include "platform/window_message.h"
#include "resources/string_table.h"
#include "support/scoped_env.h"
#include "support/screenshot_folder.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/virtual_x_server.h"

namespace {

constexpr int kReportsToShow = 10;
constexpr auto kLiveDeadline = std::chrono::seconds(60);
// The energy curve's colour on screen: pure green.
constexpr int kGreenMin = 200;
constexpr int kOtherMax = 60;
constexpr int kMinGreenPixels = 20;

bool RunEventsUntil(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kLiveDeadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Green pixels in the left half of the plot (the legend's green text is on the right).
int CountGreen(const QImage& image, const QRect& plot) {
    int count = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        for (int x = plot.left(); x < plot.center().x(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qGreen(pixel) >= kGreenMin && qRed(pixel) <= kOtherMax &&
                qBlue(pixel) <= kOtherMax) {
                ++count;
            }
        }
    }
    return count;
}

TEST(LiveWindowSmoke, ShowsTenLiveReportsWithTheEnergyCurveOnAnXServer) {
    VirtualXServer server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start (xvfb in scripts/install-deps)";
    TempDir home;
    std::filesystem::create_directory(home.Path() / "run");
    std::filesystem::permissions(home.Path() / "run", std::filesystem::perms::owner_all);
    ScopedEnv display("DISPLAY", server.Name());
    ScopedEnv platform("QT_QPA_PLATFORM", std::string("xcb"));
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.File("run"));
    ScopedEnv homeEnv("ORBO_HOME", home.Path().string());
    SimProcess sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    SetSelectedLanguage(UiLanguage::English);
    LoadAppConfig();

    int argc = 1;
    char name[] = "live_window_smoke";
    char* argv[] = {name, nullptr};
    {
        QApplication application(argc, argv);
        InstallFontSubstitutions();
        InstallWindowMessageHooks();
        ToolOptions options;
        options.port = sim.PortPath();
        options.connect = true;
        options.pageGiven = true;
        options.page = ToolPage::Target;
        COrbo_Zorvan_ToolDlg window(options);
        window.show();
        CObjectInfoDlg* page = window.TargetPage();
        ASSERT_TRUE(RunEventsUntil([&] { return page->ReportsShown() >= kReportsToShow; }))
            << "reports shown: " << page->ReportsShown();
        // Let the last repaint reach the screen.
        const int64_t paints = page->EnergyPlot()->PaintCount();
        ASSERT_TRUE(RunEventsUntil([&] { return page->EnergyPlot()->PaintCount() > paints; }));

        const QImage shot = window.screen()
                                ->grabWindow(window.winId())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(shot.isNull());
        const QString path =
            QDir(ScreenshotFolder()).filePath(QStringLiteral("live_window_xcb.png"));
        EXPECT_TRUE(shot.save(path, "PNG")) << path.toStdString();
        const RECT r = page->EnergyPlot()->GetPlotRect();
        const QPoint origin = page->EnergyPlot()->mapTo(&window, QPoint(r.left, r.top));
        const QRect plot(origin, QSize(r.right - r.left, r.bottom - r.top));
        ASSERT_TRUE(shot.rect().contains(plot)) << "plot outside the grab";
        EXPECT_GE(CountGreen(shot, plot), kMinGreenPixels) << path.toStdString();
        window.hide();
    }
}

}  // namespace
