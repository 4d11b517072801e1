#include "pages/params/threshold_generation.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "core/base_buffer.h"
#include "support/wait_until.h"
#include "tool/device/stream_test_support.h"

namespace {

using stream_test::Bytes;
using stream_test::Concat;
using stream_test::ProgressFrame;
using stream_test::ReportFrame;
using stream_test::ScriptedStreamLink;

constexpr auto kHangDeadline = std::chrono::seconds(20);

struct ScanRecorder : IProgressFrameConsumer {
    void OnProgressFrame(int percent) override { progress.push_back(percent); }
    bool IsStopRequested() const override { return stop; }
    std::vector<int> progress;
    bool stop = false;
};

CBaseBuffer BufferOf(const Bytes& bytes) {
    CBaseBuffer buffer;
    buffer.SetBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return buffer;
}

Bytes Remaining(const CBaseBuffer& buffer) {
    return Bytes(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetAvailSize());
}

TEST(ThresholdGenerationPayload, CarriesTheLow16BitsOfEachValueLittleEndian) {
    struct Case {
        ThresholdGenerationRequest request;
        Bytes expected;
    } cases[] = {
        {{2, 1, 120}, {0x02, 0x00, 0x01, 0x00, 0x78, 0x00}},
        {{2, 1, 30}, {0x02, 0x00, 0x01, 0x00, 0x1E, 0x00}},
        {{10, 0, 240}, {0x0A, 0x00, 0x00, 0x00, 0xF0, 0x00}},
        {{0x12345, -1, 0x100}, {0x45, 0x23, 0xFF, 0xFF, 0x00, 0x01}},
    };
    for (const auto& c : cases) {
        const auto payload = BuildThresholdGenerationPayload(c.request);
        EXPECT_EQ(Bytes(payload.begin(), payload.end()), c.expected);
    }
    const ThresholdGenerationRequest defaults;
    EXPECT_EQ(defaults.triggerCoefficientDb, 2);
    EXPECT_EQ(defaults.holdCoefficientDb, 1);
    EXPECT_EQ(defaults.scanSeconds, 120);
}

TEST(ProgressScan, FindsTheProgressOfAFrameAndLogsIt) {
    const Bytes bytes{0xF4, 0xF3, 0xF2, 0xF1, 0x03, 0x00, 0x03, 0x32, 0x00, 0xF8, 0xF7, 0xF6, 0xF5};
    CBaseBuffer buffer = BufferOf(bytes);
    ScanRecorder recorder;
    LogCapture log;
    EXPECT_EQ(ScanProgressFrames(buffer, recorder), 50);
    EXPECT_EQ(recorder.progress, std::vector<int>{50});
    EXPECT_EQ(buffer.GetAvailSize(), 0u);
    EXPECT_TRUE(log.Has(kDbgLevelInfo, "process=50\r\n"));
}

TEST(ProgressScan, StepsOverWhatIsNotAProgressFrame) {
    Bytes badTail = ProgressFrame(20);
    const Bytes sixPercent = ProgressFrame(6);
    const Bytes partial(sixPercent.begin(), sixPercent.begin() + 11);
    badTail[12] = 0x00;
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<int> progress;
        Bytes remaining;
    } cases[] = {
        {"garbage before", Concat({{1, 2, 3, 0xF4}, ProgressFrame(7)}), {7}, {}},
        {"other type passed over", Concat({ProgressFrame(9, 5), ProgressFrame(10)}), {10}, {}},
        // A report is stepped over 4 bytes at a time and then byte by byte.
        {"report between",
         Concat({ProgressFrame(30), ReportFrame(2, 100), ProgressFrame(40)}),
         {30, 40},
         {}},
        // A bad tail moves 6 bytes on, into the payload; the next frame is found after it.
        {"bad tail", Concat({badTail, ProgressFrame(60)}), {60}, {}},
        {"several",
         Concat({ProgressFrame(1), ProgressFrame(2), ProgressFrame(100)}),
         {1, 2, 100},
         {}},
        // Fewer than 10 bytes are kept for the next fetch.
        {"short tail kept",
         Concat({ProgressFrame(5), {0xF4, 0xF3, 0xF2}}),
         {5},
         {0xF4, 0xF3, 0xF2}},
        // A header with length 3 but fewer than 13 bytes: the scan waits there.
        {"partial frame kept", Concat({ProgressFrame(5), partial}), {5}, partial},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CBaseBuffer buffer = BufferOf(c.bytes);
        ScanRecorder recorder;
        const int last = ScanProgressFrames(buffer, recorder);
        EXPECT_EQ(recorder.progress, c.progress);
        EXPECT_EQ(last, c.progress.empty() ? 0 : c.progress.back());
        EXPECT_EQ(Remaining(buffer), c.remaining);
    }
}

