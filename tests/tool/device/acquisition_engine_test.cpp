#include "device/acquisition_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "core/base_buffer.h"
#include "core/mono_clock.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "tool/device/stream_test_support.h"

namespace {

namespace fs = std::filesystem;
using stream_test::Bytes;
using stream_test::Concat;
using stream_test::Decode;
using stream_test::ExpectSameReports;
using stream_test::ReportFrame;
using stream_test::ScriptedStreamLink;

// Generous limit for waits that only catch a hang.
constexpr auto kHangDeadline = std::chrono::seconds(20);

class RecordingSink : public IAcquisitionSink {
public:
    void OnDeviceNotConnected() override {
        std::lock_guard lock(m_mutex);
        ++notConnected;
    }
    void OnDisplayReset() override {
        std::lock_guard lock(m_mutex);
        ++displayResets;
    }
    void OnRunStateChanged(AcquisitionRunState state) override {
        std::lock_guard lock(m_mutex);
        states.push_back(state);
    }
    void OnReport(const TargetReport& report) override {
        std::lock_guard lock(m_mutex);
        reports.push_back(report);
    }
    void OnRunEnded(AcquisitionEnd reason) override {
        std::lock_guard lock(m_mutex);
        ended.push_back(reason);
    }
    void OnRecordingFailed(const RecordingFailure& failure) override {
        std::lock_guard lock(m_mutex);
        recordingFailures.push_back(failure);
    }

    size_t ReportCount() const {
        std::lock_guard lock(m_mutex);
        return reports.size();
    }
    size_t EndCount() const {
        std::lock_guard lock(m_mutex);
        return ended.size();
    }
    size_t FailureCount() const {
        std::lock_guard lock(m_mutex);
        return recordingFailures.size();
    }

    int notConnected = 0;
    int displayResets = 0;
    std::vector<AcquisitionRunState> states;
    std::vector<TargetReport> reports;
    std::vector<AcquisitionEnd> ended;
    std::vector<RecordingFailure> recordingFailures;

private:
    mutable std::mutex m_mutex;
};

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A stream of `count` reports with garbage between some of them.
Bytes SomeStream(int count, uint16_t firstSeed = 0) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        const Bytes frame =
            ReportFrame(static_cast<uint8_t>(i % 4), static_cast<uint16_t>(50 + i * 7),
                        static_cast<uint16_t>(firstSeed + i));
        if (i % 3 == 1) bytes.insert(bytes.end(), {0x00, 0xF4, 0x13, 0x77});
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

AcquisitionRun LiveRun(bool saveData = false, const std::string& folder = {}) {
    AcquisitionRun run;
    run.mode = AcquisitionMode::Live;
    run.saveData = saveData;
    run.saveFolder = folder;
    return run;
}

AcquisitionRun ReplayRun(const std::string& file, int intervalMs) {
    AcquisitionRun run;
    run.mode = AcquisitionMode::Replay;
    run.replayFile = file;
    run.replayIntervalMs = intervalMs;
    return run;
}

class AcquisitionEngineTest : public ::testing::Test {
protected:
    // Waits until the worker has taken every pushed block and waits for more.
    bool WaitDrained() {
        return WaitUntil([&] { return link.QueueEmpty() && link.Waiting() > 0; }, kHangDeadline);
    }

    TempDir dir;
    ScriptedStreamLink link;
    RecordingSink sink;
    AcquisitionEngine engine{sink};
};

TEST_F(AcquisitionEngineTest, LiveRunRecordsExactlyTheDeliveredBytesAndReplaysThemAlike) {
    engine.SetLink(&link);
    const Bytes stream = SomeStream(25);
    const std::string folder = dir.File("records/nested");
    ASSERT_EQ(engine.StartAcquisition(LiveRun(true, folder)), AcquisitionStartResult::Started);
    // Blocks cut anywhere, frames straddling them.
    link.PushInBlocks(stream, 33);
    ASSERT_TRUE(WaitDrained());
    engine.StopAcquisition();

    const auto expected = Decode(stream);
    ASSERT_EQ(expected.size(), 25u);
    ExpectSameReports(sink.reports, expected);
    const auto files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().rfind("RadarData_", 0), 0u);
    EXPECT_EQ(ReadWholeFileBytes(files[0]), link.Delivered());
    EXPECT_EQ(link.Delivered(), stream);
    EXPECT_TRUE(sink.recordingFailures.empty());

