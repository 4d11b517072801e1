// What "monitor" and "replay" add at the end of a run on request: --max-hold (each gate's highest
// energy and its headroom against the trigger thresholds) and --summary (time in each state,
// arrivals, presences, distances). Both are printed on standard error after the run, like the
// replay's closing line, so that report lines on standard output stay one format.
//
// Fed on the acquisition worker; read and printed on the main thread once the run was joined.
#pragma once

#include <cstdint>
#include <string>

#include "command_line.h"
#include "device/run_summary.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/max_hold.h"

struct RunExtras {
    bool maxHold = false;
    bool summary = false;
    // Replay: the time a report stands for (the 1x interval), so that the summary gives the
    // recording's time whatever the speed; -1 for live runs (times measured).
    int reportIntervalMs = -1;
    MaxHold hold;
    RunSummary states;

    bool Any() const { return maxHold || summary; }
    // Takes the report: number `index` of the run (from 0), shown `measuredMs` after its start.
    void Add(const TargetReport& report, uint64_t index, uint64_t measuredMs);
};

// Reads --max-hold and --summary.
RunExtras ParseRunExtras(const CommandLine& line);

// The max-hold table: per gate the maximum, the trigger threshold and the headroom in dB (marked
// where it is below 0); `thresholdSource` says where the thresholds came from.
void PrintMaxHold(const MaxHold& hold, const RadarParamSetting& thresholds,
                  const std::string& thresholdSource);

// The run summary.
void PrintRunSummary(const RunSummaryFigures& figures);

// The end time of the run for the summary: the replay's reports times the interval, or the
// measured time for a live run.
uint64_t RunEndMs(const RunExtras& extras, uint64_t reports, uint64_t measuredMs);
