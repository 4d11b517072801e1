// Packet framing of stream sockets in packet mode, taken from and written to memory.
//
// Every packet is a 20-byte header followed by its payload, all integers little-endian:
//   offset 0  magic 0xABCDBBBB (uint32)
//   offset 4  match code (uint32): the process-wide code of SetSocketMatchCode
//   offset 8  destination (uint64): one of the kSocketDest values or a client's socket on a server
//   offset 16 payload length (uint32), at most kMaxSocketPacketBytes
//   offset 20 the payload
// A client greets the server in its first packet: destination kSocketDestGreeting and a 16-byte
// payload of magic 0xABCDDCBA, version 1 and the client's own socket value (uint64).
//
// The receive state machine (ReceivePacketStep) reads from a PacketByteSource, so the same code
// serves a socket (socket_io.h) and a block of memory (tests, fuzzing). Nothing here is shared
// between threads except the match code, which any thread may set and read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include "core/common_api.h"

class CBaseBuffer;

constexpr uint32_t kSocketPacketMagic = 0xABCDBBBBu;
constexpr size_t kSocketPacketHeaderBytes = 20;

// Destinations of packets a client sends.
constexpr uint64_t kSocketDestAll = UINT64_MAX;           // -1: every client, sender included
constexpr uint64_t kSocketDestOthers = UINT64_MAX - 1;    // -2: every client but the sender
constexpr uint64_t kSocketDestServer = UINT64_MAX - 2;    // -3: the server's listener
constexpr uint64_t kSocketDestGreeting = UINT64_MAX - 3;  // -4: the greeting

constexpr uint32_t kSocketGreetingMagic = 0xABCDDCBAu;
constexpr uint32_t kSocketGreetingVersion = 1;
constexpr size_t kSocketGreetingBytes = 16;

// The process-wide match code put into every packet sent and, when a connection checks matches
// and the code is not 0, required of every packet received. 0 initially. Any thread.
ORBO_COMMON_API void SetSocketMatchCode(int code);
ORBO_COMMON_API int GetSocketMatchCode();

struct ORBO_COMMON_API SocketPacketHeader {
    uint32_t magic = kSocketPacketMagic;
    uint32_t matchCode = 0;
    uint64_t destination = 0;
    uint32_t length = 0;
};

ORBO_COMMON_API void WriteSocketPacketHeader(const SocketPacketHeader& header,
                                             uint8_t out[kSocketPacketHeaderBytes]);
ORBO_COMMON_API SocketPacketHeader
ReadSocketPacketHeader(const uint8_t in[kSocketPacketHeaderBytes]);

// The 16 greeting bytes for a client whose own socket value is `connection`.
ORBO_COMMON_API void WriteSocketGreeting(uint64_t connection, uint8_t out[kSocketGreetingBytes]);
// True (and *connection set) for a greeting of at least 16 bytes with the right magic and
// version; false for anything else, which a server ignores.
ORBO_COMMON_API bool ReadSocketGreeting(const uint8_t* data, size_t length, uint64_t* connection);

// The receive state of one packet-mode connection: the header bytes so far, the payload so far
// and whether the packet is complete. The payload block grows as bytes arrive (never beyond the
// header's length), so a peer that announces a large packet and sends little costs little.
struct ORBO_COMMON_API PacketRecvState {
    uint8_t header[kSocketPacketHeaderBytes] = {};
    int32_t headerBytes = 0;
    int32_t payloadBytes = 0;
    int32_t complete = 0;
    std::unique_ptr<uint8_t[]> payload;
    uint32_t payloadCapacity = 0;

    // Back to an empty state (the payload block is freed).
    void Reset();
    // The header's fields; meaningful once headerBytes is 20.
    uint32_t PayloadLength() const;
    uint64_t Destination() const;
};

// Where ReceivePacketStep takes its bytes from.
class ORBO_COMMON_API PacketByteSource {
public:
    virtual ~PacketByteSource() = default;
    // Bytes that can be read now without waiting; 0 when none but the stream is open; -1 when the
    // stream has ended or failed.
    virtual int64_t Available() = 0;
    // Reads up to `count` bytes (count > 0): the number read, or 0 / -1 when the stream ended or
    // failed.
    virtual int64_t Read(uint8_t* out, size_t count) = 0;
    // The system's error number of the last failure, for log lines (0 when none).
    virtual int LastError() const { return 0; }
};

// One receiving step, reading at most what the source has available:
// 1. Nothing available: 1 when the stream is open; 0 ("RecvTCPPacket socket closed, nSocketFD =
//    %d\r\n") when it ended.
// 2. While the header is incomplete, reads up to the missing header bytes; a failed read logs
//    "RecvTCPPacket: nRecvBytes = %d, error=%d\r\n" and gives 0. An incomplete header gives 1. A
//    complete one is checked: the magic ("RecvOnePackage: tag not match, expect:0x%08x, actual is
//    0x%08x\r\n"), with matchCheck and a process match code not 0 the match code ("RecvOnePackage:
//    code not match, expect:%lu, actual is %lu\r\n"), and the length against
//    kMaxSocketPacketBytes; any mismatch gives 0. A length of 0 is a complete, empty packet.
// 3. When bytes remain available, reads once up to the missing payload bytes (a failed read as
//    above); a complete payload sets `complete`. Returns 1.
// A result of 0 means the connection must be dropped. The caller takes the payload once
// `complete` is set and then calls Reset(). `socketForLog` only appears in log lines.
ORBO_COMMON_API int ReceivePacketStep(PacketRecvState& state, int matchCheck,
                                      PacketByteSource& source, int socketForLog);

// A source over a block of memory; Available() reports 0 (open, nothing yet) at its end.
class ORBO_COMMON_API MemoryPacketSource : public PacketByteSource {
public:
    MemoryPacketSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    int64_t Available() override { return static_cast<int64_t>(m_size - m_position); }
    int64_t Read(uint8_t* out, size_t count) override;
    size_t Position() const { return m_position; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

// out := the length as decimal text with its terminator, followed by the data. Nothing for a
// null out; a null data or a negative length counts as empty.
ORBO_COMMON_API void CreateLengthData(CBaseBuffer* out, const void* data, int length);
// Finds the first zero byte within `length` bytes of `text`: *offset gets its position (also
// when the text before it is not a number) and *value the decimal number of the leading digits
// before it, 0 when there are none or the number does not fit 64 bits. Both 0 when there is no
// zero byte. Outputs may be null.
ORBO_COMMON_API void ParseLengthData(const void* text, int length, int* offset, uint64_t* value);
