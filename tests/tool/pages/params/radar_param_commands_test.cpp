#include "pages/params/radar_param_commands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/dbg_output.h"
#include "support/log_capture.h"
#include "tool/pages/params/fake_param_link.h"

namespace {

const std::vector<uint16_t> kGateIdList = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const std::vector<uint16_t> kDetectIdList = {0x000A, 0x0005, 0x000B, 0x0002, 0x000C, 0x0006};

std::vector<uint32_t> Gates(const uint32_t (&values)[kGateCount]) {
    return std::vector<uint32_t>(values, values + kGateCount);
}

RadarParamSetting SensorLikeSetup(FakeParamLink& link) {
    link.SetDetect({3, 12, 10, 50, 25, 30});
    link.SetGates(kCmdReadTriggerThreshold, 60);
    link.SetGates(kCmdReadHoldThreshold, 20);
    return RadarParamSetting();
}

std::string Get(uint16_t command) {
    return "get " + std::to_string(command);
}
std::string Set(uint16_t command) {
    return "set " + std::to_string(command);
}

TEST(RadarParamCommands, DisconnectedDeviceGivesOneAndSeesNothing) {
    using ReadOp = int (*)(IRadarParamLink&, RadarParamSetting&);
    using WriteOp = int (*)(IRadarParamLink&, const RadarParamSetting&);
    const ReadOp reads[] = {RadarOperatorConfig_ReadDetectSetting,
                            RadarOperatorConfig_ReadTriggerThreshold,
                            RadarOperatorConfig_ReadHoldThreshold,
                            ReadAllParameters,
                            ReadAllParametersInCmdMode,
                            ReadThresholdsAfterGeneration};
    const WriteOp writes[] = {RadarOperatorConfig_WriteDetectSetting,
                              RadarOperatorConfig_WriteTriggerThreshold,
                              RadarOperatorConfig_WriteHoldThreshold, WriteAllParameters};
    for (ReadOp read : reads) {
        FakeParamLink link;
        link.connected = false;
        SensorLikeSetup(link);
        RadarParamSetting record;
        LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
        EXPECT_EQ(read(link, record), kParamResultNotConnected);
        EXPECT_TRUE(link.calls.empty());
        EXPECT_GE(link.connectionQuestions, 1);
        EXPECT_TRUE(lines.Messages().empty());
        EXPECT_EQ(record.DetectRangeMax, 6.3);
        EXPECT_EQ(record.TriggerThreshold[0], 48u);
    }
    for (WriteOp write : writes) {
        FakeParamLink link;
        link.connected = false;
        LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
        EXPECT_EQ(write(link, RadarParamSetting()), kParamResultNotConnected);
        EXPECT_TRUE(link.calls.empty());
        EXPECT_TRUE(lines.Messages().empty());
    }
}

TEST(RadarParamCommands, WritingTheDefaultsSendsGatesRatesAndTables) {
    FakeParamLink link;
    LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
    const RadarParamSetting record;
    ASSERT_EQ(WriteAllParameters(link, record), kParamResultSuccess);

    ASSERT_EQ(link.Kinds(),
              (std::vector<std::string>{"start", Set(0x70), Set(0x72), Set(0x76), "stop"}));
    EXPECT_EQ(link.calls[0].values, (std::vector<uint32_t>{2, 500, 150}));
    EXPECT_EQ(link.calls[1].ids, kDetectIdList);
    EXPECT_EQ(link.calls[1].values, (std::vector<uint32_t>{0, 9, 20, 10, 10, 20}));
    EXPECT_EQ(link.calls[2].ids, kGateIdList);
    EXPECT_EQ(link.calls[2].values, Gates(kDefaultTriggerThreshold));
    EXPECT_EQ(link.calls[3].ids, kGateIdList);
    EXPECT_EQ(link.calls[3].values, Gates(kDefaultHoldThreshold));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(link.calls[i].timeoutMs, 2000u);
    EXPECT_EQ(link.calls[4].values, (std::vector<uint32_t>{500}));

    EXPECT_EQ(
        lines.Messages(),
        (std::vector<std::string>{"RadarOperatorConfig_WriteDetectSetting, result: Success\r\n",
                                  "RadarOperatorConfig_WriteTriggerThreshold, result: Success\r\n",
                                  "RadarOperatorConfig_WriteHoldThreshold, result: Success\r\n"}));
}

TEST(RadarParamCommands, DetectWindowIsSentAsClampedGates) {
    struct Case {
        double min, max;
        uint32_t minGate, maxGate;
    } cases[] = {
        {0.0, 20.0, 0, 16},  // beyond the last gate
        {-0.35, 1.0, 0, 1},  // a negative edge is gate 0
        {2.1, 8.4, 3, 12},
        {-50.0, -1.0, 0, 0},
    };
    for (const Case& c : cases) {
        FakeParamLink link;
        RadarParamSetting record;
        record.DetectRangeMin = c.min;
        record.DetectRangeMax = c.max;
        ASSERT_EQ(RadarOperatorConfig_WriteDetectSetting(link, record), kParamResultSuccess);
        ASSERT_EQ(link.calls.size(), 1u);
        EXPECT_EQ(link.calls[0].values[0], c.minGate) << c.min;
        EXPECT_EQ(link.calls[0].values[1], c.maxGate) << c.max;
    }
}

TEST(RadarParamCommands, UnconvertibleDetectSettingFailsWithoutSending) {
    FakeParamLink link;
    LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
    RadarParamSetting record;
    record.RangeResolution = 0.0;
    EXPECT_EQ(WriteAllParameters(link, record), kParamResultFailed);
    EXPECT_EQ(link.Kinds(), (std::vector<std::string>{"start", "stop"}));
    EXPECT_EQ(
        lines.Messages(),
        (std::vector<std::string>{"RadarOperatorConfig_WriteDetectSetting, result: Failed\r\n"}));
}

TEST(RadarParamCommands, ReadingAllStoresConvertedValues) {
    FakeParamLink link;
    RadarParamSetting record = SensorLikeSetup(link);
    LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
    ASSERT_EQ(ReadAllParameters(link, record), kParamResultSuccess);

    ASSERT_EQ(link.Kinds(),
              (std::vector<std::string>{"start", Get(0x71), Get(0x73), Get(0x77), "stop"}));
    EXPECT_EQ(link.calls[1].ids, kDetectIdList);
    EXPECT_EQ(link.calls[2].ids, kGateIdList);
    EXPECT_EQ(link.calls[3].ids, kGateIdList);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(link.calls[i].timeoutMs, 2000u);

    EXPECT_EQ(record.DetectRangeMin, 3 * 0.7);
    EXPECT_EQ(record.DetectRangeMax, 12 * 0.7);
    EXPECT_EQ(record.ResponseFreq, 1.0);
    EXPECT_EQ(record.StateReportFreq, 5.0);
    EXPECT_EQ(record.RangeReportFreq, 2.5);
    EXPECT_EQ(record.ObjectDisappearReportTime, 30u);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(record.TriggerThreshold[gate], 60u + gate);
        EXPECT_EQ(record.HoldThreshold[gate], 20u + gate);
    }
    EXPECT_EQ(lines.Messages(), (std::vector<std::string>{
                                    "RadarOperatorConfig_ReadDetectSetting, result: Success\r\n",
                                    "RadarOperatorConfig_ReadTriggerThreshold, result: Success\r\n",
                                    "RadarOperatorConfig_ReadHoldThreshold, result: Success\r\n"}));
}

