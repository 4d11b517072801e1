// ctest-labels: unit
// The simulator's command parser in-process: frames among noise, false headers, frames split
// anywhere, and an incomplete frame given up after the silence limit on a stepped clock.
#include "command_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/raw_link_client.h"
#include "sim_clock.h"

namespace {

using simtest::CommandFrameBytes;

struct Expected {
    uint16_t word;
    Bytes payload;
};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A header claiming `length` body bytes, without body or tail.
Bytes BareHeader(uint16_t length) {
    Bytes header(wire::kCommandHeader, wire::kCommandHeader + 4);
    wire::PutU16(header, length);
    return header;
}

std::vector<Expected> Drain(CommandParser& parser) {
    std::vector<Expected> frames;
    while (auto frame = parser.Next()) frames.push_back({frame->word, frame->payload});
    return frames;
}

const Bytes kVersion = CommandFrameBytes(wire::kReadVersion, {});
const Bytes kSetSwitch = CommandFrameBytes(wire::kSetReportSwitch, {0x01, 0x00});
const Bytes kWrongTail = [] {
    Bytes frame = CommandFrameBytes(wire::kGetDeviceId, {0x07});
    frame.back() = 0x00;
    return frame;
}();

struct ParserCase {
    std::string name;
    Bytes input;
    std::vector<Expected> frames;
    uint64_t falseHeaders;
};

class CommandParserTable : public ::testing::TestWithParam<ParserCase> {};

std::vector<ParserCase> Cases() {
    return {
        {"OneFrame", kVersion, {{wire::kReadVersion, {}}}, 0},
        {"NoiseAround",
         Join({{0x00, 0x11, 0xFD, 0xFC, 0x22}, kSetSwitch, {0xFA, 0xFB}}),
         {{wire::kSetReportSwitch, {0x01, 0x00}}},
         0},
        {"TwoFramesBackToBack",
         Join({kVersion, kSetSwitch}),
         {{wire::kReadVersion, {}}, {wire::kSetReportSwitch, {0x01, 0x00}}},
         0},
        {"LengthBelowACommandWord", Join({BareHeader(1), kVersion}), {{wire::kReadVersion, {}}}, 1},
        {"LengthBeyondTheLargestBody",
         Join({BareHeader(wire::kMaxCommandBody + 1), kVersion}),
         {{wire::kReadVersion, {}}},
         1},
        {"WrongTailThenARealFrame", Join({kWrongTail, kVersion}), {{wire::kReadVersion, {}}}, 1},
        // A stray header whose claimed body swallows a real frame: the tail check fails and the
        // real frame inside is found by rescanning one byte further.
        {"FalseHeaderSwallowingAFrame",
         Join({BareHeader(static_cast<uint16_t>(kVersion.size())), kVersion, {0, 0, 0, 0}}),
         {{wire::kReadVersion, {}}},
         1},
        {"OnlyNoise", {0x01, 0x02, 0xFD, 0x03, 0xFC, 0xFB}, {}, 0},
    };
}

TEST_P(CommandParserTable, FindsExactlyTheRealFrames) {
    const ParserCase& c = GetParam();
    CommandParser whole;
    whole.Feed(c.input.data(), c.input.size(), 0);
    const std::vector<Expected> frames = Drain(whole);
    ASSERT_EQ(frames.size(), c.frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].word, c.frames[i].word) << i;
        EXPECT_EQ(frames[i].payload, c.frames[i].payload) << i;
    }
    EXPECT_EQ(whole.FalseHeaders(), c.falseHeaders);
}

// The same bytes cut at every position give the same frames.
TEST_P(CommandParserTable, ASplitAnywhereGivesTheSameFrames) {
    const ParserCase& c = GetParam();
    for (size_t cut = 0; cut <= c.input.size(); ++cut) {
        CommandParser parser;
        parser.Feed(c.input.data(), cut, 0);
        std::vector<Expected> frames = Drain(parser);
        parser.Feed(c.input.data() + cut, c.input.size() - cut, 1);
        for (Expected& frame : Drain(parser)) frames.push_back(std::move(frame));
        ASSERT_EQ(frames.size(), c.frames.size()) << "cut at " << cut;
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].word, c.frames[i].word) << "cut at " << cut;
            EXPECT_EQ(frames[i].payload, c.frames[i].payload) << "cut at " << cut;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, CommandParserTable, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

TEST(CommandParser, AFrameFedByteByByteComesOutOnceWhole) {
    CommandParser parser;
    for (size_t i = 0; i < kSetSwitch.size(); ++i) {
        EXPECT_FALSE(parser.Next().has_value()) << i;
        parser.Feed(&kSetSwitch[i], 1, i);
    }
    const auto frame = parser.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->word, wire::kSetReportSwitch);
    EXPECT_EQ(frame->payload, (Bytes{0x01, 0x00}));
    EXPECT_FALSE(parser.Next().has_value());
    EXPECT_FALSE(parser.Deadline().has_value());
}

// A stray header waits for its body only until the line has been silent for the limit; the
// real command after it is then understood.
TEST(CommandParser, AnIncompleteFrameIsGivenUpAfterTheSilenceLimit) {
    SteppedClock wall(5000);
    CommandParser parser;
    const Bytes stray = BareHeader(40);
    parser.Feed(stray.data(), stray.size(), wall.NowMs());
    EXPECT_FALSE(parser.Next().has_value());
    ASSERT_TRUE(parser.Deadline().has_value());
    EXPECT_EQ(*parser.Deadline(), wall.NowMs() + CommandParser::kPartialFrameTimeoutMs);

    wall.Step(CommandParser::kPartialFrameTimeoutMs - 1);
    parser.Expire(wall.NowMs());
    EXPECT_EQ(parser.FalseHeaders(), 0u);

    wall.Step(1);
    parser.Expire(wall.NowMs());
    EXPECT_EQ(parser.FalseHeaders(), 1u);
    EXPECT_FALSE(parser.Next().has_value());  // the rest of the stray bytes is noise

    parser.Feed(kVersion.data(), kVersion.size(), wall.NowMs());
    const auto frame = parser.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->word, wire::kReadVersion);
}

// Bytes that keep coming hold the wait open: the limit counts from the last byte.
TEST(CommandParser, EveryByteRestartsTheSilenceLimit) {
    SteppedClock wall;
    CommandParser parser;
    for (size_t i = 0; i + 1 < kSetSwitch.size(); ++i) {
        parser.Feed(&kSetSwitch[i], 1, wall.NowMs());
        wall.Step(CommandParser::kPartialFrameTimeoutMs - 1);
        parser.Expire(wall.NowMs());
        ASSERT_EQ(parser.FalseHeaders(), 0u) << i;
    }
    parser.Feed(&kSetSwitch.back(), 1, wall.NowMs());
    EXPECT_TRUE(parser.Next().has_value());
}

TEST(CommandParser, ClearForgetsAHalfFrame) {
    CommandParser parser;
    parser.Feed(kVersion.data(), kVersion.size() - 1, 0);
    parser.Clear();
    parser.Feed(&kVersion.back(), 1, 1);
    EXPECT_FALSE(parser.Next().has_value());
    EXPECT_FALSE(parser.Deadline().has_value());
}

}  // namespace
