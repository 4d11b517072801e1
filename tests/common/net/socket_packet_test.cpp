// ctest-labels: net
// Packet framing from memory: golden header and greeting bytes, the receive state machine fed in
// pieces, refused headers, and the length-prefixed data helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/base_buffer.h"
#include "core/byte_order.h"
#include "core/size_limits.h"
#include "net/socket_packet.h"
#include "socket_test_support.h"

namespace {

// Hands out its bytes in the pieces given, one piece per step; then reports the end (closed) or
// nothing more (open).
class PiecewiseSource : public PacketByteSource {
public:
    PiecewiseSource(Bytes bytes, std::vector<size_t> pieces, bool closedAtEnd = false)
        : m_bytes(std::move(bytes)), m_pieces(std::move(pieces)), m_closedAtEnd(closedAtEnd) {}

    int64_t Available() override {
        if (m_position == m_bytes.size()) return m_closedAtEnd ? -1 : 0;
        if (m_released <= m_position) {
            const size_t piece = m_piece < m_pieces.size() ? m_pieces[m_piece++] : m_bytes.size();
            m_released = std::min(m_bytes.size(), m_position + piece);
        }
        return static_cast<int64_t>(m_released - m_position);
    }
    int64_t Read(uint8_t* out, size_t count) override {
        const size_t n = std::min(count, m_released - m_position);
        std::copy_n(m_bytes.begin() + static_cast<long>(m_position), n, out);
        m_position += n;
        return static_cast<int64_t>(n);
    }

private:
    Bytes m_bytes;
    std::vector<size_t> m_pieces;
    bool m_closedAtEnd;
    size_t m_position = 0;
    size_t m_released = 0;
    size_t m_piece = 0;
};

// Runs steps until a packet completes, a step fails or nothing more comes; the payloads found.
struct StepResult {
    std::vector<Bytes> payloads;
    bool failed = false;
};

StepResult RunSteps(PacketByteSource& source, int matchCheck, int maxSteps = 1000) {
    StepResult result;
    PacketRecvState state;
    for (int i = 0; i < maxSteps; ++i) {
        const int32_t before = state.headerBytes + state.payloadBytes;
        if (!ReceivePacketStep(state, matchCheck, source, -1)) {
            result.failed = true;
            break;
        }
        if (state.complete) {
            const uint8_t* p = state.payload.get();
            result.payloads.emplace_back(p, p + state.PayloadLength());
            state.Reset();
            continue;
        }
        if (state.headerBytes + state.payloadBytes == before && source.Available() == 0) break;
    }
    return result;
}

TEST(SocketPacket, HeaderIsWrittenLittleEndianFieldByField) {
    SocketPacketHeader header;
    header.matchCode = 0x01020304;
    header.destination = kSocketDestServer;
    header.length = 0x00A0B0C0;
    uint8_t bytes[kSocketPacketHeaderBytes];
    WriteSocketPacketHeader(header, bytes);
    const uint8_t expected[kSocketPacketHeaderBytes] = {0xBB, 0xBB, 0xCD, 0xAB, 0x04, 0x03, 0x02,
                                                        0x01, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                        0xFF, 0xFF, 0xC0, 0xB0, 0xA0, 0x00};
    EXPECT_TRUE(std::equal(bytes, bytes + 20, expected));
    const SocketPacketHeader back = ReadSocketPacketHeader(bytes);
    EXPECT_EQ(back.magic, kSocketPacketMagic);
    EXPECT_EQ(back.matchCode, 0x01020304u);
    EXPECT_EQ(back.destination, kSocketDestServer);
    EXPECT_EQ(back.length, 0x00A0B0C0u);
}

TEST(SocketPacket, GreetingCarriesMagicVersionAndConnection) {
    uint8_t bytes[kSocketGreetingBytes];
    WriteSocketGreeting(0x1122334455667788ull, bytes);
    const uint8_t expected[kSocketGreetingBytes] = {0xBA, 0xDC, 0xCD, 0xAB, 1,    0,    0,    0,
                                                    0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    EXPECT_TRUE(std::equal(bytes, bytes + 16, expected));
    uint64_t connection = 0;
    EXPECT_TRUE(ReadSocketGreeting(bytes, 16, &connection));
    EXPECT_EQ(connection, 0x1122334455667788ull);
    Bytes longer(bytes, bytes + 16);
    longer.push_back(9);
    EXPECT_TRUE(ReadSocketGreeting(longer.data(), longer.size(), &connection));
    EXPECT_FALSE(ReadSocketGreeting(bytes, 15, &connection));
    bytes[4] = 2;
    EXPECT_FALSE(ReadSocketGreeting(bytes, 16, &connection));
    bytes[4] = 1;
    bytes[0] ^= 1;
    EXPECT_FALSE(ReadSocketGreeting(bytes, 16, &connection));
}

TEST(SocketPacket, PacketInPiecesIsDeliveredOnceWhole) {
    const Bytes payload = PatternBlock(3000);
    PiecewiseSource source(PacketBytes(kSocketDestServer, payload), {7, 6, 7, 1500, 1500});
    const StepResult result = RunSteps(source, 1);
    EXPECT_FALSE(result.failed);
    ASSERT_EQ(result.payloads.size(), 1u);
    EXPECT_EQ(result.payloads[0], payload);
}

TEST(SocketPacket, PacketsBackToBackAndEmptyOnesAreEachComplete) {
    Bytes stream = PacketBytes(1, BytesOf("first"));
    const Bytes empty = PacketBytes(2, {});
    const Bytes second = PacketBytes(3, BytesOf("second"));
    stream.insert(stream.end(), empty.begin(), empty.end());
    stream.insert(stream.end(), second.begin(), second.end());
    PiecewiseSource source(stream, {stream.size()});
    const StepResult result = RunSteps(source, 1);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.payloads, (std::vector<Bytes>{BytesOf("first"), {}, BytesOf("second")}));
}

TEST(SocketPacket, PayloadIsNotAllocatedBeforeItsBytesArrive) {
    PacketRecvState state;
    SocketPacketHeader header;
    header.length = kMaxSocketPacketBytes;
    uint8_t bytes[kSocketPacketHeaderBytes + 10] = {};
    WriteSocketPacketHeader(header, bytes);
    MemoryPacketSource source(bytes, sizeof(bytes));
    ASSERT_EQ(ReceivePacketStep(state, 0, source, -1), 1);
    EXPECT_EQ(state.payloadBytes, 10);
    EXPECT_LT(state.payloadCapacity, kMaxSocketPacketBytes);
}

struct RefusedHeader {
    const char* name;
    uint32_t magic;
    uint32_t matchCode;
    uint32_t length;
    int ownCode;
    int matchCheck;
    bool refused;
};

class SocketPacketHeaderCheck : public ::testing::TestWithParam<RefusedHeader> {};

TEST_P(SocketPacketHeaderCheck, RefusesWhatMustEndTheConnection) {
    const RefusedHeader& c = GetParam();
    const int saved = GetSocketMatchCode();
    SetSocketMatchCode(c.ownCode);
    Bytes packet = PacketBytes(kSocketDestServer, Bytes(4, 1), c.magic, c.matchCode);
    WriteLe32(&packet[16], c.length);
    PiecewiseSource source(packet, {packet.size()});
    const StepResult result = RunSteps(source, c.matchCheck);
    SetSocketMatchCode(saved);
    EXPECT_EQ(result.failed, c.refused);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SocketPacketHeaderCheck,
    ::testing::Values(
        RefusedHeader{"Good", kSocketPacketMagic, 7, 4, 7, 1, false},
        RefusedHeader{"MagicOffByOne", 0xABCDBBBCu, 7, 4, 7, 1, true},
        RefusedHeader{"OtherMatchCode", kSocketPacketMagic, 8, 4, 7, 1, true},
        RefusedHeader{"OtherCodeWithoutCheck", kSocketPacketMagic, 8, 4, 7, 0, false},
        RefusedHeader{"OtherCodeWhileOwnIsZero", kSocketPacketMagic, 8, 4, 0, 1, false},
        RefusedHeader{"LengthAtLimit", kSocketPacketMagic, 0, kMaxSocketPacketBytes, 0, 1, false},
        RefusedHeader{"LengthBeyondLimit", kSocketPacketMagic, 0, kMaxSocketPacketBytes + 1, 0, 1,
                      true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SocketPacket, AnEndedStreamIsReportedNotWaitedFor) {
    const Bytes packet = PacketBytes(kSocketDestServer, BytesOf("cut short"));
    PiecewiseSource source(Bytes(packet.begin(), packet.begin() + 25), {25}, true);
    LogCapture log;
    const StepResult result = RunSteps(source, 1);
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.payloads.empty());
    EXPECT_TRUE(log.Has("RecvTCPPacket socket closed"));
}

TEST(SocketPacket, LengthDataPutsDecimalLengthAndTerminatorFirst) {
    CBaseBuffer buffer;
    CreateLengthData(&buffer, "abc", 3);
    ASSERT_EQ(buffer.GetAvailSize(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.GetBuffer()), 5),
              std::string("3\0abc", 5));
    int offset = -1;
    uint64_t value = 99;
    ParseLengthData(buffer.GetBuffer(), static_cast<int>(buffer.GetAvailSize()), &offset, &value);
    EXPECT_EQ(offset, 1);
    EXPECT_EQ(value, 3u);
}

struct LengthTextCase {
    std::string text;
    int offset;
    uint64_t value;
};

TEST(SocketPacket, ParseLengthDataFindsTheNumberBeforeTheFirstZero) {
    const LengthTextCase cases[] = {
        {std::string("12345\0rest", 10), 5, 12345},
        {std::string("0\0", 2), 1, 0},
        {std::string("18446744073709551615\0", 21), 20, UINT64_MAX},
        {std::string("18446744073709551616\0", 21), 20, 0},  // does not fit
        {std::string("12a\0", 4), 3, 12},
        {std::string("abc\0", 4), 3, 0},  // no leading digits
        {std::string("12ab\0", 5), 4, 12},
        {std::string("1\0002\0", 4), 1, 1},  // the first zero counts
        {std::string("\0", 1), 0, 0},
        {std::string("\0009", 2), 0, 0},
        {std::string("123", 3), 0, 0},  // no zero within the length
        {std::string("", 0), 0, 0},
    };
    for (const LengthTextCase& c : cases) {
        int offset = -1;
        uint64_t value = 77;
        ParseLengthData(c.text.data(), static_cast<int>(c.text.size()), &offset, &value);
        EXPECT_EQ(offset, c.offset) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

}  // namespace
