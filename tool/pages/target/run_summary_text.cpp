#include "pages/target/run_summary_text.h"

#include "core/text_format.h"
#include "pages/target/target_status.h"

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kCmPerMetre = 100.0;

std::string Seconds(double ms) {
    std::string text;
    FormatText(text, "%.3f s", ms / kMsPerSecond);
    return text;
}

std::string Metres(double cm) {
    std::string text;
    FormatText(text, "%.2f m", cm / kCmPerMetre);
    return text;
}

}  // namespace

std::string FormatRunSummary(const RunSummaryFigures& figures) {
    std::string text = "Summary: " + std::to_string(figures.reports) + " reports over " +
                       Seconds(static_cast<double>(figures.totalMs)) + "\n";
    text += "  " + TargetStateText(kTargetStateNobody) + ": " +
            Seconds(static_cast<double>(figures.nobodyMs)) + ", " +
            TargetStateText(kTargetStateMoving) + ": " +
            Seconds(static_cast<double>(figures.movingMs)) + ", " +
            TargetStateText(kTargetStateMotionless) + ": " +
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
    return text;
}
