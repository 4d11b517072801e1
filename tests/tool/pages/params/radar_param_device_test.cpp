// ctest-labels: sim
#include "pages/params/radar_param_device.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dataprocess/radar_device_interface.h"
#include "serial/serial_port_table.h"
#include "support/sim_process.h"
#include "tool/device/radar_device_handle.h"

namespace {

constexpr uint32_t kBaud = 115200;
constexpr uint32_t kCommandTimeoutMs = 2000;

// The sensor's parameters in its own units, as the library reads them back.
struct SensorState {
    std::array<uint32_t, kDetectSettingCount> detect{};
    std::array<uint32_t, kGateCount> trigger{};
    std::array<uint32_t, kGateCount> hold{};
};

const uint16_t kGateIds[kGateCount] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

class RadarParamDeviceTest : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& args = {}) {
        m_sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
        m_device.reset(Orbo_Interface_RadarDevice_Serial_Create());
        ASSERT_NE(m_device, nullptr);
    }

    // Opens as the main window does: version and serial number read, command mode kept.
    bool Open(int keepCmdMode = 0) {
        return Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                   Device(), SerialPortNumberOf(m_sim->PortPath()), kBaud, 8, 0, 0,
                   eRADAR_PROTOCOL_VERSION_2, 1, 1, keepCmdMode, kCmdModeAckTimeoutMs,
                   kCmdModeSettleMs) != 0;
    }

    IRadarDevice* Device() { return m_device.get(); }

    // What the sensor holds, read with the library's own calls.
    SensorState ReadSensor() {
        SensorState state;
        EXPECT_NE(Orbo_Interface_RadarDevice_StartCmdMode(Device(), eRADAR_PROTOCOL_VERSION_2,
                                                          kCmdModeAckTimeoutMs, kCmdModeSettleMs),
                  0);
        EXPECT_NE(Orbo_Interface_RadarDevice_Protocol_GetParameter(
                      Device(), kCmdReadDetectSetting, kDetectSettingCount, kDetectSettingIds,
                      state.detect.data(), kCommandTimeoutMs),
                  0);
        EXPECT_NE(Orbo_Interface_RadarDevice_Protocol_GetParameter(
                      Device(), kCmdReadTriggerThreshold, kGateCount, kGateIds,
                      state.trigger.data(), kCommandTimeoutMs),
                  0);
        EXPECT_NE(Orbo_Interface_RadarDevice_Protocol_GetParameter(
                      Device(), kCmdReadHoldThreshold, kGateCount, kGateIds, state.hold.data(),
                      kCommandTimeoutMs),
                  0);
        Orbo_Interface_RadarDevice_StopCmdMode(Device(), kStopCmdModeTimeoutMs);
        return state;
    }

    // Puts values into the sensor with the library's own calls.
    void WriteSensor(const SensorState& state) {
        ASSERT_NE(Orbo_Interface_RadarDevice_StartCmdMode(Device(), eRADAR_PROTOCOL_VERSION_2,
                                                          kCmdModeAckTimeoutMs, kCmdModeSettleMs),
                  0);
        ASSERT_NE(Orbo_Interface_RadarDevice_Protocol_SetParameter(
                      Device(), kCmdWriteDetectSetting, kDetectSettingCount, kDetectSettingIds,
                      state.detect.data(), kCommandTimeoutMs),
                  0);
        ASSERT_NE(Orbo_Interface_RadarDevice_Protocol_SetParameter(
                      Device(), kCmdWriteTriggerThreshold, kGateCount, kGateIds,
                      state.trigger.data(), kCommandTimeoutMs),
                  0);
        ASSERT_NE(Orbo_Interface_RadarDevice_Protocol_SetParameter(
                      Device(), kCmdWriteHoldThreshold, kGateCount, kGateIds, state.hold.data(),
                      kCommandTimeoutMs),
                  0);
        Orbo_Interface_RadarDevice_StopCmdMode(Device(), kStopCmdModeTimeoutMs);
    }

    std::unique_ptr<SimProcess> m_sim;
    RadarDeviceHandle m_device;
};

