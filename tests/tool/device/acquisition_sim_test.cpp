// ctest-labels: sim
// The acquisition engine against zorvan-sim, through the radar device library: what a live run
// records, what its replay shows, and how fast a stop ends a replay wait.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/base_buffer.h"
#include "core/mono_clock.h"
#include "dataprocess/radar_device_interface.h"
#include "device/acquisition_engine.h"
#include "device/radar_device_stream_link.h"
#include "serial/serial_port_table.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "tool/device/radar_device_handle.h"
#include "tool/device/stream_test_support.h"

namespace {

namespace fs = std::filesystem;
using stream_test::Bytes;
using stream_test::Decode;
using stream_test::ExpectSameReports;
using stream_test::ReportSink;

// Reports ten times as often as the sensor's 1 Hz, with stray bytes between the frames and the
// output paced at the line rate so that blocks cut frames anywhere.
const std::vector<std::string> kSimArgs = {"--time-scale", "10",     "--garbage", "7",
                                           "--pace",       "--baud", "9600"};
constexpr size_t kLiveReports = 25;
constexpr auto kHangDeadline = std::chrono::seconds(60);
// A fetch's limit while the sensor starts sending (it returns as soon as bytes come).
constexpr uint32_t kFirstBytesWaitMs = 20000;

// The real link, keeping a copy of every block the library delivered.
class ObservedLink : public RadarDeviceStreamLink {
public:
    using RadarDeviceStreamLink::RadarDeviceStreamLink;
    int FetchDataBuffer(StreamBlock& block, uint32_t timeoutMs) override {
        const int result = RadarDeviceStreamLink::FetchDataBuffer(block, timeoutMs);
        if (result != 0 && block.length > 0) {
            std::lock_guard lock(m_mutex);
            m_delivered.insert(m_delivered.end(), block.data, block.data + block.length);
            ++m_blocks;
        }
        return result;
    }
    Bytes Delivered() const {
        std::lock_guard lock(m_mutex);
        return m_delivered;
    }
    int Blocks() const {
        std::lock_guard lock(m_mutex);
        return m_blocks;
    }

private:
    mutable std::mutex m_mutex;
    Bytes m_delivered;
    int m_blocks = 0;
};

class AcquisitionSimTest : public testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<SimProcess>(kSimArgs);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        device = OpenStreamDevice(sim->PortPath());
        ASSERT_NE(device, nullptr);
        link = std::make_unique<ObservedLink>(device.get());
    }

    // A live run with recording until `reports` reports came; the recording's path.
    fs::path RecordLiveRun(size_t reports) {
        AcquisitionEngine engine(liveSink);
        engine.SetLink(link.get());
        AcquisitionRun run;
        run.saveData = true;
        run.saveFolder = (dir.Path() / "SaveData").string();
        EXPECT_EQ(engine.StartAcquisition(run), AcquisitionStartResult::Started);
        EXPECT_TRUE(WaitUntil([&] { return liveSink.Reports().size() >= reports; }, kHangDeadline));
        engine.StopAcquisition();
        EXPECT_EQ(liveSink.Failures(), 0u);
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(run.saveFolder)) {
            files.push_back(entry.path());
        }
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? fs::path() : files[0];
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    RadarDeviceHandle device;
    std::unique_ptr<ObservedLink> link;
    ReportSink liveSink;
};

TEST_F(AcquisitionSimTest, LiveRunRecordsTheDeliveredBytesAndItsReplayShowsTheSameReports) {
    const fs::path recording = RecordLiveRun(kLiveReports);
    ASSERT_FALSE(recording.empty());
    const Bytes delivered = link->Delivered();
    EXPECT_EQ(ReadWholeFileBytes(recording), delivered);
    const auto live = liveSink.Reports();
    ASSERT_GE(live.size(), kLiveReports);
    ExpectSameReports(live, Decode(delivered));
    std::printf("live run: %zu reports in %d blocks, %zu bytes recorded\n", live.size(),
                link->Blocks(), delivered.size());

    ReportSink replaySink;
    AcquisitionEngine replay(replaySink);
    AcquisitionRun run;
    run.mode = AcquisitionMode::Replay;
    run.replayFile = recording.string();
    run.replayIntervalMs = 0;
    ASSERT_EQ(replay.StartAcquisition(run), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return !replaySink.Ended().empty(); }, kHangDeadline));
    replay.StopAcquisition();
    EXPECT_EQ(replaySink.Ended(), std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayFinished});
    ExpectSameReports(replaySink.Reports(), live);
}

