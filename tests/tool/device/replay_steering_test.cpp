// ctest-labels: unit
// Steering a running replay: a new pause takes effect at once, a paused replay holds after its
// report and goes on when resumed, a stop ends a held replay at once.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/mono_clock.h"
#include "device/acquisition_engine.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/whole_file.h"
#include "tool/device/stream_test_support.h"

namespace {

using stream_test::Bytes;
using stream_test::Decode;
using stream_test::ExpectSameReports;
using stream_test::ReportFrame;

// Generous limit for waits that only catch a hang.
constexpr auto kHangDeadline = std::chrono::seconds(20);
// How long a held replay is watched for reports that must not come (many pauses of kShortMs).
constexpr auto kHoldWatch = std::chrono::milliseconds(150);
constexpr int kShortMs = 2;
constexpr int kLongIntervalMs = 60000;

class CountingSink : public IAcquisitionSink {
public:
    void OnDeviceNotConnected() override {}
    void OnDisplayReset() override {}
    void OnRunStateChanged(AcquisitionRunState) override {}
    void OnReport(const TargetReport& report) override {
        std::unique_lock lock(m_mutex);
        m_reports.push_back(report);
        m_opened.wait(lock, [&] { return m_open; });
    }
    // A closed sink holds the worker in its first report until opened.
    void Close() {
        std::lock_guard lock(m_mutex);
        m_open = false;
    }
    void Open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }
    void OnRunEnded(AcquisitionEnd) override {
        std::lock_guard lock(m_mutex);
        ++m_ended;
    }
    void OnRecordingFailed(const RecordingFailure&) override {}

    size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_reports.size();
    }
    bool Ended() const {
        std::lock_guard lock(m_mutex);
        return m_ended > 0;
    }
    std::vector<TargetReport> Reports() const {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = true;
    std::vector<TargetReport> m_reports;
    int m_ended = 0;
};

