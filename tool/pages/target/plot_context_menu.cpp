#include "pages/target/plot_context_menu.h"

#include <QMenu>

#include <utility>

namespace {

PlotMenuRunner& InstalledRunner() {
    static PlotMenuRunner runner;
    return runner;
}

}  // namespace

void RunPlotMenu(QMenu& menu, const QPoint& globalPosition) {
    if (const PlotMenuRunner& runner = InstalledRunner()) {
        runner(menu, globalPosition);
        return;
    }
    menu.exec(globalPosition);
}

PlotMenuRunner SetPlotMenuRunner(PlotMenuRunner runner) {
    return std::exchange(InstalledRunner(), std::move(runner));
}