TEST(RadarParamCommands, ReadingInCommandModeLeavesTheModeAlone) {
    FakeParamLink link;
    RadarParamSetting record = SensorLikeSetup(link);
    ASSERT_EQ(ReadAllParametersInCmdMode(link, record), kParamResultSuccess);
    EXPECT_EQ(link.Kinds(), (std::vector<std::string>{Get(0x71), Get(0x73), Get(0x77)}));
}

TEST(RadarParamCommands, FailedReadStopsTheChainAndKeepsEarlierReads) {
    struct Case {
        uint16_t refused;
        std::vector<std::string> kinds;
        std::string failureLine;
        bool detectApplied, triggerApplied;
    } cases[] = {
        {0x71,
         {"start", Get(0x71), "stop"},
         "RadarOperatorConfig_ReadDetectSetting, result: Failed.\r\n",
         false,
         false},
        {0x73,
         {"start", Get(0x71), Get(0x73), "stop"},
         "RadarOperatorConfig_ReadTriggerThreshold, result: Failed\r\n",
         true,
         false},
        {0x77,
         {"start", Get(0x71), Get(0x73), Get(0x77), "stop"},
         "RadarOperatorConfig_ReadHoldThreshold, result: Failed\r\n",
         true,
         true},
    };
    for (const Case& c : cases) {
        FakeParamLink link;
        RadarParamSetting record = SensorLikeSetup(link);
        link.refused = {c.refused};
        LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
        EXPECT_EQ(ReadAllParameters(link, record), kParamResultFailed);
        EXPECT_EQ(link.Kinds(), c.kinds);
        const std::vector<std::string> messages = lines.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), c.failureLine);
        EXPECT_EQ(record.DetectRangeMax, c.detectApplied ? 12 * 0.7 : 6.3);
        EXPECT_EQ(record.TriggerThreshold[1], c.triggerApplied ? 61u : 48u);
        EXPECT_EQ(record.HoldThreshold[1], 45u) << "the failing read stores nothing";
    }
}

