// ctest-labels: sim
// Threshold generation against zorvan-sim, through the radar device library: a scan that reaches
// 100 % leaves new thresholds in the sensor, a stop ends the run with "finished 0".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/mono_clock.h"
#include "dataprocess/radar_device_interface.h"
#include "device/radar_device_stream_link.h"
#include "pages/params/radar_param_device.h"
#include "pages/params/radar_param_setting.h"
#include "pages/params/threshold_generation.h"
#include "serial/serial_port_table.h"
#include "support/sim_process.h"
#include "support/wait_until.h"
#include "tool/device/radar_device_handle.h"
#include "tool/pages/params/observed_stream_link.h"

namespace {

constexpr auto kHangDeadline = std::chrono::seconds(60);
// The sensor's thresholds stay within these after a generation.
constexpr uint32_t kLowestGeneratedDb = 10;
constexpr uint32_t kHighestGeneratedDb = 95;

class GenerationSink : public IThresholdGenerationSink {
public:
    void OnGenerationProgress(int percent) override {
        std::lock_guard lock(m_mutex);
        m_progress.push_back(percent);
    }
    void OnGenerationFinished(int success) override {
        std::lock_guard lock(m_mutex);
        m_finished.push_back(success);
    }
    std::vector<int> Progress() const {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }
    std::vector<int> Finished() const {
        std::lock_guard lock(m_mutex);
        return m_finished;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_progress;
    std::vector<int> m_finished;
};

class ThresholdGenerationSimTest : public testing::Test {
protected:
    void StartSim(const std::vector<std::string>& args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        device = OpenStreamDevice(sim->PortPath());
        ASSERT_NE(device, nullptr);
        link = std::make_unique<ObservedStreamLink>(device.get());
        generator = std::make_unique<ThresholdGenerator>(*link, sink);
    }

    void TearDown() override {
        generator.reset();
        link.reset();
        device.reset();
    }

    std::unique_ptr<SimProcess> sim;
    RadarDeviceHandle device;
    std::unique_ptr<ObservedStreamLink> link;
    GenerationSink sink;
    std::unique_ptr<ThresholdGenerator> generator;
};

TEST_F(ThresholdGenerationSimTest, ScanReaches100AndTheSensorHoldsNewThresholds) {
    // 120 s of sensor time in 2 s.
    StartSim({"--time-scale", "60"});
    ThresholdGenerationRequest request;
    request.triggerCoefficientDb = 2;
    request.holdCoefficientDb = 1;
    request.scanSeconds = 120;
    ASSERT_EQ(generator->Start(request), 1);
    ASSERT_TRUE(WaitUntil([&] { return !sink.Finished().empty(); }, kHangDeadline));
    generator->Stop();

    EXPECT_EQ(sink.Finished(), std::vector<int>{1});
    const auto payloads = link->Payloads();
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads[0], (std::vector<uint8_t>{0x02, 0x00, 0x01, 0x00, 0x78, 0x00}));
    const auto progress = sink.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // The page's re-read after a successful generation.
    RadarParamSetting record;
    ASSERT_EQ(ReadThresholdsAfterGeneration(device.get(), record), kParamResultSuccess);
    bool changed = false;
    for (int gate = 0; gate < kGateCount; ++gate) {
        SCOPED_TRACE(gate);
        const uint32_t trigger = record.TriggerThreshold[gate];
        const uint32_t hold = record.HoldThreshold[gate];
        // Both come from the loudest energy of the gate plus their coefficient (2 and 1 dB), so
        // the trigger lies 1 dB above the hold unless both hit a limit.
        EXPECT_GE(hold, kLowestGeneratedDb);
        EXPECT_LE(trigger, kHighestGeneratedDb);
        if (trigger == hold) {
            EXPECT_TRUE(hold == kLowestGeneratedDb || hold == kHighestGeneratedDb);
        } else {
            EXPECT_EQ(trigger, hold + 1);
        }
        changed |= trigger != kDefaultTriggerThreshold[gate] || hold != kDefaultHoldThreshold[gate];
    }
    EXPECT_TRUE(changed);
    std::printf("generated thresholds (trigger/hold dB):");
    for (int gate = 0; gate < kGateCount; ++gate) {
        std::printf(" %u/%u", record.TriggerThreshold[gate], record.HoldThreshold[gate]);
    }
    std::printf("\n");
}

TEST_F(ThresholdGenerationSimTest, StopDuringTheScanFinishesWith0) {
    StartSim({});
    ASSERT_EQ(generator->Start(ThresholdGenerationRequest{}), 1);
    // The scan reports its start; the next frame is a second away.
    ASSERT_TRUE(WaitUntil([&] { return !sink.Progress().empty(); }, kHangDeadline));
    const uint64_t start = MonoTimeMs();
    generator->Stop();
    const uint64_t latency = MonoTimeMs() - start;
    std::printf("stop of a running threshold generation took %llu ms\n",
                static_cast<unsigned long long>(latency));
    EXPECT_LT(latency, 15000u);
    EXPECT_EQ(sink.Finished(), std::vector<int>{0});
    EXPECT_LT(sink.Progress().back(), 100);
    EXPECT_EQ(generator->IsThreadExit(), 1);
}

}  // namespace
