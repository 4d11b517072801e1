// Everything the sensor sends passes here on its way to the pseudo-terminal: frames are built,
// the output faults applied (garbage bytes before frames, broken tails, cut or late
// acknowledgements) and the bytes written, paced at the configured baud rate when pacing is on
// (see LinePacer).
//
// The queue is bounded: when no host reads and the terminal's buffer is full, the oldest frames
// not yet started are dropped (a line with no listener loses bytes too), with one warning per
// episode. Used by one thread, in wall-clock milliseconds.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <vector>

#include "frame_sink.h"
#include "line_pacer.h"

struct OutputFaults {
    uint32_t garbageBytes = 0;         // random bytes before every frame (never a header's first)
    uint32_t brokenTailEvery = 0;      // every n-th stream frame gets a wrong tail
    std::set<uint16_t> brokenAckTail;  // acknowledgements of these words get a wrong tail
    std::set<uint16_t> shortAck;       // acknowledgements of these words carry 3 body bytes
    uint64_t ackDelayMs = 0;           // every acknowledgement leaves this much later
};

class LinkOutput : public FrameSink {
public:
    static constexpr size_t kMaxPendingBytes = 64 * 1024;

    // `baud` 0 means no pacing.
    LinkOutput(const OutputFaults& faults, uint32_t paceBaud, uint64_t seed);

    // Wall time at which the frames handed over next are produced (acknowledgement delays
    // count from it).
    void SetNow(uint64_t wallMs) { m_nowMs = wallMs; }
    void SendAck(uint16_t commandWord, const Bytes& payload) override;
    void SendStream(const Bytes& payload) override;

    // Writes to `fd` what may go out by `wallMs`. False when the terminal is gone.
    bool WriteTo(int fd, uint64_t wallMs);
    // True when bytes are ready to go out now (the caller waits for the terminal to take them).
    bool HasReadyBytes(uint64_t wallMs);
    // Wall time at which more bytes become ready (pacing, delayed acknowledgements).
    std::optional<uint64_t> NextWakeMs() const;

    uint64_t DroppedFrames() const { return m_droppedFrames; }

private:
    struct Delayed {
        uint64_t dueMs;
        Bytes frame;
    };

    void Enqueue(Bytes frame);
    void ReleaseDelayed(uint64_t wallMs);
    size_t Allowance(uint64_t wallMs);
    uint8_t GarbageByte();

    OutputFaults m_faults;
    LinePacer m_pacer;
    uint64_t m_random;
    uint64_t m_nowMs = 0;
    uint64_t m_streamFrames = 0;

    std::deque<Bytes> m_queue;
    size_t m_frontOffset = 0;  // bytes of the front frame already written
    size_t m_pendingBytes = 0;
    std::vector<Delayed> m_delayed;
    bool m_dropping = false;
    uint64_t m_droppedFrames = 0;
};
