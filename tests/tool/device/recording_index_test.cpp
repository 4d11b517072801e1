#include "device/recording_index.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_recordings.h"
#include "support/whole_file.h"
#include "tool/device/stream_test_support.h"

namespace {

using stream_test::Bytes;
using stream_test::Concat;
using stream_test::Frame;

Bytes ReportFrame(uint8_t state, uint16_t distance) {
    Bytes payload(kTargetReportPayloadBytes, 0);
    payload[0] = kTargetReportType;
    payload[1] = state;
    payload[2] = static_cast<uint8_t>(distance);
    payload[3] = static_cast<uint8_t>(distance >> 8);
    return Frame(payload);
}

void ExpectStates30Report(const TargetReport& report, uint64_t i) {
    EXPECT_EQ(report.state, test_recordings::States30State(i)) << "report " << i;
    EXPECT_EQ(report.distance, test_recordings::States30Distance(i)) << "report " << i;
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_NEAR(report.gateEnergy[gate], test_recordings::States30EnergyDb(i, gate), 1e-9)
            << "report " << i << " gate " << gate;
    }
}

TEST(RecordingIndexTest, SeekingToReportNGivesReportN) {
    RecordingIndex index;
    ASSERT_TRUE(index.Build(test_recordings::Path("states_30.dat")));
    ASSERT_EQ(index.Count(), test_recordings::kStates30Reports);
    for (const uint64_t n : {0u, 1u, 2u, 3u, 11u, 12u, 20u, 21u, 29u}) {
        const auto report = index.ReadReport(n);
        ASSERT_TRUE(report.has_value()) << n;
        ExpectStates30Report(*report, n);
    }
    EXPECT_FALSE(index.ReadReport(30).has_value());
}

TEST(RecordingIndexTest, OffsetsPassOverEverythingThatIsNotAReport) {
    // Garbage, a frame of another length, a 70-byte frame of another type and a bad tail.
    const Bytes report = ReportFrame(2, 100);
    Bytes wrongType = report;
    wrongType[kFramePayloadOffset] = 7;
    Bytes badTail = report;
    badTail.back() = 0;
    const Bytes bytes = Concat({Bytes{1, 2, 3}, report, Frame(Bytes{4, 0, 0, 0}), report, wrongType,
                                badTail, report, report, Bytes{0xF4, 0xF3}});
    RecordingIndex index;
    index.BuildFromBytes(bytes.data(), bytes.size());
    const std::vector<uint64_t> expected = {3, 3 + 80 + 14, 3 + 80 + 14 + 80 + 80 + 80,
                                            3 + 80 + 14 + 80 + 80 + 80 + 80};
    ASSERT_EQ(index.Count(), expected.size());
    for (size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(index.ReportOffset(n), expected[n]) << n;
        EXPECT_EQ(index.ReportEnd(n), expected[n] + kReportFrameBytes) << n;
    }
    EXPECT_EQ(index.IndexedBytes(), bytes.size());
}

TEST(RecordingIndexTest, LocatedFramesAreTheOnesTheCutterDecodes) {
    // Reports, noise, frames of other types and broken frames in a seeded jumble: locating and
    // cutting agree on every report, on where each call ends and on the bytes skipped.
    std::mt19937 random(3);
    Bytes bytes;
    for (int i = 0; i < 400; ++i) {
        switch (random() % 5) {
            case 0:
                bytes.push_back(static_cast<uint8_t>(random()));
                break;
            case 1: {
                Bytes broken = ReportFrame(1, static_cast<uint16_t>(i));
                broken[random() % broken.size()] ^= 0x5A;
                bytes.insert(bytes.end(), broken.begin(), broken.end());
                break;
            }
            case 2: {
                const Bytes other = Frame(Bytes(random() % 90, 0x33));
                bytes.insert(bytes.end(), other.begin(), other.end());
                break;
            }
            default: {
                const Bytes frame = ReportFrame(2, static_cast<uint16_t>(i));
                bytes.insert(bytes.end(), frame.begin(), frame.end());
            }
        }
    }
    for (const size_t capacity : {size_t{1}, size_t{7}, size_t{1000}}) {
        size_t at = 0;
        while (true) {
            std::vector<size_t> places(capacity);
            std::vector<TargetReport> reports(capacity);
            const ReportBatchCut located =
                LocateReportFrames(bytes.data() + at, bytes.size() - at, places.data(), capacity);
            const ReportBatchCut cut =
                CutReportBatch(bytes.data() + at, bytes.size() - at, reports.data(), capacity);
            ASSERT_EQ(located.reports, cut.reports);
            ASSERT_EQ(located.consumed, cut.consumed);
            ASSERT_EQ(located.skipped, cut.skipped);
            for (size_t i = 0; i < located.reports; ++i) {
                const auto decoded = DecodeTargetReport(
                    bytes.data() + at + places[i] + kFramePayloadOffset, kTargetReportPayloadBytes);
                ASSERT_TRUE(decoded.has_value());
                EXPECT_EQ(decoded->distance, reports[i].distance);
            }
            at += located.consumed;
            if (located.reports < capacity) break;
        }
    }
}