TEST_F(AcquisitionSimTest, StopDuringAReplayWaitReturnsAtOnce) {
    const fs::path recording = RecordLiveRun(3);
    ASSERT_FALSE(recording.empty());

    ReportSink replaySink;
    AcquisitionEngine replay(replaySink);
    AcquisitionRun run;
    run.mode = AcquisitionMode::Replay;
    run.replayFile = recording.string();
    run.replayIntervalMs = 60000;
    ASSERT_EQ(replay.StartAcquisition(run), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return !replaySink.Reports().empty(); }, kHangDeadline));
    const uint64_t start = MonoTimeMs();
    replay.StopAcquisition();
    const uint64_t latency = MonoTimeMs() - start;
    std::printf("stop during a 60 s replay wait took %llu ms\n",
                static_cast<unsigned long long>(latency));
    EXPECT_LT(latency, 15000u);
    EXPECT_EQ(replaySink.Reports().size(), 1u);
    EXPECT_TRUE(replaySink.Ended().empty());
}

TEST_F(AcquisitionSimTest, StopDuringALiveFetchReturnsAtOnce) {
    ReportSink sink;
    AcquisitionEngine engine(sink);
    engine.SetLink(link.get());
    ASSERT_EQ(engine.StartAcquisition(AcquisitionRun{}), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return !sink.Reports().empty(); }, kHangDeadline));
    const uint64_t start = MonoTimeMs();
    engine.StopAcquisition();
    const uint64_t latency = MonoTimeMs() - start;
    // The stop still switches the report output off in a command-mode exchange.
    std::printf("stop of a live run took %llu ms\n", static_cast<unsigned long long>(latency));
    EXPECT_LT(latency, 15000u);
    EXPECT_FALSE(engine.IsRunning());
}

TEST_F(AcquisitionSimTest, StopWhileSwitchingTheOutputOnLeavesTheNextFetchItsWait) {
    // The worker's first command exchange switches the report output on.
    stream_test::CancelDuringCommandsLink<RadarDeviceStreamLink> held(device.get());
    ReportSink sink;
    AcquisitionEngine engine(sink);
    engine.SetLink(&held);
    ASSERT_EQ(engine.StartAcquisition(AcquisitionRun{}), AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return held.Entered(); }, kHangDeadline));
    engine.StopAcquisition();
    ASSERT_TRUE(held.CancelSeenDuringCommands());
    EXPECT_TRUE(sink.Reports().empty());

    // The next user of the device switches the reports on and fetches: the sensor sends a report
    // every 100 ms, so the fetch must bring bytes, not end at once on a stale cancel.
    const uint16_t id = kReportSwitchParamId;
    const uint32_t on = 1;
    const uint32_t off = 0;
    ASSERT_TRUE(
        link->StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs));
    ASSERT_TRUE(link->SetParameter(kCmdReportSwitch, 1, &id, &on, kStreamCommandTimeoutMs));
    link->StopCmdMode(kStopCmdModeTimeoutMs);
    ASSERT_TRUE(link->Start());
    StreamBlock block;
    const int fetched = link->FetchDataBuffer(block, kFirstBytesWaitMs);
    EXPECT_EQ(fetched, 1);
    EXPECT_GT(block.length, 0);
    if (fetched) link->CommitDataBuffer(block);
    link->Stop();
    link->StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    link->SetParameter(kCmdReportSwitch, 1, &id, &off, kStreamCommandTimeoutMs);
    link->StopCmdMode(kStopCmdModeTimeoutMs);
}

}  // namespace