TEST(RadarParamCommands, FailedWriteStopsTheChain) {
    struct Case {
        uint16_t refused;
        std::vector<std::string> kinds;
        std::string failureLine;
    } cases[] = {
        {0x70,
         {"start", Set(0x70), "stop"},
         "RadarOperatorConfig_WriteDetectSetting, result: Failed\r\n"},
        {0x72,
         {"start", Set(0x70), Set(0x72), "stop"},
         "RadarOperatorConfig_WriteTriggerThreshold, result: Failed\r\n"},
        {0x76,
         {"start", Set(0x70), Set(0x72), Set(0x76), "stop"},
         "RadarOperatorConfig_WriteHoldThreshold, result: Failed\r\n"},
    };
    for (const Case& c : cases) {
        FakeParamLink link;
        link.refused = {c.refused};
        LogCapture lines({.threads = LogThreads::Own, .level = kDbgLevelInfo});
        EXPECT_EQ(WriteAllParameters(link, RadarParamSetting()), kParamResultFailed);
        EXPECT_EQ(link.Kinds(), c.kinds);
        ASSERT_FALSE(lines.Messages().empty());
        EXPECT_EQ(lines.Messages().back(), c.failureLine);
    }
}

TEST(RadarParamCommands, SensorRatesOfZeroAreRefusedAndTheReadStillSucceeds) {
    FakeParamLink link;
    RadarParamSetting record = SensorLikeSetup(link);
    link.SetDetect({2, 6, 0, 0, 0, 15});
    ASSERT_EQ(RadarOperatorConfig_ReadDetectSetting(link, record), kParamResultSuccess);
    EXPECT_EQ(record.ResponseFreq, 2.0);
    EXPECT_EQ(record.StateReportFreq, 1.0);
    EXPECT_EQ(record.RangeReportFreq, 1.0);
    EXPECT_EQ(record.DetectRangeMax, 6 * 0.7);
    EXPECT_EQ(record.ObjectDisappearReportTime, 15u);
}

TEST(RadarParamCommands, ThresholdReReadAsksForBothTablesWhateverTheFirstGave) {
    struct Case {
        std::set<uint16_t> refused;
        int result;
        uint32_t trigger1, hold1;
    } cases[] = {
        {{}, kParamResultSuccess, 61, 21},
        {{0x73}, kParamResultFailed, 48, 21},
        {{0x77}, kParamResultFailed, 61, 45},
        {{0x73, 0x77}, kParamResultFailed, 48, 45},
    };
    for (const Case& c : cases) {
        FakeParamLink link;
        RadarParamSetting record = SensorLikeSetup(link);
        link.refused = c.refused;
        EXPECT_EQ(ReadThresholdsAfterGeneration(link, record), c.result);
        EXPECT_EQ(link.Kinds(), (std::vector<std::string>{"start", Get(0x73), Get(0x77), "stop"}));
        EXPECT_EQ(record.TriggerThreshold[1], c.trigger1);
        EXPECT_EQ(record.HoldThreshold[1], c.hold1);
        EXPECT_EQ(record.DetectRangeMax, 6.3) << "the detect setting is not read";
    }
}

TEST(RadarParamCommands, WrittenRecordReadsBackUnchanged) {
    FakeParamLink link;
    RadarParamSetting written;
    written.DetectRangeMin = 1.4;
    written.DetectRangeMax = 4.9;
    written.ResponseFreq = 1.0;
    written.StateReportFreq = 4.0;
    written.RangeReportFreq = 2.0;
    written.ObjectDisappearReportTime = 60;
    for (int gate = 0; gate < kGateCount; ++gate) {
        written.TriggerThreshold[gate] = 50 + gate;
        written.HoldThreshold[gate] = 40 + gate;
    }
    ASSERT_EQ(WriteAllParameters(link, written), kParamResultSuccess);
    RadarParamSetting read;
    ASSERT_EQ(ReadAllParameters(link, read), kParamResultSuccess);
    EXPECT_EQ(read.DetectRangeMin, 2 * 0.7);
    EXPECT_EQ(read.DetectRangeMax, 7 * 0.7);
    EXPECT_EQ(read.ResponseFreq, 1.0);
    EXPECT_EQ(read.StateReportFreq, 4.0);
    EXPECT_EQ(read.RangeReportFreq, 2.0);
    EXPECT_EQ(read.ObjectDisappearReportTime, 60u);
    for (int gate = 0; gate < kGateCount; ++gate) {
        EXPECT_EQ(read.TriggerThreshold[gate], written.TriggerThreshold[gate]);
        EXPECT_EQ(read.HoldThreshold[gate], written.HoldThreshold[gate]);
    }
}

}  // namespace
