#include "pages/target/max_hold.h"

#include <algorithm>

void MaxHold::Add(const TargetReport& report) {
    for (int gate = 0; gate < kGateCount; ++gate) {
        const double energy = report.gateEnergy[gate];
        // The first report sets the maxima, so that they are never below what was seen.
        m_maxima[gate] = m_count == 0 ? energy : std::max(m_maxima[gate], energy);
    }
    ++m_count;
}

void MaxHold::Reset() {
    m_maxima.fill(0.0);
    m_count = 0;
}

GateValues MaxHold::Headroom(const uint32_t (&triggerThreshold)[kGateCount]) const {
    GateValues headroom{};
    for (int gate = 0; gate < kGateCount; ++gate) {
        headroom[gate] = static_cast<double>(triggerThreshold[gate]) - m_maxima[gate];
    }
    return headroom;
}
