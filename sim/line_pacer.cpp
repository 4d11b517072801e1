#include "line_pacer.h"

#include <algorithm>
#include <cmath>

size_t LinePacer::Allowance(uint64_t wallMs) {
    if (m_baud == 0) return SIZE_MAX;
    const double burst = std::max(1.0, BytesPerMs() * kBurstMs);
    if (!m_started) {
        m_started = true;
        m_tokens = burst;
        m_refilledMs = wallMs;
    }
    if (wallMs > m_refilledMs) {
        m_tokens =
            std::min(burst, m_tokens + BytesPerMs() * static_cast<double>(wallMs - m_refilledMs));
        m_refilledMs = wallMs;
    }
    return static_cast<size_t>(std::floor(std::max(0.0, m_tokens)));
}

void LinePacer::Consume(size_t bytes) {
    if (m_baud != 0) m_tokens -= static_cast<double>(bytes);
}

std::optional<uint64_t> LinePacer::NextByteMs() const {
    if (m_baud == 0 || !m_started || m_tokens >= 1.0) return std::nullopt;
    const auto wait = static_cast<uint64_t>(std::ceil((1.0 - m_tokens) / BytesPerMs()));
    return m_refilledMs + std::max<uint64_t>(1, wait);
}
