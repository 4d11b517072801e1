#include "device/report_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "core/base_buffer.h"
#include "core/dbg_output.h"
#include "support/log_capture.h"
#include "tool/device/stream_test_support.h"

namespace {

using stream_test::Bytes;
using stream_test::Concat;
using stream_test::Frame;

// A 70-byte target report payload; gate g's raw energy is (g + 1) * 1000 unless given.
Bytes ReportPayload(uint8_t state, uint16_t distance, uint8_t type = 1) {
    Bytes payload;
    payload.push_back(type);
    payload.push_back(state);
    AppendLe16(payload, distance);
    AppendLe16(payload, 0xEEEE);  // not read
    for (int gate = 0; gate < kGateCount; ++gate) {
        AppendLe16(payload, static_cast<uint16_t>((gate + 1) * 1000));
        AppendLe16(payload, 0xEEEE);
    }
    return payload;
}

Bytes ReportFrame(uint8_t state, uint16_t distance, uint8_t type = 1) {
    return Frame(ReportPayload(state, distance, type));
}

struct Recorder : ITargetReportConsumer {
    void OnTargetReport(const TargetReport& report) override { reports.push_back(report); }
    void OnReportFrameDone() override {
        ++framesDone;
        if (stopAfterFrames > 0 && framesDone >= stopAfterFrames) stop = true;
    }
    bool IsStopRequested() const override { return stop; }
    std::vector<TargetReport> reports;
    int framesDone = 0;
    int stopAfterFrames = 0;
    bool stop = false;
};

// Feeds the chunks one after another into one reassembly buffer, as successive fetches would.
Recorder Feed(const std::vector<Bytes>& chunks, uint32_t* leftOver = nullptr) {
    Recorder recorder;
    CBaseBuffer buffer;
    for (const auto& chunk : chunks) {
        buffer.AppendBuffer(chunk.data(), static_cast<uint32_t>(chunk.size()));
        CutFrames(buffer, recorder);
    }
    if (leftOver) *leftOver = buffer.GetAvailSize();
    return recorder;
}

std::vector<int> Distances(const Recorder& recorder) {
    std::vector<int> out;
    for (const auto& report : recorder.reports) out.push_back(report.distance);
    return out;
}

TEST(GateEnergyToDb, FollowsTheIntegerQuotientRule) {
    const std::pair<uint32_t, double> cases[] = {{0, 0.0},         {100, 0.0},      {101, 0.0},
                                                 {199, 0.0},       {200, 6.0206},   {1000, 20.0},
                                                 {12345, 41.7981}, {65535, 56.3248}};
    for (const auto& [raw, db] : cases) EXPECT_NEAR(GateEnergyToDb(raw), db, 1e-3) << raw;
}

TEST(DecodeTargetReport, DecodesStateDistanceAndGates) {
    const Bytes payload = ReportPayload(3, 250);
    const auto report = DecodeTargetReport(payload.data(), payload.size());
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->state, 3);
    EXPECT_EQ(report->distance, 250);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_NEAR(report->gateEnergy[gate], 20.0 * std::log10((gate + 1) * 10.0), 1e-9);
    }
    EXPECT_FALSE(DecodeTargetReport(ReportPayload(3, 250, 2).data(), 70).has_value());
    EXPECT_FALSE(DecodeTargetReport(payload.data(), 69).has_value());
    const Bytes odd = ReportPayload(9, 1);
    EXPECT_EQ(DecodeTargetReport(odd.data(), odd.size())->state, 9);  // passed on unchanged
}

// Every 16-bit raw energy decodes to 20 * log10(raw / 100) (integer quotient), through
// DecodeTargetReport and CutFrames to exactly the value of GateEnergyToDb.
TEST(DecodeTargetReport, EveryRawEnergyDecodesExactlyAsTheRule) {
    Bytes payload = ReportPayload(2, 100);
    for (uint32_t raw = 0; raw <= 0xFFFF; ++raw) {
        const double expected = raw <= 100 ? 0.0 : 20.0 * std::log10(double(raw / 100));
        ASSERT_NEAR(GateEnergyToDb(raw), expected, 1e-12) << raw;
        const int gate = static_cast<int>(raw % kGateCount);
        payload[6 + 4 * gate] = static_cast<uint8_t>(raw);
        payload[7 + 4 * gate] = static_cast<uint8_t>(raw >> 8);
        const auto report = DecodeTargetReport(payload.data(), payload.size());
        ASSERT_TRUE(report.has_value());
        ASSERT_EQ(report->gateEnergy[gate], GateEnergyToDb(raw)) << raw;
        if (raw % 4099 == 0) {
            const Recorder cut = Feed({Frame(payload)});
            ASSERT_EQ(cut.reports.size(), 1u);
            for (int g = 0; g < kGateCount; ++g) {
                ASSERT_EQ(cut.reports[0].gateEnergy[g], report->gateEnergy[g]) << raw;
            }
        }
    }
}

