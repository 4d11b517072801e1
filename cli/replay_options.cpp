#include "replay_options.h"

#include <cstring>

#include "cli_output.h"
#include "command_table.h"
#include "device/recording_index.h"
#include "device/replay_speed.h"
#include "exit_codes.h"

namespace {

// Reads a report number option (1 or more) into `out`; kExitSuccess when absent.
int ParseReportNumber(const CommandLine& line, const char* name, uint64_t& out) {
    const std::string* text = line.Value(name);
    if (text == nullptr) return kExitSuccess;
    const auto number = ParseUnsigned(*text, UINT64_MAX);
    if (!number || *number == 0) {
        return UsageError(std::string("--") + name + " takes a report number (1 or more), not '" +
                          *text + "'");
    }
    out = *number;
    return kExitSuccess;
}

}  // namespace

int ParseReplayRange(const CommandLine& line, ReplayRange& range) {
    if (const int usage = ParseReportNumber(line, "from", range.from); usage != kExitSuccess) {
        return usage;
    }
    if (const int usage = ParseReportNumber(line, "to", range.to); usage != kExitSuccess) {
        return usage;
    }
    if (range.from != 0 && range.to != 0 && range.from > range.to) {
        return UsageError("--from " + std::to_string(range.from) + " comes after --to " +
                          std::to_string(range.to));
    }
    return kExitSuccess;
}

int BoundReplay(ReplayRange& range, AcquisitionRun& run) {
    RecordingIndex index;
    if (!index.Build(run.replayFile)) {
        PrintError("cannot open " + run.replayFile + ": " + std::strerror(index.Error()));
        return kExitFailed;
    }
    range.fileReports = index.Count();
    if (range.fileReports == 0) {
        PrintError(run.replayFile + " holds no report");
        return kExitFailed;
    }
    if (range.from == 0) range.from = 1;
    if (range.from > range.fileReports) {
        PrintError(run.replayFile + " holds only " + std::to_string(range.fileReports) +
                   " reports, none from " + std::to_string(range.from));
        return kExitFailed;
    }
    if (range.to == 0 || range.to > range.fileReports) range.to = range.fileReports;
    run.replayFirstByte = index.ReportOffset(range.from - 1);
    run.replayEndByte = index.ReportEnd(range.to - 1);
    return kExitSuccess;
}

int ApplyReplaySpeed(const CommandLine& line, AcquisitionRun& run, std::string& paceLine) {
    const std::string* text = line.Value("speed");
    if (text == nullptr) return kExitSuccess;
    const auto speed = ParseReplaySpeed(*text);
    if (!speed) {
        return UsageError("--speed takes 0.25, 0.5, 1, 2, 4, 16 or max, not '" + *text + "'");
    }
    const int interval = EffectiveReplayInterval(run.replayIntervalMs);
    run.replayIntervalMs = PacedReplayIntervalMs(interval, *speed);
    const std::string pace = *speed == kReplaySpeedMax
                                 ? "max: no pause between reports"
                                 : ReplaySpeedName(*speed) + "x: a report every " +
                                       std::to_string(run.replayIntervalMs) + " ms";
    paceLine = "Replay speed " + pace + " (1x: " + std::to_string(interval) + " ms)\n";
    return kExitSuccess;
}