    RecordingSink replaySink;
    AcquisitionEngine replay(replaySink);
    ASSERT_EQ(replay.StartAcquisition(ReplayRun(files[0].string(), 0)),
              AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return replaySink.EndCount() > 0; }, kHangDeadline));
    replay.StopAcquisition();
    ExpectSameReports(replaySink.reports, expected);
    EXPECT_EQ(replaySink.ended, std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayFinished});
}

// Bytes received but not yet fetched when the run ends (a stop, a vanished sensor) are recorded.
TEST_F(AcquisitionEngineTest, BytesWaitingAtTheStopStillReachTheRecording) {
    engine.SetLink(&link);
    const std::string folder = dir.File("records");
    ASSERT_EQ(engine.StartAcquisition(LiveRun(true, folder)), AcquisitionStartResult::Started);
    const Bytes fetched = SomeStream(5);
    link.PushInBlocks(fetched, 40);
    ASSERT_TRUE(WaitDrained());
    const Bytes late = SomeStream(3, 100);
    link.PushBlockQuietly(Bytes(late.begin(), late.begin() + 100));
    link.PushBlockQuietly(Bytes(late.begin() + 100, late.end()));
    engine.StopAcquisition();

    const auto files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(ReadWholeFileBytes(files[0]), Concat({fetched, late}));
    EXPECT_EQ(link.LentBlocks(), 0u);
    EXPECT_FALSE(link.CancelPending());
}

TEST_F(AcquisitionEngineTest, LiveRunSwitchesReportsOnAroundTheStreamAndOffAfterwards) {
    engine.SetLink(&link);
    ASSERT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitDrained());
    engine.StopAcquisition();

    const std::vector<std::string> expected = {
        "StartCmdMode", "SetParameter", "StopCmdMode",  "Start",       "CancelRead",
        "Stop",         "StartCmdMode", "SetParameter", "StopCmdMode",
    };
    EXPECT_EQ(link.CallNames(), expected);
    const auto calls = link.Calls();
    for (size_t i : {size_t{1}, size_t{7}}) {
        EXPECT_EQ(calls[i].command, kCmdReportSwitch);
        EXPECT_EQ(calls[i].ids, std::vector<uint16_t>{kReportSwitchParamId});
    }
    EXPECT_EQ(calls[1].values, std::vector<uint32_t>{1});
    EXPECT_EQ(calls[7].values, std::vector<uint32_t>{0});
    EXPECT_EQ(calls[0].command, kCmdModeProtocolVersion);
    EXPECT_EQ(link.LentBlocks(), 0u);
}

TEST_F(AcquisitionEngineTest, StopEndsAWaitingFetchAtOnce) {
    engine.SetLink(&link);
    ASSERT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return link.Waiting() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    // The fetch returned because of the cancel, not its 2000 ms limit.
    EXPECT_EQ(link.CancelledFetches(), 1);
    EXPECT_FALSE(link.CancelPending());
    EXPECT_FALSE(engine.IsRunning());
}

TEST_F(AcquisitionEngineTest, LiveStartWithoutDeviceTellsTheSinkAndStartsNothing) {
    link.connected = false;
    for (IRadarStreamLink* device :
         {static_cast<IRadarStreamLink*>(nullptr), static_cast<IRadarStreamLink*>(&link)}) {
        engine.SetLink(device);
        EXPECT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::NotConnected);
    }
    EXPECT_EQ(sink.notConnected, 2);
    EXPECT_EQ(sink.displayResets, 0);
    EXPECT_TRUE(sink.states.empty());
    EXPECT_FALSE(engine.IsRunning());
    EXPECT_TRUE(link.Calls().empty());
}

