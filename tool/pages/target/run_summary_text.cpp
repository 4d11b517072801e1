#include "pages/target/run_summary_text.h"

#include "core/text_format.h"
#include "pages/target/target_status.h"

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kCmPerMetre = 100.0;

// How the two forms differ.
struct SummaryForm {
    int secondDecimals;
    const char* indent;
    const char* stateSeparator;
    bool arrivalsFirstLine;
};
constexpr SummaryForm kFullForm = {3, "  ", ": ", false};
constexpr SummaryForm kCompactForm = {1, "", " ", true};

std::string Seconds(double ms, const SummaryForm& form) {
    std::string text;
    FormatText(text, "%.*f s", form.secondDecimals, ms / kMsPerSecond);
    return text;
}

std::string Metres(double cm) {
    std::string text;
    FormatText(text, "%.2f m", cm / kCmPerMetre);
    return text;
}

}  // namespace

std::string FormatRunSummary(const RunSummaryFigures& figures, RunSummaryLayout layout) {
    const SummaryForm& form = layout == RunSummaryLayout::Compact ? kCompactForm : kFullForm;
    auto seconds = [&](double ms) { return Seconds(ms, form); };
    auto state = [&](int id, uint64_t ms) {
        return TargetStateText(id) + form.stateSeparator + seconds(static_cast<double>(ms));
    };
    const std::string arrivals = "arrivals: " + std::to_string(figures.arrivals);
    std::string text = "Summary: " + std::to_string(figures.reports) + " reports over " +
                       seconds(static_cast<double>(figures.totalMs));
    text += form.arrivalsFirstLine ? ", " + arrivals + "\n" : "\n";
    text += form.indent + state(kTargetStateNobody, figures.nobodyMs) + ", " +
            state(kTargetStateMoving, figures.movingMs) + ", " +
            state(kTargetStateMotionless, figures.motionlessMs);
    if (figures.otherMs > 0) {
        text += ", other states" + std::string(form.stateSeparator) +
                seconds(static_cast<double>(figures.otherMs));
    }
    text += "\n";
    if (!form.arrivalsFirstLine) text += form.indent + arrivals + "\n";
    text += form.indent + std::string("presences: ") + std::to_string(figures.presences);
    if (figures.presences > 0) {
        text += ", shortest " + seconds(static_cast<double>(figures.shortestPresenceMs)) +
                ", mean " + seconds(figures.meanPresenceMs) + ", longest " +
                seconds(static_cast<double>(figures.longestPresenceMs));
    }
    text += "\n" + std::string(form.indent) + "distance: ";
    if (figures.distanceReports == 0) {
        text += "none (nobody was there)\n";
    } else {
        text += "min " + Metres(figures.minDistanceCm) + ", mean " +
                Metres(figures.meanDistanceCm) + ", max " + Metres(figures.maxDistanceCm) + "\n";
    }
    return text;
}