TEST(ProgressScan, FrameSplitAcrossFetchesIsFoundOnceComplete) {
    const Bytes frame = ProgressFrame(75);
    CBaseBuffer buffer = BufferOf(Bytes(frame.begin(), frame.begin() + 8));
    ScanRecorder recorder;
    EXPECT_EQ(ScanProgressFrames(buffer, recorder), 0);
    EXPECT_EQ(buffer.GetAvailSize(), 8u);
    buffer.AppendBuffer(frame.data() + 8, static_cast<uint32_t>(frame.size() - 8));
    EXPECT_EQ(ScanProgressFrames(buffer, recorder), 75);
    EXPECT_EQ(recorder.progress, std::vector<int>{75});
}

TEST(ProgressScan, StopRequestEndsTheScanWhereItIs) {
    const Bytes bytes = Concat({ProgressFrame(10), ProgressFrame(20)});
    CBaseBuffer buffer = BufferOf(bytes);
    ScanRecorder recorder;
    recorder.stop = true;
    EXPECT_EQ(ScanProgressFrames(buffer, recorder), 0);
    EXPECT_TRUE(recorder.progress.empty());
    EXPECT_EQ(Remaining(buffer), bytes);
}

class RecordingGenerationSink : public IThresholdGenerationSink {
public:
    void OnGenerationProgress(int percent) override {
        std::lock_guard lock(m_mutex);
        progress.push_back(percent);
    }
    void OnGenerationFinished(int success) override {
        std::lock_guard lock(m_mutex);
        finished.push_back(success);
    }
    size_t ProgressCount() const {
        std::lock_guard lock(m_mutex);
        return progress.size();
    }
    size_t FinishedCount() const {
        std::lock_guard lock(m_mutex);
        return finished.size();
    }
    std::vector<int> progress;
    std::vector<int> finished;

private:
    mutable std::mutex m_mutex;
};

class ThresholdGeneratorTest : public ::testing::Test {
protected:
    ScriptedStreamLink link;
    RecordingGenerationSink sink;
    ThresholdGenerator generator{link, sink};
};

TEST_F(ThresholdGeneratorTest, SendsTheCommandAndFollowsProgressTo100) {
    link.PushBlock(Concat({ReportFrame(0, 0), ProgressFrame(0)}));
    link.PushBlock(Concat({ProgressFrame(10), ProgressFrame(50)}));
    const Bytes last = ProgressFrame(100);
    // The last frame straddles two fetches.
    link.PushBlock(Bytes(last.begin(), last.begin() + 5));
    link.PushBlock(Bytes(last.begin() + 5, last.end()));
    ASSERT_EQ(generator.Start({2, 1, 120}), 1);
    ASSERT_TRUE(WaitUntil([&] { return sink.FinishedCount() > 0; }, kHangDeadline));
    generator.Stop();

    EXPECT_EQ(sink.progress, (std::vector<int>{0, 10, 50, 100}));
    EXPECT_EQ(sink.finished, std::vector<int>{1});
    const std::vector<std::string> expected = {"StartCmdMode", "SendCommand", "StopCmdMode",
                                               "Start", "Stop"};
    EXPECT_EQ(link.CallNames(), expected);
    const auto calls = link.Calls();
    EXPECT_EQ(calls[1].command, kCmdGenerateThresholds);
    EXPECT_EQ(calls[1].payload, (Bytes{0x02, 0x00, 0x01, 0x00, 0x78, 0x00}));
    EXPECT_EQ(link.LentBlocks(), 0u);
    EXPECT_EQ(generator.IsThreadExit(), 1);
}