SensorState Changed() {
    SensorState state;
    state.detect = {3, 12, 10, 50, 25, 30};
    for (int gate = 0; gate < kGateCount; ++gate) {
        state.trigger[gate] = 60 + gate;
        state.hold[gate] = 20 + gate;
    }
    return state;
}

SensorState FactoryState() {
    SensorState state;
    state.detect = {0, 9, 20, 10, 10, 20};
    for (int gate = 0; gate < kGateCount; ++gate) {
        state.trigger[gate] = kDefaultTriggerThreshold[gate];
        state.hold[gate] = kDefaultHoldThreshold[gate];
    }
    return state;
}

// The record in the sensor's units.
SensorState AsSensor(const RadarParamSetting& record) {
    SensorState state;
    SensorDetectSetting setting;
    EXPECT_TRUE(ToSensorDetectSetting(record, &setting));
    state.detect = {setting.minGate,         setting.maxGate,         setting.responseSpeed,
                    setting.stateReportRate, setting.rangeReportRate, setting.absenceSeconds};
    for (int gate = 0; gate < kGateCount; ++gate) {
        state.trigger[gate] = record.TriggerThreshold[gate];
        state.hold[gate] = record.HoldThreshold[gate];
    }
    return state;
}

void ExpectSameState(const SensorState& actual, const SensorState& expected) {
    EXPECT_EQ(actual.detect, expected.detect);
    EXPECT_EQ(actual.trigger, expected.trigger);
    EXPECT_EQ(actual.hold, expected.hold);
}

void ExpectRecordHolds(const RadarParamSetting& record, const SensorState& state) {
    EXPECT_EQ(record.DetectRangeMin, state.detect[0] * record.RangeResolution);
    EXPECT_EQ(record.DetectRangeMax, state.detect[1] * record.RangeResolution);
    EXPECT_EQ(record.ResponseFreq, state.detect[2] / 10.0);
    EXPECT_EQ(record.StateReportFreq, state.detect[3] / 10.0);
    EXPECT_EQ(record.RangeReportFreq, state.detect[4] / 10.0);
    EXPECT_EQ(record.ObjectDisappearReportTime, state.detect[5]);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], state.trigger[gate]) << gate;
        EXPECT_EQ(record.HoldThreshold[gate], state.hold[gate]) << gate;
    }
}

TEST_F(RadarParamDeviceTest, WriteThenResetLeavesTheSensorEqualToTheRecord) {
    Start();
    ASSERT_TRUE(Open());

    RadarParamSetting record;
    record.DetectRangeMin = 1.4;
    record.DetectRangeMax = 20.0;  // beyond the last gate: gate 16
    record.ResponseFreq = 1.0;
    record.StateReportFreq = 4.0;
    record.RangeReportFreq = 2.0;
    record.ObjectDisappearReportTime = 60;
    for (int gate = 0; gate < kGateCount; ++gate) {
        record.TriggerThreshold[gate] = 50 + gate;
        record.HoldThreshold[gate] = 40 + gate;
    }
    ASSERT_EQ(WriteAllParameters(Device(), record), kParamResultSuccess);
    const SensorState written = ReadSensor();
    ExpectSameState(written, AsSensor(record));
    EXPECT_EQ(written.detect[0], 2u);
    EXPECT_EQ(written.detect[1], 16u);

    ResetToDefaults(record);
    ASSERT_EQ(WriteAllParameters(Device(), record), kParamResultSuccess);
    ExpectSameState(ReadSensor(), FactoryState());
}

TEST_F(RadarParamDeviceTest, ReadAllTakesTheSensorsValues) {
    Start();
    ASSERT_TRUE(Open());
    WriteSensor(Changed());

    RadarParamSetting record;
    ASSERT_EQ(ReadAllParameters(Device(), record), kParamResultSuccess);
    ExpectRecordHolds(record, Changed());
    EXPECT_NEAR(record.DetectRangeMin, 2.1, 1e-12);
    EXPECT_NEAR(record.DetectRangeMax, 8.4, 1e-12);

    // The sensor is back out of command mode: a plain exchange still works afterwards.
    ExpectSameState(ReadSensor(), Changed());
}

