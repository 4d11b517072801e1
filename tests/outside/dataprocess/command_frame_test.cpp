#include "dataprocess/command_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/byte_order.h"
#include "outside/dataprocess/ack_frame_bytes.h"

namespace {

using ack_test::AckFrame;
using ack_test::Bytes;
using ack_test::Cat;

struct Ack {
    uint16_t word;
    Bytes payload;
    bool operator==(const Ack& other) const {
        return word == other.word && payload == other.payload;
    }
};

class RecordingSink : public IAckFrameSink {
public:
    void OnOtherBytes(const uint8_t* bytes, size_t count) override {
        other.insert(other.end(), bytes, bytes + count);
    }
    void OnAckFrame(uint16_t word, const uint8_t* payload, size_t length) override {
        acks.push_back({word, Bytes(payload, payload + length)});
    }
    void OnAckRejected(AckRejection reason, uint32_t) override { rejections.push_back(reason); }

    Bytes other;
    std::vector<Ack> acks;
    std::vector<AckRejection> rejections;
};

// A command envelope around an arbitrary body (for malformed cases).
Bytes Envelope(const Bytes& body, uint16_t lengthField, const Bytes& tail = {4, 3, 2, 1}) {
    Bytes frame = {0xFD, 0xFC, 0xFB, 0xFA};
    AppendLe16(frame, lengthField);
    frame.insert(frame.end(), body.begin(), body.end());
    frame.insert(frame.end(), tail.begin(), tail.end());
    return frame;
}

// A type-1 stream frame with recognisable payload bytes.
Bytes StreamFrame(uint8_t fill) {
    Bytes frame = {0xF4, 0xF3, 0xF2, 0xF1, 70, 0};
    frame.push_back(1);
    for (int i = 1; i < 70; ++i) frame.push_back(static_cast<uint8_t>(fill + i));
    frame.insert(frame.end(), {0xF8, 0xF7, 0xF6, 0xF5});
    return frame;
}

RecordingSink FeedPieces(const std::vector<Bytes>& pieces) {
    RecordingSink sink;
    AckFrameParser parser(sink);
    for (const Bytes& piece : pieces) parser.Feed(piece.data(), piece.size());
    return sink;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t to) {
    return Bytes(bytes.begin() + from, bytes.begin() + to);
}

}  // namespace

