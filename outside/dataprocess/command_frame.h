// The command envelope of the sensor link, both ways: building command frames for the sensor and
// finding the sensor's acknowledgements in the received byte stream.
//
// Envelope (little-endian): header FD FC FB FA, u16 body length L, body (u16 command word, then
// payload), tail 04 03 02 01. An acknowledgement carries the command's word | 0x0100 and a
// payload that starts with a u16 status (0 = success).
//
// AckFrameParser takes received bytes from memory, in whatever pieces they came, and sorts them:
// every complete acknowledgement goes to the sink as one piece, every other byte (stream frames,
// garbage, false headers) goes to the sink in order as "other bytes". Bytes that may still turn
// out to be an acknowledgement (a header prefix, a frame not yet complete) are held back until
// they can be decided; nothing is ever lost or reordered.
//
// Not guarded: one thread at a time (the link's reader thread).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/base_buffer.h"

constexpr uint8_t kCommandFrameHeader[4] = {0xFD, 0xFC, 0xFB, 0xFA};
constexpr uint8_t kCommandFrameTail[4] = {0x04, 0x03, 0x02, 0x01};
// Header + length field + tail around the body.
constexpr uint32_t kCommandEnvelopeBytes = 10;
constexpr uint32_t kCommandBodyOffset = 6;
// Longest body either side sends; a larger length field is a false header.
constexpr uint32_t kMaxCommandBodyBytes = 4096;
// The command word is part of the body, so a command frame carries at most this much payload.
constexpr uint32_t kMaxCommandPayloadBytes = kMaxCommandBodyBytes - 2;
// Shortest acknowledgement body: command word and status.
constexpr uint32_t kMinAckBodyBytes = 4;
// An acknowledgement's word is the command's word with this bit.
constexpr uint16_t kAckWordBit = 0x0100;

// Builds the frame for `word` with `length` payload bytes into `frame` (replacing its content).
// False, frame untouched, when length exceeds kMaxCommandPayloadBytes or payload is null with a
// nonzero length.
bool BuildCommandFrame(uint16_t word, const uint8_t* payload, uint32_t length, CBaseBuffer& frame);

// Why a command-envelope candidate was not taken as an acknowledgement.
enum class AckRejection {
    OversizeLength,  // length field beyond kMaxCommandBodyBytes: a false header, scanning goes on
    WrongTail,       // no tail where it belongs: a false header, scanning goes on
    ShortBody,       // a well-formed frame whose body cannot hold word and status: dropped
    GivenUp,         // held too long without completing (GiveUpHeld): a false header
};

class IAckFrameSink {
public:
    virtual ~IAckFrameSink() = default;
    // Bytes that are not part of an acknowledgement, in stream order.
    virtual void OnOtherBytes(const uint8_t* bytes, size_t count) = 0;
    // A complete acknowledgement: its word and its payload (status first, length >= 2).
    virtual void OnAckFrame(uint16_t word, const uint8_t* payload, size_t length) = 0;
    // A candidate that was not an acknowledgement; `length` is its length field (0 if unread).
    virtual void OnAckRejected(AckRejection reason, uint32_t length) {
        (void)reason;
        (void)length;
    }
};

class AckFrameParser {
public:
    explicit AckFrameParser(IAckFrameSink& sink) : m_sink(sink) {}
    AckFrameParser(const AckFrameParser&) = delete;
    AckFrameParser& operator=(const AckFrameParser&) = delete;

    // Sorts the held bytes followed by these; everything that can be decided goes to the sink
    // before this returns. False only when the held bytes could not be stored (then the bytes
    // are handed on as other bytes unsorted, so none is lost).
    bool Feed(const uint8_t* bytes, size_t count);

    // Gives up the candidate at the start of the held bytes: its first byte is handed on as an
    // other byte and the rest is sorted again (a later candidate may be held anew). For a link
    // whose candidate has waited longer than its bytes can take to arrive. Nothing when nothing
    // is held.
    void GiveUpHeld();

    // Forgets the held bytes without handing them on (the link discards what it received).
    void Reset();

    // Bytes held back, and the whole frame length their candidate announces (0 while the length
    // field has not arrived).
    size_t HeldBytes() const { return m_held.GetAvailSize(); }
    size_t HeldFrameBytes() const;
    // Changes whenever a different candidate starts being held; lets a caller time each one.
    uint64_t HeldSerial() const { return m_heldSerial; }

private:
    // Sorts `count` bytes at `bytes`, which may be the held buffer itself; returns how many from
    // the end are to be held.
    size_t Sort(const uint8_t* bytes, size_t count, size_t startScan);
    void Hold(const uint8_t* bytes, size_t count);

    IAckFrameSink& m_sink;
    CBaseBuffer m_held;
    uint64_t m_heldSerial = 0;
};
