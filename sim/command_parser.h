// Cuts the bytes the host sends into command frames. Bytes before a header are skipped; a
// header whose length is impossible (below 2 or above the largest body) or whose tail is wrong
// is a false header: scanning resumes one byte after it. A frame that stays incomplete for
// kPartialFrameTimeoutMs (no byte arrived meanwhile) is given up the same way, so that a stray
// header in line noise cannot swallow the next real command. Used by one thread.
#pragma once

#include <cstdint>
#include <optional>

#include "wire_format.h"

struct CommandFrame {
    uint16_t word = 0;
    Bytes payload;  // the body after the command word
};

class CommandParser {
public:
    static constexpr uint64_t kPartialFrameTimeoutMs = 300;

    // Appends received bytes; `nowMs` is the wall clock of their arrival.
    void Feed(const uint8_t* data, size_t length, uint64_t nowMs);
    // The next complete frame, if any.
    std::optional<CommandFrame> Next();
    // Gives up an incomplete frame that has waited too long; call when the deadline passes.
    void Expire(uint64_t nowMs);
    // When an incomplete frame waits: the wall time at which Expire gives it up; else nothing.
    std::optional<uint64_t> Deadline() const;
    // Forgets everything (the sensor restarted).
    void Clear();

    uint64_t SkippedBytes() const { return m_skipped; }
    uint64_t FalseHeaders() const { return m_falseHeaders; }

private:
    // Drops the bytes before the first place where a header may start.
    void SkipToHeader();
    void DropFalseHeader(const char* why);

    Bytes m_buffer;
    uint64_t m_lastInputMs = 0;
    uint64_t m_skipped = 0;
    uint64_t m_falseHeaders = 0;
};