Bytes Stream(int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        const Bytes frame =
            ReportFrame(static_cast<uint8_t>(i % 4), static_cast<uint16_t>(40 + i % 500),
                        static_cast<uint16_t>(i));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

class ReplaySteeringTest : public ::testing::Test {
protected:
    AcquisitionRun Run(const Bytes& bytes, int intervalMs, bool paused = false) {
        m_bytes = bytes;
        const std::string file = m_dir.File("steer.dat");
        EXPECT_TRUE(WriteWholeFile(file, bytes));
        AcquisitionRun run;
        run.mode = AcquisitionMode::Replay;
        run.replayFile = file;
        run.replayIntervalMs = intervalMs;
        run.replayPaused = paused;
        return run;
    }

    TempDir m_dir;
    Bytes m_bytes;
    CountingSink m_sink;
    AcquisitionEngine m_engine{m_sink};
};

TEST_F(ReplaySteeringTest, ANewIntervalEndsALongWaitAndPacesTheRest) {
    ASSERT_EQ(m_engine.StartAcquisition(Run(Stream(20), kLongIntervalMs)),
              AcquisitionStartResult::Started);
    EXPECT_EQ(m_engine.ReplayIntervalMs(), kLongIntervalMs);
    ASSERT_TRUE(WaitUntil([&] { return m_sink.Count() == 1; }, kHangDeadline));
    m_engine.SetReplayInterval(kShortMs);
    EXPECT_EQ(m_engine.ReplayIntervalMs(), kShortMs);
    ASSERT_TRUE(WaitUntil([&] { return m_sink.Ended(); }, kHangDeadline));
    m_engine.StopAcquisition();
    ExpectSameReports(m_sink.Reports(), Decode(m_bytes));
}

TEST_F(ReplaySteeringTest, IntervalsAreTakenAsARunUsesThem) {
    const struct {
        int set;
        int used;
    } cases[] = {{31, 31}, {0, 0}, {-5, 0}, {500, 500}};
    ASSERT_EQ(m_engine.StartAcquisition(Run(Stream(2), kLongIntervalMs)),
              AcquisitionStartResult::Started);
    for (const auto& c : cases) {
        m_engine.SetReplayInterval(c.set);
        EXPECT_EQ(m_engine.ReplayIntervalMs(), c.used) << c.set;
    }
    m_engine.StopAcquisition();
    // The next run takes its own interval.
    ASSERT_EQ(m_engine.StartAcquisition(Run(Stream(2), 123)), AcquisitionStartResult::Started);
    EXPECT_EQ(m_engine.ReplayIntervalMs(), 123);
    m_engine.StopAcquisition();
}

// Paused from the start at every pacing, "as fast as possible" included: the first report is
// shown, nothing more until the resume, then the rest in order.
TEST_F(ReplaySteeringTest, APausedReplayHoldsAfterItsReportUntilResumed) {
    for (const int interval : {0, kShortMs}) {
        SCOPED_TRACE(interval);
        CountingSink sink;
        AcquisitionEngine engine(sink);
        ASSERT_EQ(engine.StartAcquisition(Run(Stream(300), interval, true)),
                  AcquisitionStartResult::Started);
        EXPECT_TRUE(engine.IsReplayPaused());
        ASSERT_TRUE(WaitUntil([&] { return engine.IsReplayHolding(); }, kHangDeadline));
        EXPECT_EQ(sink.Count(), 1u);
        EXPECT_FALSE(WaitUntil([&] { return sink.Count() > 1; }, kHoldWatch));
        EXPECT_EQ(engine.GetLatestReport().distance, Decode(m_bytes)[0].distance);
        engine.SetReplayPaused(false);
        ASSERT_TRUE(WaitUntil([&] { return sink.Ended(); }, kHangDeadline));
        EXPECT_FALSE(engine.IsReplayHolding());
        engine.StopAcquisition();
        ExpectSameReports(sink.Reports(), Decode(m_bytes));
    }
}

// A pause given while an unpaced replay runs holds it after the batch under way.
TEST_F(ReplaySteeringTest, PausingAFastReplayHoldsItMidway) {
    m_sink.Close();
    ASSERT_EQ(m_engine.StartAcquisition(Run(Stream(5000), 0)), AcquisitionStartResult::Started);
    const std::vector<TargetReport> all = Decode(m_bytes);
    ASSERT_TRUE(WaitUntil([&] { return m_sink.Count() > 0; }, kHangDeadline));
    m_engine.SetReplayPaused(true);
    m_sink.Open();
    ASSERT_TRUE(WaitUntil([&] { return m_engine.IsReplayHolding(); }, kHangDeadline));
    const size_t held = m_sink.Count();
    EXPECT_LT(held, all.size());
    EXPECT_FALSE(WaitUntil([&] { return m_sink.Count() > held; }, kHoldWatch));
    EXPECT_EQ(m_engine.GetTally().reports, held);
    m_engine.SetReplayPaused(false);
    ASSERT_TRUE(WaitUntil([&] { return m_sink.Ended(); }, kHangDeadline));
    m_engine.StopAcquisition();
    ExpectSameReports(m_sink.Reports(), all);
}

TEST_F(ReplaySteeringTest, StopEndsAHeldReplayAtOnce) {
    ASSERT_EQ(m_engine.StartAcquisition(Run(Stream(5), kShortMs, true)),
              AcquisitionStartResult::Started);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.IsReplayHolding(); }, kHangDeadline));
    const uint64_t start = MonoTimeMs();
    m_engine.StopAcquisition();
    std::printf("stop of a held replay took %llu ms\n",
                static_cast<unsigned long long>(MonoTimeMs() - start));
    EXPECT_FALSE(m_engine.IsRunning());
    EXPECT_FALSE(m_engine.IsReplayHolding());
    EXPECT_EQ(m_sink.Count(), 1u);
    EXPECT_FALSE(m_sink.Ended());
}

}  // namespace
