#include "run_extras.h"

#include "cli_output.h"
#include "core/text_format.h"
#include "pages/target/run_summary_text.h"

void RunExtras::Add(const TargetReport& report, uint64_t index, uint64_t measuredMs) {
    if (maxHold) hold.Add(report);
    if (summary) {
        states.Add(report, SummaryTimeMs(reportIntervalMs, index, measuredMs));
    }
}

RunExtras ParseRunExtras(const CommandLine& line) {
    RunExtras extras;
    extras.maxHold = line.Has("max-hold");
    extras.summary = line.Has("summary");
    return extras;
}

uint64_t RunEndMs(const RunExtras& extras, uint64_t reports, uint64_t measuredMs) {
    return SummaryTimeMs(extras.reportIntervalMs, reports, measuredMs);
}

void PrintMaxHold(const MaxHold& hold, const RadarParamSetting& thresholds,
                  const std::string& thresholdSource) {
    if (hold.Count() == 0) {
        PrintErr("Max-hold: no report\n");
        return;
    }
    std::string text = "Max-hold over " + std::to_string(hold.Count()) +
                       " reports (trigger thresholds " + thresholdSource + "):\n" +
                       "gate  max dB  trigger dB  headroom dB\n";
    const GateValues headroom = hold.Headroom(thresholds.TriggerThreshold);
    for (int gate = 0; gate < kGateCount; ++gate) {
        std::string row;
        FormatText(row, "%4d  %6.2f  %10u  %11.2f%s\n", gate, hold.Maxima()[gate],
                   thresholds.TriggerThreshold[gate], headroom[gate],
                   headroom[gate] < 0.0 ? "  would trigger" : "");
        text += row;
    }
    PrintErr(text);
}

void PrintRunSummary(const RunSummaryFigures& figures) {
    PrintErr(FormatRunSummary(figures));
}
