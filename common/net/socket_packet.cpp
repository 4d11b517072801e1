#include "socket_packet.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/base_buffer.h"
#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "core/size_limits.h"

namespace {

std::atomic<int> gMatchCode{0};

// The first payload block; it doubles as bytes arrive, up to the announced length.
constexpr uint32_t kInitialPayloadBlock = 1u << 20;

// Grows the payload block so that `needed` bytes fit; false when memory is short.
bool ReservePayload(PacketRecvState& state, uint32_t needed, uint32_t length) {
    if (state.payloadCapacity >= needed) return true;
    uint64_t capacity = std::max<uint64_t>(state.payloadCapacity, kInitialPayloadBlock);
    while (capacity < needed) capacity *= 2;
    capacity = std::min<uint64_t>(capacity, length);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[capacity]);
    if (!block) return false;
    if (state.payloadBytes > 0) {
        std::memcpy(block.get(), state.payload.get(), static_cast<size_t>(state.payloadBytes));
    }
    state.payload = std::move(block);
    state.payloadCapacity = static_cast<uint32_t>(capacity);
    return true;
}

}  // namespace

void SetSocketMatchCode(int code) {
    gMatchCode.store(code);
}

int GetSocketMatchCode() {
    return gMatchCode.load();
}

void WriteSocketPacketHeader(const SocketPacketHeader& header,
                             uint8_t out[kSocketPacketHeaderBytes]) {
    WriteLe32(out, header.magic);
    WriteLe32(out + 4, header.matchCode);
    WriteLe64(out + 8, header.destination);
    WriteLe32(out + 16, header.length);
}

SocketPacketHeader ReadSocketPacketHeader(const uint8_t in[kSocketPacketHeaderBytes]) {
    SocketPacketHeader header;
    header.magic = ReadLe32(in);
    header.matchCode = ReadLe32(in + 4);
    header.destination = ReadLe64(in + 8);
    header.length = ReadLe32(in + 16);
    return header;
}

void WriteSocketGreeting(uint64_t connection, uint8_t out[kSocketGreetingBytes]) {
    WriteLe32(out, kSocketGreetingMagic);
    WriteLe32(out + 4, kSocketGreetingVersion);
    WriteLe64(out + 8, connection);
}

bool ReadSocketGreeting(const uint8_t* data, size_t length, uint64_t* connection) {
    if (data == nullptr || length < kSocketGreetingBytes) return false;
    if (ReadLe32(data) != kSocketGreetingMagic || ReadLe32(data + 4) != kSocketGreetingVersion) {
        return false;
    }
    if (connection != nullptr) *connection = ReadLe64(data + 8);
    return true;
}

void PacketRecvState::Reset() {
    std::memset(header, 0, sizeof(header));
    headerBytes = 0;
    payloadBytes = 0;
    complete = 0;
    payload.reset();
    payloadCapacity = 0;
}

uint32_t PacketRecvState::PayloadLength() const {
    return ReadLe32(header + 16);
}

uint64_t PacketRecvState::Destination() const {
    return ReadLe64(header + 8);
}

int64_t MemoryPacketSource::Read(uint8_t* out, size_t count) {
    const size_t n = std::min(count, m_size - m_position);
    if (n == 0) return 0;
    std::memcpy(out, m_data + m_position, n);
    m_position += n;
    return static_cast<int64_t>(n);
}

