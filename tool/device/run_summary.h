// The summary of a live run or a replay: the time spent in each target state, the arrivals
// (a report with presence right after one without), the shortest, mean and longest presence,
// and the least, mean and greatest distance.
//
// Each report holds its state from its own time until the next report's time (the last one
// until the end given to Figures). Presence is state 2 (moving) or 3 (motionless); a presence is
// a stretch of presence reports, whichever of the two, and it lasts until the first report
// without presence (or the end). A run that begins with presence has that presence but no
// arrival for it. Distances are taken from presence reports only, as the page shows no distance
// while nobody is there; the mean is per report.
//
// A plain value: the caller serialises access (zorvan-cli feeds it on the acquisition worker and
// reads it after the run was joined).
#pragma once

#include <cstdint>

#include "device/report_frame.h"

struct RunSummaryFigures {
    uint64_t reports = 0;
    uint64_t totalMs = 0;       // from the first report to the end
    uint64_t nobodyMs = 0;      // states 0 and 1
    uint64_t movingMs = 0;      // state 2
    uint64_t motionlessMs = 0;  // state 3
    uint64_t otherMs = 0;       // states the sensor does not define
    uint64_t arrivals = 0;
    uint64_t presences = 0;  // presence stretches, also one at the start or still open
    uint64_t shortestPresenceMs = 0;
    uint64_t longestPresenceMs = 0;
    double meanPresenceMs = 0.0;
    uint64_t distanceReports = 0;  // presence reports; the distances mean nothing while 0
    int32_t minDistanceCm = 0;
    int32_t maxDistanceCm = 0;
    double meanDistanceCm = 0.0;
};

// The time a summary gives report `index` of a run (from 0): for a replay (reportIntervalMs >= 0,
// the 1x interval) the recording's time, index times the interval, whatever the speed; for a
// live run (reportIntervalMs < 0) the time measured. With index = the number of reports it is
// the replay's end.
uint64_t SummaryTimeMs(int reportIntervalMs, uint64_t index, uint64_t measuredMs);

// True for the states with somebody there.
bool IsPresenceState(int32_t state);

class RunSummary {
public:
    // Takes a report shown `timeMs` after the run started (times never decrease; an earlier time
    // counts as the previous one).
    void Add(const TargetReport& report, uint64_t timeMs);
    void Reset();
    uint64_t Count() const { return m_reports; }

    // The figures for a run that ended `endMs` after it started (an earlier end counts as the
    // last report's time).
    RunSummaryFigures Figures(uint64_t endMs) const;

private:
    // Credits the time from the last report to `timeMs` to its state and presence.
    void CloseSpan(uint64_t timeMs, RunSummaryFigures& into, uint64_t& presenceMs) const;

    RunSummaryFigures m_figures;  // everything up to the last report's time
    uint64_t m_reports = 0;
    uint64_t m_firstMs = 0;
    uint64_t m_lastMs = 0;
    int32_t m_lastState = 0;
    uint64_t m_presenceMs = 0;     // the open presence so far
    double m_presenceSumMs = 0.0;  // closed presences
    double m_distanceSum = 0.0;
};