TEST(RecordingIndexTest, ReportsAcrossBlockBoundariesAreAllFound) {
    // More reports than one block holds, shifted by one byte of garbage so that frames straddle
    // the blocks, with noise every so often so both ways of placing them are taken.
    TempDir folder;
    Bytes bytes{0x55};
    const size_t count = kIndexBlockBytes / kReportFrameBytes * 3 + 7;
    std::vector<uint64_t> offsets;
    for (size_t i = 0; i < count; ++i) {
        if (i % 100 == 99) bytes.push_back(0x11);
        offsets.push_back(bytes.size());
        const Bytes frame = ReportFrame(static_cast<uint8_t>(i % 4), static_cast<uint16_t>(i));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    WriteWholeFile(folder.File("long.dat"), std::string(bytes.begin(), bytes.end()));
    RecordingIndex index;
    ASSERT_TRUE(index.Build(folder.File("long.dat")));
    ASSERT_EQ(index.Count(), count);
    for (size_t n = 0; n < count; ++n) ASSERT_EQ(index.ReportOffset(n), offsets[n]) << n;
    const auto last = index.ReadReport(count - 1);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->distance, static_cast<int32_t>((count - 1) & 0xFFFF));
}

TEST(RecordingIndexTest, AFileStillBeingWrittenIsIndexedUpToItsLastCompleteReport) {
    TempDir folder;
    const std::string path = folder.File("growing.dat");
    const Bytes frame = ReportFrame(3, 250);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(frame.data()), 80);
    out.write(reinterpret_cast<const char*>(frame.data()), 80);
    out.write(reinterpret_cast<const char*>(frame.data()), 41);  // half a frame so far
    out.flush();
    RecordingIndex index;
    ASSERT_TRUE(index.Build(path));
    EXPECT_EQ(index.Count(), 2u);
    EXPECT_EQ(index.ReportEnd(1), 160u);
    // The writer finishes the frame: a new pass finds it.
    out.write(reinterpret_cast<const char*>(frame.data()) + 41, 39);
    out.flush();
    ASSERT_TRUE(index.Build(path));
    EXPECT_EQ(index.Count(), 3u);
}

TEST(RecordingIndexTest, FilesThatCannotBeIndexedSayWhy) {
    TempDir folder;
    RecordingIndex index;
    EXPECT_FALSE(index.Build(folder.File("missing.dat")));
    EXPECT_EQ(index.Error(), ENOENT);
    EXPECT_EQ(index.Count(), 0u);
    EXPECT_FALSE(index.Build(folder.Path().string()));
    EXPECT_EQ(index.Error(), EISDIR);
    WriteWholeFile(folder.File("empty.dat"), "");
    EXPECT_TRUE(index.Build(folder.File("empty.dat")));
    EXPECT_EQ(index.Count(), 0u);
}

TEST(RecordingIndexTest, ReportTimesFollowTheInterval) {
    struct Case {
        uint64_t n;
        int intervalMs;
        uint64_t expected;
    };
    for (const Case& c : {Case{0, 500, 0}, Case{1, 500, 500}, Case{29, 500, 14500}, Case{10, 0, 0},
                          Case{10, -5, 0}, Case{3, 31, 93}}) {
        EXPECT_EQ(ReportTimeMs(c.n, c.intervalMs), c.expected) << c.n << " at " << c.intervalMs;
    }
}

}  // namespace