TEST_F(AcquisitionEngineTest, RunStatesFollowStartAndStop) {
    engine.SetLink(&link);
    const std::string file = dir.File("one.dat");
    WriteWholeFile(file, SomeStream(1));
    ASSERT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    EXPECT_TRUE(engine.IsRunning());
    EXPECT_FALSE(engine.IsReplay());
    EXPECT_EQ(engine.StartAcquisition(ReplayRun(file, 0)), AcquisitionStartResult::AlreadyRunning);
    engine.StopAcquisition();
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, 0)), AcquisitionStartResult::Started);
    EXPECT_TRUE(engine.IsReplay());
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    // Ended by itself, the run stays on until the page stops it.
    EXPECT_TRUE(engine.IsRunning());
    engine.StopAcquisition();
    EXPECT_FALSE(engine.IsRunning());
    const std::vector<AcquisitionRunState> expected = {
        AcquisitionRunState::Live, AcquisitionRunState::Idle, AcquisitionRunState::Replay,
        AcquisitionRunState::Idle};
    EXPECT_EQ(sink.states, expected);
    EXPECT_EQ(sink.displayResets, 2);
}

TEST_F(AcquisitionEngineTest, TwoRecordedRunsKeepTwoFiles) {
    engine.SetLink(&link);
    const Bytes first = SomeStream(3, 0);
    const Bytes second = SomeStream(4, 100);
    for (const Bytes* stream : {&first, &second}) {
        ASSERT_EQ(engine.StartAcquisition(LiveRun(true, dir.Path().string())),
                  AcquisitionStartResult::Started);
        link.PushBlock(*stream);
        ASSERT_TRUE(WaitDrained());
        engine.StopAcquisition();
    }
    const auto files = FilesIn(dir.Path());
    ASSERT_EQ(files.size(), 2u);
    std::vector<Bytes> contents = {ReadWholeFileBytes(files[0]), ReadWholeFileBytes(files[1])};
    std::sort(contents.begin(), contents.end());
    std::vector<Bytes> expected = {first, second};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(contents, expected);
}

TEST_F(AcquisitionEngineTest, RecordingThatCannotBeCreatedIsReportedAndTheRunGoesOn) {
    engine.SetLink(&link);
    const std::string notAFolder = dir.File("file");
    WriteWholeFile(notAFolder, Bytes{1});
    LogCapture log;
    ASSERT_EQ(engine.StartAcquisition(LiveRun(true, notAFolder)), AcquisitionStartResult::Started);
    link.PushBlock(SomeStream(2));
    ASSERT_TRUE(WaitDrained());
    engine.StopAcquisition();
    ASSERT_EQ(sink.recordingFailures.size(), 1u);
    EXPECT_EQ(sink.recordingFailures[0].stage, RecordingStage::Create);
    EXPECT_EQ(sink.recordingFailures[0].error, ENOTDIR);
    EXPECT_EQ(sink.reports.size(), 2u);
    EXPECT_TRUE(log.Has(kDbgLevelError, "Recording not created"));
}

TEST_F(AcquisitionEngineTest, FailedRecordingWriteIsReportedOnceAndTheRunGoesOn) {
    engine.SetLink(&link);
    const Bytes stream = SomeStream(12);
    LogCapture log;
    ASSERT_EQ(engine.StartAcquisition(LiveRun(true, dir.Path().string())),
              AcquisitionStartResult::Started);
    {
        FileSizeLimit limit(200);
        ASSERT_TRUE(limit.Active());
        link.PushInBlocks(stream, 150);
        ASSERT_TRUE(WaitDrained());
    }
    engine.StopAcquisition();
    ASSERT_EQ(sink.recordingFailures.size(), 1u);
    EXPECT_EQ(sink.recordingFailures[0].stage, RecordingStage::Write);
    EXPECT_EQ(sink.recordingFailures[0].error, EFBIG);
    EXPECT_EQ(sink.reports.size(), 12u);
    EXPECT_TRUE(log.Has(kDbgLevelError, "Recording write to"));
    const auto files = FilesIn(dir.Path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::file_size(files[0]), 200u);
}

