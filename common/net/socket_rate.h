// Bytes-per-second figures of the socket classes: each send or receive adds its length; once more
// than kSocketRateWindowMs have passed since the last figure, the figure becomes count * 1000 /
// elapsed milliseconds and counting starts again. The socket classes hold one by value, so this
// header is public; its code is inline and nothing here is exported. Any thread.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/mono_clock.h"

constexpr uint64_t kSocketRateWindowMs = 1000;

class SocketRateMeter {
public:
    void Add(uint64_t bytes) {
        std::lock_guard<std::mutex> guard(m_mutex);
        const uint64_t now = MonoTimeMs();
        if (m_start == 0) m_start = now;
        m_count += bytes;
        const uint64_t elapsed = now - m_start;
        if (elapsed > kSocketRateWindowMs) {
            const uint64_t rate = m_count * 1000 / elapsed;
            m_rate = rate > INT32_MAX ? INT32_MAX : static_cast<int>(rate);
            m_count = 0;
            m_start = now;
        }
    }

    int Get() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_rate;
    }

private:
    mutable std::mutex m_mutex;
    uint64_t m_count = 0;
    uint64_t m_start = 0;
    int m_rate = 0;
};
