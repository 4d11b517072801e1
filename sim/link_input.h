// What the host sends, taken from the terminal no faster than the line would carry it when
// pacing is on: at most the pacer's allowance is read, the rest waits in the terminal's buffer,
// and once that is full a host that writes faster than the line rate is held back, as by a real
// line. Used by one thread, in wall-clock milliseconds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "line_pacer.h"

class LinkInput {
public:
    static constexpr size_t kReadChunkBytes = 4096;

    using Deliver = std::function<void(const uint8_t* data, size_t length)>;

    // `paceBaud` 0 means no pacing.
    explicit LinkInput(uint32_t paceBaud) : m_pacer(paceBaud) {}

    // True when bytes may be taken at `wallMs` (the caller waits for the terminal to have some).
    bool CanTake(uint64_t wallMs) { return m_pacer.Allowance(wallMs) > 0; }
    // Reads from `fd` what may come in by `wallMs` and hands it to `deliver`, until the
    // terminal has no more or the allowance is spent. False when reading failed.
    bool ReadFrom(int fd, uint64_t wallMs, const Deliver& deliver);
    // Wall time at which bytes may be taken again after the allowance was spent.
    std::optional<uint64_t> NextWakeMs() const { return m_pacer.NextByteMs(); }

    uint64_t BytesTaken() const { return m_taken; }

private:
    LinePacer m_pacer;
    uint64_t m_taken = 0;
};