TEST_F(AcquisitionEngineTest, ReplayFileThatCannotBeOpenedEndsTheRun) {
    link.connected = false;
    engine.SetLink(&link);
    LogCapture log;
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(dir.File("missing.dat"), 500)),
              AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    EXPECT_EQ(sink.ended, std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayUnavailable});
    EXPECT_TRUE(sink.reports.empty());
    EXPECT_TRUE(log.Has(kDbgLevelError, "missing.dat cannot be opened"));
}

TEST_F(AcquisitionEngineTest, ReplayOfAFolderEndsTheRun) {
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(dir.Path().string(), 0)),
              AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    EXPECT_EQ(sink.ended, std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayUnavailable});
}

TEST_F(AcquisitionEngineTest, ReplayLeavesTheDeviceAlone) {
    engine.SetLink(&link);
    const std::string file = dir.File("r.dat");
    WriteWholeFile(file, SomeStream(3));
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, 0)), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_EQ(sink.reports.size(), 3u);
}

TEST_F(AcquisitionEngineTest, ReplayWithGarbageAndBrokenFramesYieldsEveryIntactFrame) {
    const Bytes broken = stream_test::Frame(Bytes(70, 1), false);
    const Bytes bytes = Concat({{0x11, 0x22},
                                ReportFrame(2, 120, 1),
                                broken,
                                {0xF4, 0xF3},
                                ReportFrame(3, 130, 2),
                                Bytes(5000, 0x00),
                                ReportFrame(0, 0, 3),
                                {0xF4, 0xF3, 0xF2}});
    const std::string file = dir.File("g.dat");
    WriteWholeFile(file, bytes);
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, 0)), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    ASSERT_EQ(sink.reports.size(), 3u);
    EXPECT_EQ(sink.reports[0].distance, 120);
    EXPECT_EQ(sink.reports[1].distance, 130);
    EXPECT_EQ(sink.reports[2].state, 0);
}

TEST_F(AcquisitionEngineTest, EmptyReplayFileEndsWithoutReports) {
    const std::string file = dir.File("empty.dat");
    WriteWholeFile(file, "");
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, 500)), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    EXPECT_EQ(sink.ended, std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayFinished});
    EXPECT_TRUE(sink.reports.empty());
}

TEST_F(AcquisitionEngineTest, ReplayEndingMidFrameDeliversEveryWholeReportAndCountsTheRest) {
    struct Case {
        int reports;  // unpaced: over several blocks and many batches
        int intervalMs;
        size_t tailBytes;  // of one more frame, cut off by the end of the file
    };
    const Bytes next = ReportFrame(1, 999, 5);
    for (const Case& c : {Case{3000, 0, 3}, Case{3000, 0, 50}, Case{12, 1, 3}, Case{12, 1, 50}}) {
        SCOPED_TRACE(std::to_string(c.intervalMs) + " ms, tail " + std::to_string(c.tailBytes));
        const Bytes whole = SomeStream(c.reports);
        const Bytes stream = Concat({whole, Bytes(next.begin(), next.begin() + c.tailBytes)});
        const std::string file = dir.File("cut.dat");
        WriteWholeFile(file, stream);
        RecordingSink ending;
        AcquisitionEngine replaying(ending);
        ASSERT_EQ(replaying.StartAcquisition(ReplayRun(file, c.intervalMs)),
                  AcquisitionStartResult::Started);
        ASSERT_TRUE(WaitUntil([&] { return ending.EndCount() > 0; }, kHangDeadline));
        replaying.StopAcquisition();
        ExpectSameReports(ending.reports, Decode(whole));
        EXPECT_EQ(ending.ended, std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayFinished});
        const AcquisitionTally tally = replaying.GetTally();
        EXPECT_EQ(tally.reports, static_cast<uint64_t>(c.reports));
        // SomeStream puts 4 bytes of garbage before every third report.
        const uint64_t garbage = 4u * static_cast<uint64_t>((c.reports + 1) / 3);
        EXPECT_EQ(tally.bytesSkipped, garbage + c.tailBytes);
    }
}

