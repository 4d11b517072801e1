// How the plots' context menus are shown: one seam, so that tests drive a menu (trigger one of
// its actions) instead of running a modal popup. Window thread only.
#pragma once

#include <QPoint>

#include <functional>

class QMenu;

// Shows `menu` at `globalPosition` and returns when it closed (a triggered action has run).
using PlotMenuRunner = std::function<void(QMenu& menu, const QPoint& globalPosition)>;

// Shows a menu through the installed runner (the real one pops it up).
void RunPlotMenu(QMenu& menu, const QPoint& globalPosition);
// Installs a runner (an empty one puts the real one back); returns the one it replaces.
PlotMenuRunner SetPlotMenuRunner(PlotMenuRunner runner);
