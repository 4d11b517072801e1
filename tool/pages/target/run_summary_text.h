// The run summary as text: the lines zorvan-cli prints for --summary and the target page shows
// in its status area on request. Qt-free; any thread (state names from the string table in the
// selected language).
#pragma once

#include <string>

#include "device/run_summary.h"

// Full: five lines, times in ms (zorvan-cli). Compact: four lines short enough for the target
// page's status area, times in tenths of a second, the arrivals on the first line.
enum class RunSummaryLayout { Full, Compact };

// The summary in lines ending in "\n": the reports and the run's time, the time in each state,
// the arrivals, the presences (shortest, mean, longest) and the distances (least, mean,
// greatest) of the presence reports.
std::string FormatRunSummary(const RunSummaryFigures& figures,
                             RunSummaryLayout layout = RunSummaryLayout::Full);