TEST_F(AcquisitionEngineTest, ReplayReadFailureEndsTheRunWithItsReason) {
    // A file that opens but cannot be read: the process's memory from address 0.
    LogCapture log;
    ASSERT_EQ(engine.StartAcquisition(ReplayRun("/proc/self/mem", 0)),
              AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    EXPECT_EQ(sink.ended, std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayReadFailed});
    EXPECT_TRUE(sink.reports.empty());
    EXPECT_TRUE(log.Has(kDbgLevelError, "/proc/self/mem: read failed"));
}

// Holds the worker in its first report until the test lets it go.
class GatedSink : public RecordingSink {
public:
    void OnReport(const TargetReport& report) override {
        RecordingSink::OnReport(report);
        std::unique_lock lock(m_gate);
        m_opened.wait_for(lock, kHangDeadline, [&] { return m_open; });
    }
    void Open() {
        {
            std::lock_guard lock(m_gate);
            m_open = true;
        }
        m_opened.notify_all();
    }

private:
    std::mutex m_gate;
    std::condition_variable m_opened;
    bool m_open = false;
};

TEST_F(AcquisitionEngineTest, StopDuringAnUnpacedReplayEndsItEarly) {
    // Far more than the worker can replay between the gate opening and the stop.
    const Bytes some = SomeStream(1000);
    Bytes stream;
    for (int i = 0; i < 200; ++i) stream.insert(stream.end(), some.begin(), some.end());
    const std::string file = dir.File("long.dat");
    WriteWholeFile(file, stream);
    GatedSink gated;
    AcquisitionEngine replaying(gated);
    ASSERT_EQ(replaying.StartAcquisition(ReplayRun(file, 0)), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return gated.ReportCount() > 0; }, kHangDeadline));
    gated.Open();
    replaying.StopAcquisition();
    EXPECT_TRUE(gated.ended.empty());
    // Every report heard was published, in order; the batch under way was finished.
    const std::vector<TargetReport> all = Decode(stream);
    ASSERT_LT(gated.reports.size(), all.size());
    EXPECT_EQ(replaying.GetTally().reports, gated.reports.size());
    ExpectSameReports(gated.reports,
                      std::vector<TargetReport>(all.begin(), all.begin() + gated.reports.size()));
}

TEST_F(AcquisitionEngineTest, ReplayWaitsTheIntervalAfterEveryReport) {
    const std::string file = dir.File("paced.dat");
    WriteWholeFile(file, SomeStream(5));
    const uint64_t start = MonoTimeMs();
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, 40)), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    const uint64_t elapsed = MonoTimeMs() - start;
    engine.StopAcquisition();
    EXPECT_EQ(sink.reports.size(), 5u);
    EXPECT_GE(elapsed, 5u * 40u);
}

TEST_F(AcquisitionEngineTest, NegativeReplayIntervalCountsAsZero) {
    EXPECT_EQ(EffectiveReplayInterval(-500), 0);
    EXPECT_EQ(EffectiveReplayInterval(0), 0);
    EXPECT_EQ(EffectiveReplayInterval(250), 250);
    const std::string file = dir.File("fast.dat");
    WriteWholeFile(file, SomeStream(10));
    LogCapture log;
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, -500)), AcquisitionStartResult::Started);
    // Waiting (unsigned) -500 ms after a report would never end.
    ASSERT_TRUE(WaitUntil([&] { return sink.EndCount() > 0; }, kHangDeadline));
    engine.StopAcquisition();
    EXPECT_EQ(sink.reports.size(), 10u);
    EXPECT_TRUE(log.Has(kDbgLevelWarning, "ReplayInterval -500"));
}

