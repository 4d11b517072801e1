#include "run_extras.h"

#include "cli_output.h"
#include "core/text_format.h"
#include "device/recording_index.h"
#include "report_format.h"

namespace {

std::string Seconds(double ms) {
    return FixedText(ms / 1000.0, 3) + " s";
}

std::string Metres(double cm) {
    return FixedText(cm / 100.0, 2) + " m";
}

}  // namespace

void RunExtras::Add(const TargetReport& report, uint64_t index, uint64_t measuredMs) {
    if (maxHold) hold.Add(report);
    if (summary) {
        states.Add(report,
                   reportIntervalMs >= 0 ? ReportTimeMs(index, reportIntervalMs) : measuredMs);
    }
}

RunExtras ParseRunExtras(const CommandLine& line) {
    RunExtras extras;
    extras.maxHold = line.Has("max-hold");
    extras.summary = line.Has("summary");
    return extras;
}

uint64_t RunEndMs(const RunExtras& extras, uint64_t reports, uint64_t measuredMs) {
    return extras.reportIntervalMs >= 0 ? ReportTimeMs(reports, extras.reportIntervalMs)
                                        : measuredMs;
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
    std::string text = "Summary: " + std::to_string(figures.reports) + " reports over " +
                       Seconds(static_cast<double>(figures.totalMs)) + "\n";
    text += "  " + StateText(kTargetStateNobody) + ": " +
            Seconds(static_cast<double>(figures.nobodyMs)) + ", " + StateText(kTargetStateMoving) +
            ": " + Seconds(static_cast<double>(figures.movingMs)) + ", " +
            StateText(kTargetStateMotionless) + ": " +
            Seconds(static_cast<double>(figures.motionlessMs));
    if (figures.otherMs > 0) {
        text += ", other states: " + Seconds(static_cast<double>(figures.otherMs));
    }
    text += "\n  arrivals: " + std::to_string(figures.arrivals) + "\n";
    text += "  presences: " + std::to_string(figures.presences);
    if (figures.presences > 0) {
        text += ", shortest " + Seconds(static_cast<double>(figures.shortestPresenceMs)) +
                ", mean " + Seconds(figures.meanPresenceMs) + ", longest " +
                Seconds(static_cast<double>(figures.longestPresenceMs));
    }
    text += "\n  distance: ";
    if (figures.distanceReports == 0) {
        text += "none (nobody was there)\n";
    } else {
        text += "min " + Metres(figures.minDistanceCm) + ", mean " +
                Metres(figures.meanDistanceCm) + ", max " + Metres(figures.maxDistanceCm) + "\n";
    }
    PrintErr(text);
}