struct CutCase {
    const char* name;
    std::vector<Bytes> chunks;
    std::vector<int> distances;
    int framesDone;
    uint32_t leftOver;
};

TEST(CutFrames, ReassemblesReportsFromArbitraryCuts) {
    const Bytes a = ReportFrame(2, 100), b = ReportFrame(3, 200), c = ReportFrame(1, 300);
    const Bytes ab = Concat({a, b});
    const Bytes progress = Frame({3, 50, 0});
    const CutCase cases[] = {
        {"one frame", {a}, {100}, 1, 0},
        {"two frames in one fetch", {ab}, {100, 200}, 2, 0},
        {"split over two fetches",
         {Bytes(a.begin(), a.begin() + 37), Bytes(a.begin() + 37, a.end())},
         {100},
         1,
         0},
        {"split inside the header",
         {Bytes(a.begin(), a.begin() + 2), Bytes(a.begin() + 2, a.end())},
         {100},
         1,
         0},
        {"starts mid-frame", {Concat({Bytes(a.begin() + 30, a.end()), b})}, {200}, 1, 0},
        {"garbage between frames",
         {Concat({Bytes{1, 2, 0xF4, 0xF3, 9}, a, Bytes(13, 0x55), b})},
         {100, 200},
         2,
         0},
        {"progress frame consumed silently", {Concat({progress, a})}, {100}, 1, 0},
        {"type 2 report consumed, paced, not shown",
         {Concat({ReportFrame(2, 5, 2), c})},
         {300},
         2,
         0},
        {"fewer than ten bytes stay", {Bytes{0xF4, 0xF3, 0xF2, 0xF1, 70, 0}}, {}, 0, 6},
        {"partial frame waits", {Bytes(a.begin(), a.end() - 1)}, {}, 0, 79},
        {"byte-by-byte feed", {}, {100, 200}, 2, 0},
    };
    for (const auto& c0 : cases) {
        std::vector<Bytes> chunks = c0.chunks;
        if (chunks.empty()) {
            for (uint8_t byte : ab) chunks.push_back(Bytes{byte});
        }
        uint32_t leftOver = 0;
        const Recorder recorder = Feed(chunks, &leftOver);
        EXPECT_EQ(Distances(recorder), c0.distances) << c0.name;
        EXPECT_EQ(recorder.framesDone, c0.framesDone) << c0.name;
        EXPECT_EQ(leftOver, c0.leftOver) << c0.name;
    }
}

TEST(CutFrames, WrongTailCostsOneLineAndTheSkippedBytes) {
    LogCapture log;
    const Bytes bad = Frame(ReportPayload(2, 1), false);
    // A valid frame starting inside the skipped L + 6 bytes is lost; one after them survives.
    const Bytes inner = ReportFrame(2, 2);
    Bytes badWithInner = Bytes(bad.begin(), bad.begin() + 6);
    badWithInner.insert(badWithInner.end(), inner.begin(), inner.end());
    badWithInner.resize(6 + 70 + 4, 0);
    const Recorder lost = Feed({Concat({badWithInner, ReportFrame(3, 3)})});
    EXPECT_EQ(Distances(lost), std::vector<int>({3}));
    const Recorder after = Feed({Concat({bad, ReportFrame(3, 4)})});
    EXPECT_EQ(Distances(after), std::vector<int>({4}));
    EXPECT_EQ(log.Count("Tailer TAG Invalid!\r\n"), 2);
}

TEST(CutFrames, CorruptedLengthIsAFalseHeaderNotAStall) {
    Bytes falseHeader(kFrameHeaderBytes, kFrameHeaderBytes + 4);
    AppendLe16(falseHeader, 0xFFFF);
    uint32_t leftOver = 0;
    const Recorder recorder = Feed({Concat({falseHeader, ReportFrame(2, 7)})}, &leftOver);
    EXPECT_EQ(Distances(recorder), std::vector<int>({7}));
    EXPECT_EQ(leftOver, 0u);
    // The largest legal stream frame is still waited for.
    Bytes bigHeader(kFrameHeaderBytes, kFrameHeaderBytes + 4);
    AppendLe16(bigHeader, kMaxStreamPayloadBytes);
    Feed({bigHeader, Bytes(100, 0)}, &leftOver);
    EXPECT_EQ(leftOver, 106u);
}

