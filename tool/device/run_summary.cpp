#include "device/run_summary.h"

#include <algorithm>

#include "device/recording_index.h"

namespace {

uint64_t& StateTime(RunSummaryFigures& figures, int32_t state) {
    switch (state) {
        case kTargetStateNobody:
        case kTargetStateNobodyAlt:
            return figures.nobodyMs;
        case kTargetStateMoving:
            return figures.movingMs;
        case kTargetStateMotionless:
            return figures.motionlessMs;
        default:
            return figures.otherMs;
    }
}

// Counts a presence that ended, lasting `ms`.
void ClosePresence(RunSummaryFigures& figures, double& sumMs, uint64_t ms) {
    figures.shortestPresenceMs =
        figures.presences == 0 ? ms : std::min(figures.shortestPresenceMs, ms);
    figures.longestPresenceMs = std::max(figures.longestPresenceMs, ms);
    ++figures.presences;
    sumMs += static_cast<double>(ms);
    figures.meanPresenceMs = sumMs / static_cast<double>(figures.presences);
}

}  // namespace

uint64_t SummaryTimeMs(int reportIntervalMs, uint64_t index, uint64_t measuredMs) {
    return reportIntervalMs >= 0 ? ReportTimeMs(index, reportIntervalMs) : measuredMs;
}

bool IsPresenceState(int32_t state) {
    return state == kTargetStateMoving || state == kTargetStateMotionless;
}

void RunSummary::Reset() {
    *this = RunSummary();
}

void RunSummary::CloseSpan(uint64_t timeMs, RunSummaryFigures& into, uint64_t& presenceMs) const {
    const uint64_t span = std::max(timeMs, m_lastMs) - m_lastMs;
    StateTime(into, m_lastState) += span;
    if (IsPresenceState(m_lastState)) presenceMs += span;
}

void RunSummary::Add(const TargetReport& report, uint64_t timeMs) {
    timeMs = m_reports == 0 ? timeMs : std::max(timeMs, m_lastMs);
    if (m_reports == 0) {
        m_firstMs = timeMs;
    } else {
        CloseSpan(timeMs, m_figures, m_presenceMs);
        const bool was = IsPresenceState(m_lastState);
        const bool is = IsPresenceState(report.state);
        if (!was && is) ++m_figures.arrivals;
        if (was && !is) {
            ClosePresence(m_figures, m_presenceSumMs, m_presenceMs);
            m_presenceMs = 0;
        }
    }
    if (IsPresenceState(report.state)) {
        RunSummaryFigures& f = m_figures;
        f.minDistanceCm =
            f.distanceReports == 0 ? report.distance : std::min(f.minDistanceCm, report.distance);
        f.maxDistanceCm =
            f.distanceReports == 0 ? report.distance : std::max(f.maxDistanceCm, report.distance);
        ++f.distanceReports;
        m_distanceSum += report.distance;
        f.meanDistanceCm = m_distanceSum / static_cast<double>(f.distanceReports);
    }
    m_lastState = report.state;
    m_lastMs = timeMs;
    ++m_reports;
}

RunSummaryFigures RunSummary::Figures(uint64_t endMs) const {
    RunSummaryFigures figures = m_figures;
    figures.reports = m_reports;
    if (m_reports == 0) return figures;
    uint64_t presenceMs = m_presenceMs;
    CloseSpan(endMs, figures, presenceMs);
    double sumMs = m_presenceSumMs;
    if (IsPresenceState(m_lastState)) ClosePresence(figures, sumMs, presenceMs);
    figures.totalMs = std::max(endMs, m_lastMs) - m_firstMs;
    return figures;
}