TEST_F(AcquisitionEngineTest, StopDuringAReplayWaitReturnsAtOnce) {
    const std::string file = dir.File("slow.dat");
    WriteWholeFile(file, SomeStream(3));
    constexpr int kLongIntervalMs = 60000;
    ASSERT_EQ(engine.StartAcquisition(ReplayRun(file, kLongIntervalMs)),
              AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return sink.ReportCount() > 0; }, kHangDeadline));
    const uint64_t start = MonoTimeMs();
    engine.StopAcquisition();
    const uint64_t latency = MonoTimeMs() - start;
    std::printf("stop during a replay wait took %llu ms\n",
                static_cast<unsigned long long>(latency));
    EXPECT_LT(latency, static_cast<uint64_t>(kLongIntervalMs / 4));
    EXPECT_EQ(sink.reports.size(), 1u);
    EXPECT_TRUE(sink.ended.empty());
}

TEST_F(AcquisitionEngineTest, LatestReportAndStateHistoryFollowTheReports) {
    engine.SetLink(&link);
    ASSERT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    EXPECT_TRUE(engine.TakeBandChanged());  // the reset needs a repaint too
    EXPECT_FALSE(engine.TakeBandChanged());
    StateHistory history = engine.GetStateHistory();
    EXPECT_TRUE(
        std::all_of(history.begin(), history.end(), [](uint8_t s) { return s == kNoStateYet; }));

    link.PushBlock(Concat({ReportFrame(2, 150, 1), ReportFrame(3, 160, 2), ReportFrame(1, 0, 3),
                           ReportFrame(3, 123, 4)}));
    ASSERT_TRUE(WaitDrained());
    history = engine.GetStateHistory();
    const StateHistory expectedTail = [] {
        StateHistory h;
        h.fill(kNoStateYet);
        h[kStateHistoryLength - 4] = 2;
        h[kStateHistoryLength - 3] = 3;
        h[kStateHistoryLength - 2] = 1;
        h[kStateHistoryLength - 1] = 3;
        return h;
    }();
    EXPECT_EQ(history, expectedTail);
    EXPECT_TRUE(engine.TakeBandChanged());
    const TargetReport latest = engine.GetLatestReport();
    EXPECT_EQ(latest.state, 3);
    EXPECT_EQ(latest.distance, 123);
    EXPECT_TRUE(stream_test::SameReport(latest, sink.reports.back()));

    engine.StopAcquisition();
    const TargetReport stopped = engine.GetLatestReport();
    EXPECT_EQ(stopped.state, 0);
    EXPECT_EQ(stopped.distance, 0);
    EXPECT_EQ(stopped.gateEnergy[5], latest.gateEnergy[5]);

    // A new run starts from an empty history and a zero report.
    ASSERT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    history = engine.GetStateHistory();
    EXPECT_EQ(history.back(), kNoStateYet);
    EXPECT_EQ(engine.GetLatestReport().gateEnergy[5], 0.0);
    engine.StopAcquisition();
}