int ReceivePacketStep(PacketRecvState& state, int matchCheck, PacketByteSource& source,
                      int socketForLog) {
    int64_t available = source.Available();
    if (available < 0) {
        DbgOutputA(kDbgLevelInfo, "RecvTCPPacket socket closed, nSocketFD = %d\r\n", socketForLog);
        return 0;
    }
    if (available == 0) return 1;

    if (state.headerBytes < static_cast<int32_t>(kSocketPacketHeaderBytes)) {
        const size_t missing = kSocketPacketHeaderBytes - static_cast<size_t>(state.headerBytes);
        const size_t want = std::min<size_t>(missing, static_cast<size_t>(available));
        const int64_t got = source.Read(state.header + state.headerBytes, want);
        if (got <= 0) {
            DbgOutputA(kDbgLevelInfo, "RecvTCPPacket: nRecvBytes = %d, error=%d\r\n",
                       static_cast<int>(got), source.LastError());
            return 0;
        }
        state.headerBytes += static_cast<int32_t>(got);
        available -= got;
        if (state.headerBytes < static_cast<int32_t>(kSocketPacketHeaderBytes)) return 1;

        const SocketPacketHeader header = ReadSocketPacketHeader(state.header);
        if (header.magic != kSocketPacketMagic) {
            DbgOutputA(kDbgLevelInfo,
                       "RecvOnePackage: tag not match, expect:0x%08x, actual is 0x%08x\r\n",
                       kSocketPacketMagic, header.magic);
            return 0;
        }
        const uint32_t ownCode = static_cast<uint32_t>(GetSocketMatchCode());
        if (matchCheck && ownCode != 0 && header.matchCode != ownCode) {
            DbgOutputA(
                kDbgLevelInfo, "RecvOnePackage: code not match, expect:%lu, actual is %lu\r\n",
                static_cast<unsigned long>(ownCode), static_cast<unsigned long>(header.matchCode));
            return 0;
        }
        if (header.length > kMaxSocketPacketBytes) {
            DbgOutputA(kDbgLevelWarning,
                       "RecvOnePackage: socket %d announced a packet of %u bytes, beyond the limit "
                       "of %u: dropping the connection\r\n",
                       socketForLog, header.length, kMaxSocketPacketBytes);
            return 0;
        }
        if (header.length == 0) {
            state.complete = 1;
            return 1;
        }
    }

    const uint32_t length = state.PayloadLength();
    if (available <= 0 || state.complete) return 1;
    const uint32_t missing = length - static_cast<uint32_t>(state.payloadBytes);
    const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(missing, available));
    if (!ReservePayload(state, static_cast<uint32_t>(state.payloadBytes) + want, length)) {
        DbgOutputA(kDbgLevelError,
                   "RecvTCPPacket: no memory for a packet of %u bytes, socket=%d\r\n", length,
                   socketForLog);
        return 0;
    }
    const int64_t got = source.Read(state.payload.get() + state.payloadBytes, want);
    if (got <= 0) {
        DbgOutputA(kDbgLevelInfo, "RecvTCPPacket: nRecvBytes = %d, error=%d\r\n",
                   static_cast<int>(got), source.LastError());
        return 0;
    }
    state.payloadBytes += static_cast<int32_t>(got);
    if (static_cast<uint32_t>(state.payloadBytes) == length) state.complete = 1;
    return 1;
}

void CreateLengthData(CBaseBuffer* out, const void* data, int length) {
    if (out == nullptr) return;
    if (data == nullptr || length < 0) length = 0;
    char text[24];
    const int textLength = std::snprintf(text, sizeof(text), "%d", length);
    out->SetAvailSize(0);
    if (!out->SetBufferSize(static_cast<uint32_t>(textLength + 1 + length))) return;
    out->AppendBuffer(text, static_cast<uint32_t>(textLength + 1));
    if (length > 0) out->AppendBuffer(data, static_cast<uint32_t>(length));
}

void ParseLengthData(const void* text, int length, int* offset, uint64_t* value) {
    if (offset != nullptr) *offset = 0;
    if (value != nullptr) *value = 0;
    if (text == nullptr || length <= 0) return;
    const auto* bytes = static_cast<const uint8_t*>(text);
    const void* zero = std::memchr(bytes, 0, static_cast<size_t>(length));
    if (zero == nullptr) return;
    const int position = static_cast<int>(static_cast<const uint8_t*>(zero) - bytes);
    // The length field follows the zero byte wherever it is, whatever came before it.
    if (offset != nullptr) *offset = position;
    uint64_t number = 0;
    for (int i = 0; i < position && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
        const uint64_t digit = bytes[i] - '0';
        if (number > (UINT64_MAX - digit) / 10) return;  // no value that fits: 0
        number = number * 10 + digit;
    }
    if (value != nullptr) *value = number;
}
