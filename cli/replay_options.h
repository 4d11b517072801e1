// The options that steer a replay: --speed (a step of the replay speeds, 1x = the interval) and
// --from/--to (the reports replayed, numbered from 1 in file order, found with the recording's
// index so that nothing before --from is read and nothing after --to, nor past the last complete
// frame of a file still being written).
#pragma once

#include <cstdint>
#include <string>

#include "command_line.h"
#include "device/acquisition_engine.h"

struct ReplayRange {
    uint64_t from = 0;  // 0: not given
    uint64_t to = 0;    // 0: not given (the last report)
    uint64_t fileReports = 0;

    bool Given() const { return from != 0 || to != 0; }
};

// Reads --from and --to; kExitUsage (reason printed) for numbers below 1 or --from after --to.
int ParseReplayRange(const CommandLine& line, ReplayRange& range);

// Indexes the run's file and sets the run's byte range to the range's reports (--to past the
// last report means the last). kExitFailed (reason printed) when the file cannot be indexed,
// holds no report or fewer than --from.
int BoundReplay(ReplayRange& range, AcquisitionRun& run);

// Reads --speed and sets the run's interval to the paced one; `paceLine` tells the pause it gives
// (empty without --speed). kExitUsage for a speed that is not one of the steps.
int ApplyReplaySpeed(const CommandLine& line, AcquisitionRun& run, std::string& paceLine);