TEST_F(AcquisitionEngineTest, HistoryKeepsOnlyTheNewestStates) {
    engine.SetLink(&link);
    ASSERT_EQ(engine.StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    Bytes bytes;
    for (int i = 0; i < kStateHistoryLength + 10; ++i) {
        const Bytes frame = ReportFrame(static_cast<uint8_t>(i % 4), 0, 0);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    link.PushInBlocks(bytes, 4096);
    ASSERT_TRUE(WaitDrained());
    engine.StopAcquisition();
    const StateHistory history = engine.GetStateHistory();
    for (int slot = 0; slot < kStateHistoryLength; ++slot) {
        EXPECT_EQ(history[slot], (slot + 10) % 4) << "slot " << slot;
    }
}

// Checks, whenever it hears a report, that the engine already shows it: counted, in the state
// history (unless newer reports of the same batch pushed it out) and no newer than the latest.
class VisibilityCheckingSink : public RecordingSink {
public:
    void OnReport(const TargetReport& report) override {
        RecordingSink::OnReport(report);
        const uint64_t heard = ReportCount();
        const uint64_t published = m_engine->GetTally().reports;
        const StateHistory history = m_engine->GetStateHistory();
        const TargetReport latest = m_engine->GetLatestReport();
        std::lock_guard lock(m_checks);
        if (published < heard) ++m_unpublished;
        const uint64_t newer = published - std::min(published, heard);
        if (newer < kStateHistoryLength &&
            history[kStateHistoryLength - 1 - newer] != static_cast<uint8_t>(report.state)) {
            ++m_notInHistory;
        }
        if (newer == 0 && !stream_test::SameReport(latest, report)) ++m_notLatest;
        m_maxNewer = std::max(m_maxNewer, newer);
    }

    AcquisitionEngine* m_engine = nullptr;
    std::mutex m_checks;
    int m_unpublished = 0;
    int m_notInHistory = 0;
    int m_notLatest = 0;
    uint64_t m_maxNewer = 0;
};

TEST_F(AcquisitionEngineTest, EveryReportIsShownBeforeTheSinkHearsOfIt) {
    struct Case {
        int reports;
        int intervalMs;
        bool oneAtATime;  // paced: each report is published alone, just before the sink hears it
    };
    // Unpaced: several replay blocks and many batches, each batch published together.
    for (const Case& c : {Case{3000, 0, false}, Case{20, 1, true}}) {
        SCOPED_TRACE(c.intervalMs);
        const Bytes stream = SomeStream(c.reports);
        const std::string file = dir.File("shown.dat");
        WriteWholeFile(file, stream);
        VisibilityCheckingSink checking;
        AcquisitionEngine replaying(checking);
        checking.m_engine = &replaying;
        ASSERT_EQ(replaying.StartAcquisition(ReplayRun(file, c.intervalMs)),
                  AcquisitionStartResult::Started);
        ASSERT_TRUE(WaitUntil([&] { return checking.EndCount() > 0; }, kHangDeadline));
        replaying.StopAcquisition();
        ExpectSameReports(checking.reports, Decode(stream));
        EXPECT_EQ(replaying.GetTally().reports, static_cast<uint64_t>(c.reports));
        std::lock_guard lock(checking.m_checks);
        EXPECT_EQ(checking.m_unpublished, 0);
        EXPECT_EQ(checking.m_notInHistory, 0);
        EXPECT_EQ(checking.m_notLatest, 0);
        if (c.oneAtATime) {
            EXPECT_EQ(checking.m_maxNewer, 0u);
        }
    }
}

TEST_F(AcquisitionEngineTest, SaveFolderIsCreatedForARecordedRun) {
    engine.SetLink(&link);
    const std::string folder = dir.File("a/b/c");
    ASSERT_EQ(engine.StartAcquisition(LiveRun(true, folder)), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitDrained());
    engine.StopAcquisition();
    // A run in which the sensor sent nothing leaves an empty recording.
    const auto files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::file_size(files[0]), 0u);
}

TEST_F(AcquisitionEngineTest, DestroyingARunningEngineStopsItsWorker) {
    auto running = std::make_unique<AcquisitionEngine>(sink);
    running->SetLink(&link);
    ASSERT_EQ(running->StartAcquisition(LiveRun()), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return link.Waiting() > 0; }, kHangDeadline));
    running.reset();
    EXPECT_EQ(link.Waiting(), 0);
    EXPECT_EQ(link.CancelledFetches(), 1);
}

}  // namespace