TEST(CutFrames, StopFlagEndsTheStepAndKeepsTheRest) {
    Recorder recorder;
    recorder.stopAfterFrames = 1;
    const Bytes stream = Concat({ReportFrame(2, 1), ReportFrame(2, 2), ReportFrame(2, 3)});
    CBaseBuffer buffer;
    buffer.AppendBuffer(stream.data(), static_cast<uint32_t>(stream.size()));
    EXPECT_EQ(CutFrames(buffer, recorder), 1);
    EXPECT_EQ(buffer.GetAvailSize(), 160u);
    EXPECT_EQ(buffer.GetBuffer()[0], 0xF4);
}

// What CutFrames makes of the bytes in one step: reports, skipped bytes, bytes left.
struct WholeCut {
    std::vector<TargetReport> reports;
    size_t skipped = 0;
    uint32_t leftOver = 0;
};

WholeCut CutAtOnce(const Bytes& bytes) {
    struct Counter : Recorder {
        void OnBytesSkipped(size_t count) override { skipped += count; }
        size_t skipped = 0;
    } counter;
    CBaseBuffer buffer;
    buffer.SetBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CutFrames(buffer, counter);
    return {counter.reports, counter.skipped, buffer.GetAvailSize()};
}

TEST(CutReportBatch, BatchesAddUpToWhatCutFramesFinds) {
    const Bytes a = ReportFrame(2, 100), b = ReportFrame(3, 200), c = ReportFrame(1, 300);
    const Bytes broken = Frame(ReportPayload(2, 1), false);
    Bytes falseHeader(kFrameHeaderBytes, kFrameHeaderBytes + 4);
    AppendLe16(falseHeader, 0xFFFF);
    const struct {
        const char* name;
        Bytes stream;
    } streams[] = {
        {"reports only", Concat({a, b, c, a, b})},
        {"garbage, broken tail, false header, other type",
         Concat({Bytes{1, 2, 0xF4}, a, broken, b, falseHeader, ReportFrame(2, 9, 7), Bytes(30, 0),
                 c})},
        {"garbage at the end", Concat({a, b, Bytes{0x33, 0xF4, 0x44}, c, Bytes(9, 0x55)})},
        {"unfinished frame at the end", Concat({a, b, c, Bytes(a.begin(), a.end() - 3)})},
        {"nothing whole", Bytes(a.begin(), a.begin() + 9)},
    };
    for (const auto& s : streams) {
        const WholeCut whole = CutAtOnce(s.stream);
        for (size_t capacity : {1u, 2u, 3u, 64u}) {
            SCOPED_TRACE(std::string(s.name) + ", capacity " + std::to_string(capacity));
            std::vector<TargetReport> batch(capacity);
            std::vector<TargetReport> reports;
            size_t pos = 0;
            size_t skipped = 0;
            for (;;) {
                const ReportBatchCut cut = CutReportBatch(
                    s.stream.data() + pos, s.stream.size() - pos, batch.data(), capacity);
                ASSERT_LE(cut.reports, capacity);
                ASSERT_LE(cut.skipped, cut.consumed);
                reports.insert(reports.end(), batch.begin(), batch.begin() + cut.reports);
                pos += cut.consumed;
                skipped += cut.skipped;
                if (cut.reports < capacity) break;
                // A full batch ends right behind its last report frame.
                ASSERT_GE(pos, a.size());
                ASSERT_TRUE(std::equal(kFrameTailBytes, kFrameTailBytes + 4,
                                       s.stream.begin() + static_cast<long>(pos) - 4));
            }
            stream_test::ExpectSameReports(reports, whole.reports);
            EXPECT_EQ(skipped, whole.skipped);
            EXPECT_EQ(s.stream.size() - pos, whole.leftOver);
        }
    }
}

TEST(CutReportBatch, NoRoomOrNoBytesConsumesNothing) {
    const Bytes a = ReportFrame(2, 100);
    TargetReport report;
    for (const ReportBatchCut cut :
         {CutReportBatch(a.data(), a.size(), &report, 0),
          CutReportBatch(a.data(), a.size(), nullptr, 1), CutReportBatch(nullptr, 0, &report, 1),
          CutReportBatch(a.data(), 0, &report, 1)}) {
        EXPECT_EQ(cut.consumed, 0u);
        EXPECT_EQ(cut.reports, 0u);
        EXPECT_EQ(cut.skipped, 0u);
    }
}

}  // namespace