TEST_F(ThresholdGeneratorTest, RefusedCommandFinishesWith0WithoutStreaming) {
    for (uint16_t answer : {uint16_t{0x0004}, kRadarAckMissing}) {
        SCOPED_TRACE(answer);
        ScriptedStreamLink refusing;
        refusing.commandAnswer = answer;
        RecordingGenerationSink refusedSink;
        ThresholdGenerator refused(refusing, refusedSink);
        LogCapture log;
        ASSERT_EQ(refused.Start({}), 1);
        ASSERT_TRUE(WaitUntil([&] { return refusedSink.FinishedCount() > 0; }, kHangDeadline));
        refused.Stop();
        EXPECT_EQ(refusedSink.finished, std::vector<int>{0});
        EXPECT_TRUE(refusedSink.progress.empty());
        const std::vector<std::string> expected = {"StartCmdMode", "SendCommand", "StopCmdMode"};
        EXPECT_EQ(refusing.CallNames(), expected);
        EXPECT_TRUE(log.Has(kDbgLevelError, "refused"));
    }
}

TEST_F(ThresholdGeneratorTest, StopCancelsTheFetchAndFinishesWith0) {
    link.PushBlock(ProgressFrame(30));
    ASSERT_EQ(generator.Start({}), 1);
    ASSERT_TRUE(
        WaitUntil([&] { return sink.ProgressCount() > 0 && link.Waiting() > 0; }, kHangDeadline));
    generator.Stop();
    // The waiting fetch ended through the cancel, not its 2000 ms limit.
    EXPECT_EQ(link.CancelledFetches(), 1);
    EXPECT_FALSE(link.CancelPending());
    EXPECT_EQ(sink.progress, std::vector<int>{30});
    EXPECT_EQ(sink.finished, std::vector<int>{0});
    EXPECT_EQ(link.CallNames().back(), "Stop");
}

TEST_F(ThresholdGeneratorTest, ProgressCountsOnlyWithinTheFetchThatEndsTheLoop) {
    // 100 followed by a lower value in the same fetch does not end the run.
    link.PushBlock(Concat({ProgressFrame(100), ProgressFrame(99)}));
    ASSERT_EQ(generator.Start({}), 1);
    ASSERT_TRUE(
        WaitUntil([&] { return sink.ProgressCount() == 2 && link.Waiting() > 0; }, kHangDeadline));
    EXPECT_EQ(sink.FinishedCount(), 0u);
    link.PushBlock(ProgressFrame(100));
    ASSERT_TRUE(WaitUntil([&] { return sink.FinishedCount() > 0; }, kHangDeadline));
    generator.Stop();
    EXPECT_EQ(sink.finished, std::vector<int>{1});
}

// Stopped at once, the worker may not even begin: the run still ends with "finished 0", once.
TEST_F(ThresholdGeneratorTest, StartWhileRunningIsRefusedAndARunCanFollowAnother) {
    ASSERT_EQ(generator.Start({}), 1);
    EXPECT_EQ(generator.Start({}), 0);
    EXPECT_EQ(generator.IsThreadExit(), 0);
    generator.Stop();
    EXPECT_EQ(generator.IsThreadExit(), 1);
    link.PushBlock(ProgressFrame(100));
    ASSERT_EQ(generator.Start({3, 2, 30}), 1);
    ASSERT_TRUE(WaitUntil([&] { return sink.FinishedCount() == 2; }, kHangDeadline));
    generator.Stop();
    EXPECT_EQ(sink.finished, (std::vector<int>{0, 1}));
    const auto calls = link.Calls();
    EXPECT_EQ(calls.back().name, "Stop");
    EXPECT_EQ(calls[calls.size() - 4].payload, (Bytes{0x03, 0x00, 0x02, 0x00, 0x1E, 0x00}));
}

TEST_F(ThresholdGeneratorTest, StopWithoutARunReturnsAtOnceAndLeavesNoCancelBehind) {
    generator.Stop();
    EXPECT_FALSE(link.CancelPending());
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_TRUE(sink.finished.empty());
}

TEST(ThresholdGeneratorStop, DuringTheCommandExchangeLeavesNoCancelBehind) {
    // Stopped while the worker is in its command exchange (or before it began), before a fetch.
    stream_test::CancelDuringCommandsLink<ScriptedStreamLink> link;
    RecordingGenerationSink sink;
    ThresholdGenerator generator(link, sink);
    ASSERT_EQ(generator.Start({}), 1);
    generator.Stop();
    EXPECT_EQ(sink.finished, std::vector<int>{0});
    // Left pending, the cancel would end the device's next fetch (the next run's first) at once.
    EXPECT_FALSE(link.CancelPending());
}

}  // namespace