TEST_F(RadarParamDeviceTest, ConnectPathReadsInTheCommandModeTheOpenLeft) {
    Start();
    ASSERT_TRUE(Open());
    WriteSensor(Changed());
    Orbo_Interface_RadarDevice_Serial_Close(Device());

    ASSERT_TRUE(Open(1));
    RadarParamSetting record;
    ASSERT_EQ(ReadAllParametersInCmdMode(Device(), record), kParamResultSuccess);
    Orbo_Interface_RadarDevice_StopCmdMode(Device(), kStopCmdModeTimeoutMs);
    ExpectRecordHolds(record, Changed());
}

TEST_F(RadarParamDeviceTest, RefusedTriggerReadGivesTwoWithTheDetectSettingApplied) {
    Start({"--fail-status", "0x73:3"});
    ASSERT_TRUE(Open());
    SensorState sensor = Changed();
    WriteSensor(sensor);

    RadarParamSetting record;
    EXPECT_EQ(ReadAllParameters(Device(), record), kParamResultFailed);
    EXPECT_EQ(record.DetectRangeMin, 3 * 0.7);
    EXPECT_EQ(record.DetectRangeMax, 12 * 0.7);
    EXPECT_EQ(record.StateReportFreq, 5.0);
    EXPECT_EQ(record.ObjectDisappearReportTime, 30u);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], kDefaultTriggerThreshold[gate]);
        EXPECT_EQ(record.HoldThreshold[gate], kDefaultHoldThreshold[gate]);
    }

    // Only the trigger table is refused: the re-read after generation still gets the hold one.
    EXPECT_EQ(ReadThresholdsAfterGeneration(Device(), record), kParamResultFailed);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], kDefaultTriggerThreshold[gate]);
        EXPECT_EQ(record.HoldThreshold[gate], sensor.hold[gate]);
    }
}

TEST_F(RadarParamDeviceTest, ThresholdReReadTakesBothTables) {
    Start();
    ASSERT_TRUE(Open());
    WriteSensor(Changed());
    RadarParamSetting record;
    ASSERT_EQ(ReadThresholdsAfterGeneration(Device(), record), kParamResultSuccess);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], 60u + gate);
        EXPECT_EQ(record.HoldThreshold[gate], 20u + gate);
    }
    EXPECT_EQ(record.DetectRangeMax, 6.3);
}

TEST_F(RadarParamDeviceTest, DisconnectedDeviceGivesOneAndTheSensorKeepsItsValues) {
    Start();
    RadarParamSetting changed;
    changed.DetectRangeMax = 2.8;
    changed.TriggerThreshold[0] = 90;

    // Never opened, then opened and closed again.
    for (int round = 0; round < 2; ++round) {
        RadarParamSetting record;
        EXPECT_EQ(WriteAllParameters(Device(), changed), kParamResultNotConnected);
        EXPECT_EQ(ReadAllParameters(Device(), record), kParamResultNotConnected);
        EXPECT_EQ(ReadThresholdsAfterGeneration(Device(), record), kParamResultNotConnected);
        EXPECT_EQ(RadarOperatorConfig_WriteDetectSetting(Device(), changed),
                  kParamResultNotConnected);
        EXPECT_EQ(RadarOperatorConfig_WriteTriggerThreshold(Device(), changed),
                  kParamResultNotConnected);
        EXPECT_EQ(RadarOperatorConfig_WriteHoldThreshold(Device(), changed),
                  kParamResultNotConnected);
        EXPECT_EQ(RadarOperatorConfig_ReadDetectSetting(Device(), record),
                  kParamResultNotConnected);
        EXPECT_EQ(record.DetectRangeMax, 6.3);
        if (round == 0) {
            ASSERT_TRUE(Open());
            Orbo_Interface_RadarDevice_Serial_Close(Device());
        }
    }
    EXPECT_EQ(WriteAllParameters(nullptr, changed), kParamResultNotConnected);

    ASSERT_TRUE(Open());
    ExpectSameState(ReadSensor(), FactoryState());
}

}  // namespace