TEST(CommandFrame, BuildsHeaderLengthWordPayloadAndTail) {
    const uint8_t payload[] = {0x02, 0x00};
    CBaseBuffer frame;
    ASSERT_TRUE(BuildCommandFrame(0x00FF, payload, sizeof(payload), frame));
    const Bytes expected = {0xFD, 0xFC, 0xFB, 0xFA, 0x04, 0x00, 0xFF,
                            0x00, 0x02, 0x00, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(Bytes(frame.GetBuffer(), frame.GetBuffer() + frame.GetAvailSize()), expected);
}

TEST(CommandFrame, RefusesPayloadBeyondTheLargestBody) {
    const Bytes big(kMaxCommandPayloadBytes + 1, 0x55);
    CBaseBuffer frame;
    EXPECT_FALSE(BuildCommandFrame(0x0063, big.data(), static_cast<uint32_t>(big.size()), frame));
    EXPECT_EQ(frame.GetAvailSize(), 0u);
    EXPECT_FALSE(BuildCommandFrame(0x0063, nullptr, 4, frame));
    ASSERT_TRUE(BuildCommandFrame(0x0063, big.data(), kMaxCommandPayloadBytes, frame));
    EXPECT_EQ(frame.GetAvailSize(), kMaxCommandBodyBytes + kCommandEnvelopeBytes);
}

// What a byte stream must be sorted into, whole or in pieces.
struct SortCase {
    const char* name;
    Bytes input;
    Bytes other;
    std::vector<Ack> acks;
    std::vector<AckRejection> rejections;
};

std::vector<SortCase> SortCases() {
    const Bytes ack = AckFrame(0x0071, 0, {1, 0, 0, 0, 9, 0, 0, 0});
    const Bytes ackFf = AckFrame(0x00FF, 0, {2, 0, 0, 0x10});
    const Bytes s1 = StreamFrame(0x10);
    const Bytes s2 = StreamFrame(0x40);
    const Bytes garbage = {0x00, 0xFD, 0xFD, 0xFC, 0x11, 0xFD, 0xFC, 0xFB, 0x22, 0xF4, 0xFD, 0x33};
    const Bytes shortBody = Envelope({0xFF, 0x01, 0x00}, 3);
    const Bytes wrongTail = Envelope({0x71, 0x01, 0x00, 0x00}, 4, {4, 3, 2, 0});
    const Bytes oversize = Envelope({0x71, 0x01}, 4097);
    // A false header whose announced frame swallows a real acknowledgement.
    const Bytes falseHeader = {0xFD, 0xFC, 0xFB, 0xFA, 0x0C, 0x00};
    const Bytes maxBody = Envelope(Cat({{0x00, 0x01, 0x00, 0x00}, Bytes(4092, 0xAB)}), 4096);
    return {
        {"lone acknowledgement", ack, {}, {{0x0171, {0, 0, 1, 0, 0, 0, 9, 0, 0, 0}}}, {}},
        {"two acknowledgements back to back",
         Cat({ackFf, ack}),
         {},
         {{0x01FF, {0, 0, 2, 0, 0, 0x10}}, {0x0171, {0, 0, 1, 0, 0, 0, 9, 0, 0, 0}}},
         {}},
        {"acknowledgement between stream frames",
         Cat({s1, ackFf, s2}),
         Cat({s1, s2}),
         {{0x01FF, {0, 0, 2, 0, 0, 0x10}}},
         {}},
        {"garbage and header prefixes are stream bytes", garbage, garbage, {}, {}},
        {"short body is dropped, not delivered",
         Cat({s1, shortBody, s2}),
         Cat({s1, s2}),
         {},
         {AckRejection::ShortBody}},
        {"wrong tail: bytes stay in the stream",
         Cat({s1, wrongTail}),
         Cat({s1, wrongTail}),
         {},
         {AckRejection::WrongTail}},
        {"oversize length is a false header, the acknowledgement behind it counts",
         Cat({oversize, ack}),
         oversize,
         {{0x0171, {0, 0, 1, 0, 0, 0, 9, 0, 0, 0}}},
         {AckRejection::OversizeLength}},
        {"false header swallowing a real acknowledgement",
         Cat({falseHeader, ackFf, s1}),
         Cat({falseHeader, s1}),
         {{0x01FF, {0, 0, 2, 0, 0, 0x10}}},
         {AckRejection::WrongTail}},
        {"largest body is an acknowledgement",
         maxBody,
         {},
         {{0x0100, Cat({{0x00, 0x00}, Bytes(4092, 0xAB)})}},
         {}},
        {"minimal acknowledgement: status only", AckFrame(0x00FE, 0), {}, {{0x01FE, {0, 0}}}, {}},
    };
}

TEST(AckFrameParser, SortsWholeInputs) {
    for (const SortCase& c : SortCases()) {
        SCOPED_TRACE(c.name);
        RecordingSink sink = FeedPieces({c.input});
        EXPECT_EQ(sink.other, c.other);
        EXPECT_EQ(sink.acks, c.acks);
        EXPECT_EQ(sink.rejections, c.rejections);
    }
}

TEST(AckFrameParser, SortsTheSameWhereverTheInputIsSplit) {
    for (const SortCase& c : SortCases()) {
        for (size_t split = 1; split < c.input.size(); ++split) {
            SCOPED_TRACE(std::string(c.name) + ", split at " + std::to_string(split));
            RecordingSink sink =
                FeedPieces({Slice(c.input, 0, split), Slice(c.input, split, c.input.size())});
            EXPECT_EQ(sink.other, c.other);
            EXPECT_EQ(sink.acks, c.acks);
        }
    }
}

TEST(AckFrameParser, SortsTheSameFedByteByByte) {
    for (const SortCase& c : SortCases()) {
        SCOPED_TRACE(c.name);
        std::vector<Bytes> pieces;
        for (uint8_t byte : c.input) pieces.push_back({byte});
        RecordingSink sink = FeedPieces(pieces);
        EXPECT_EQ(sink.other, c.other);
        EXPECT_EQ(sink.acks, c.acks);
        EXPECT_EQ(sink.rejections, c.rejections);
    }
}

TEST(AckFrameParser, HoldsAPossibleAcknowledgementUntilItIsDecided) {
    const Bytes ack = AckFrame(0x0011, 0, {3, 0, 'A', 'B', 'C'});
    const Bytes s1 = StreamFrame(0x20);
    RecordingSink sink;
    AckFrameParser parser(sink);
    const Bytes first = Cat({s1, Slice(ack, 0, 8)});
    parser.Feed(first.data(), first.size());
    EXPECT_EQ(sink.other, s1);
    EXPECT_EQ(parser.HeldBytes(), 8u);
    EXPECT_EQ(parser.HeldFrameBytes(), ack.size());
    const Bytes rest = Slice(ack, 8, ack.size());
    parser.Feed(rest.data(), rest.size());
    EXPECT_EQ(parser.HeldBytes(), 0u);
    ASSERT_EQ(sink.acks.size(), 1u);
    EXPECT_EQ(sink.acks[0].word, 0x0111);
}

TEST(AckFrameParser, GivingUpAHeldCandidateHandsItsBytesOnInOrder) {
    // A header announcing 4000 bytes that never come, then stream bytes and a header prefix.
    const Bytes candidate = Cat({{0xFD, 0xFC, 0xFB, 0xFA, 0xA0, 0x0F}, StreamFrame(0x30), {0xFD}});
    RecordingSink sink;
    AckFrameParser parser(sink);
    parser.Feed(candidate.data(), candidate.size());
    EXPECT_TRUE(sink.other.empty());
    const uint64_t serial = parser.HeldSerial();
    parser.GiveUpHeld();
    // Everything up to the trailing prefix is handed on; the prefix is a new candidate.
    EXPECT_EQ(sink.other, Slice(candidate, 0, candidate.size() - 1));
    EXPECT_EQ(parser.HeldBytes(), 1u);
    EXPECT_NE(parser.HeldSerial(), serial);
    ASSERT_EQ(sink.rejections.size(), 1u);
    EXPECT_EQ(sink.rejections[0], AckRejection::GivenUp);
    parser.GiveUpHeld();
    EXPECT_EQ(sink.other, candidate);
    EXPECT_EQ(parser.HeldBytes(), 0u);
}

TEST(AckFrameParser, ResetForgetsHeldBytes) {
    const Bytes ack = AckFrame(0x0000, 0, {6, 0, 'v', '1', '.', '5', '.', '2'});
    RecordingSink sink;
    AckFrameParser parser(sink);
    parser.Feed(ack.data(), 10);
    parser.Reset();
    EXPECT_EQ(parser.HeldBytes(), 0u);
    parser.Feed(ack.data() + 10, ack.size() - 10);
    EXPECT_TRUE(sink.acks.empty());
    EXPECT_EQ(sink.other, Slice(ack, 10, ack.size()));
}
