// The router between a port's received bytes and their two destinations: acknowledgements go to
// the command waiting for them, every other byte goes - in order - to the stream sink. It takes
// bytes from memory (the link's reader thread feeds it), so it is testable without a port.
//
// One command waits at a time: Expect arms the slot for an acknowledgement word, WaitAck waits
// for it. An acknowledgement that nobody waits for (a late one of a command that timed out, a
// repeated answer) is dropped with a log line; its bytes never reach the stream.
//
// A candidate acknowledgement is held back while it completes; one that takes longer than its
// bytes can take to arrive at the line rate (plus kHeldAckGraceMs) is given up, so a false header
// in the stream delays the stream only briefly.
//
// While discarding (the settle time of command mode) everything received is dropped and the
// parser starts afresh afterwards.
//
// Threads: Feed and Tick on the reader thread only; the rest from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "command_frame.h"
#include "core/base_event.h"
#include "core/base_lock.h"

// Time a held candidate gets beyond the transfer time of its announced bytes.
constexpr uint64_t kHeldAckGraceMs = 200;

class IStreamBytesSink {
public:
    virtual ~IStreamBytesSink() = default;
    // Received bytes that are not acknowledgements, in order. Reader thread.
    virtual void OnStreamBytes(const uint8_t* bytes, size_t count) = 0;
};

class AckRouter : private IAckFrameSink {
public:
    // `bytesPerSecond` paces the patience with held candidates (the line rate / 10); 0 = no
    // transfer time, only the grace.
    AckRouter(IStreamBytesSink& stream, uint32_t bytesPerSecond);
    AckRouter(const AckRouter&) = delete;
    AckRouter& operator=(const AckRouter&) = delete;

    // Reader thread: routes received bytes; `nowMs` (monotonic) times held candidates.
    void Feed(const uint8_t* bytes, size_t count, uint64_t nowMs);
    // Reader thread: gives up a held candidate that waited too long.
    void Tick(uint64_t nowMs);

    // Arms the slot for an acknowledgement with this word (the command's word | 0x0100); an
    // earlier, unconsumed one is forgotten.
    void Expect(uint16_t ackWord);
    // Disarms the slot.
    void CancelExpect();
    // Waits until the expected acknowledgement came (true, `payload` = its payload, status
    // first), the deadline (monotonic ms) passed or the router was aborted (false).
    bool WaitAck(std::vector<uint8_t>& payload, uint64_t deadlineMs);

    // Releases the waiting command and every later one at once (the link is closing).
    void Abort();
    bool IsAborted() const { return m_aborted.load(); }

    // Drop everything received from now on (until EndDiscard), held bytes included.
    void BeginDiscard();
    void EndDiscard();

    // Counts since construction, for logs and tests.
    uint64_t AcksDelivered() const { return m_acksDelivered.load(); }
    uint64_t AcksDropped() const { return m_acksDropped.load(); }

private:
    void OnOtherBytes(const uint8_t* bytes, size_t count) override;
    void OnAckFrame(uint16_t word, const uint8_t* payload, size_t length) override;
    void OnAckRejected(AckRejection reason, uint32_t length) override;
    void NoteHeld(uint64_t nowMs);
    // Reader thread: true while discarding; resets the parser once per discard.
    bool Discarding();

    IStreamBytesSink& m_stream;
    const uint32_t m_bytesPerSecond;
    AckFrameParser m_parser;  // reader thread only
    uint64_t m_heldSerial = 0;
    uint64_t m_heldSinceMs = 0;
    uint64_t m_discardSeen = 0;  // reader thread: the discard the parser was last reset for

    CBaseLock m_slotLock;
    CBaseEvent m_ackEvent;  // auto reset: an acknowledgement for the slot, or abort
    bool m_armed = false;
    uint16_t m_expectedWord = 0;
    bool m_filled = false;
    std::vector<uint8_t> m_payload;

    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_discarding{false};
    std::atomic<uint64_t> m_discardSerial{0};
    std::atomic<uint64_t> m_acksDelivered{0};
    std::atomic<uint64_t> m_acksDropped{0};
};
