// The rate of a serial line: ten bit times a byte, as 8N1 on a wire. A pseudo-terminal ignores
// the host's line settings and carries bytes as fast as both ends go, so the simulator paces
// itself, in both directions, with one of these each: at most baud/10 bytes a second pass, in
// bursts of at most kBurstMs worth (at least one byte). Used by one thread, in wall-clock
// milliseconds that never go backwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

class LinePacer {
public:
    static constexpr uint64_t kBurstMs = 10;      // largest burst let through at once
    static constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit

    // `baud` 0 means no pacing: everything passes at once.
    explicit LinePacer(uint32_t baud) : m_baud(baud) {}

    bool Paced() const { return m_baud != 0; }
    // Bytes that may pass at `wallMs` (SIZE_MAX when not paced). The first call starts the
    // line with a full burst.
    size_t Allowance(uint64_t wallMs);
    // Counts `bytes` as passed.
    void Consume(size_t bytes);
    // Wall time at which the next byte may pass after Allowance gave 0; nothing when one may
    // pass now or the line is not paced.
    std::optional<uint64_t> NextByteMs() const;

private:
    double BytesPerMs() const { return m_baud / kBitsPerByte / 1000.0; }

    uint32_t m_baud;
    double m_tokens = 0;  // bytes that may pass now
    uint64_t m_refilledMs = 0;
    bool m_started = false;
};
