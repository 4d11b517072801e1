#include "pages/params/radar_param_commands.h"

#include "core/dbg_output.h"

namespace {

constexpr const char* kReadDetectSettingName = "RadarOperatorConfig_ReadDetectSetting";
constexpr const char* kWriteDetectSettingName = "RadarOperatorConfig_WriteDetectSetting";
constexpr const char* kReadTriggerName = "RadarOperatorConfig_ReadTriggerThreshold";
constexpr const char* kWriteTriggerName = "RadarOperatorConfig_WriteTriggerThreshold";
constexpr const char* kReadHoldName = "RadarOperatorConfig_ReadHoldThreshold";
constexpr const char* kWriteHoldName = "RadarOperatorConfig_WriteHoldThreshold";

// Ids of the threshold commands: the gate numbers.
constexpr uint16_t kGateIds[kGateCount] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

void LogThresholdResult(const char* name, bool ok) {
    DbgOutputA(kDbgLevelInfo, "%s, result: %s\r\n", name, ok ? "Success" : "Failed");
}

int ReadThresholds(IRadarParamLink& link, uint16_t command, const char* name,
                   uint32_t (&field)[kGateCount]) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    uint32_t values[kGateCount] = {};
    const bool ok =
        link.GetParameter(command, kGateCount, kGateIds, values, kParamCommandTimeoutMs) != 0;
    LogThresholdResult(name, ok);
    if (!ok) return kParamResultFailed;
    for (int gate = 0; gate < kGateCount; ++gate) field[gate] = values[gate];
    return kParamResultSuccess;
}

int WriteThresholds(IRadarParamLink& link, uint16_t command, const char* name,
                    const uint32_t (&field)[kGateCount]) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    const bool ok =
        link.SetParameter(command, kGateCount, kGateIds, field, kParamCommandTimeoutMs) != 0;
    LogThresholdResult(name, ok);
    return ok ? kParamResultSuccess : kParamResultFailed;
}

}  // namespace

int RadarOperatorConfig_ReadDetectSetting(IRadarParamLink& link, RadarParamSetting& record) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    uint32_t values[kDetectSettingCount] = {};
    if (!link.GetParameter(kCmdReadDetectSetting, kDetectSettingCount, kDetectSettingIds, values,
                           kParamCommandTimeoutMs)) {
        DbgOutputA(kDbgLevelInfo, "%s, result: Failed.\r\n", kReadDetectSettingName);
        return kParamResultFailed;
    }
    DbgOutputA(kDbgLevelInfo, "%s, result: Success\r\n", kReadDetectSettingName);
    SensorDetectSetting setting;
    setting.minGate = values[0];
    setting.maxGate = values[1];
    setting.responseSpeed = values[2];
    setting.stateReportRate = values[3];
    setting.rangeReportRate = values[4];
    setting.absenceSeconds = values[5];
    FromSensorDetectSetting(setting, record);
    return kParamResultSuccess;
}

int RadarOperatorConfig_WriteDetectSetting(IRadarParamLink& link, const RadarParamSetting& record) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    SensorDetectSetting setting;
    bool ok = ToSensorDetectSetting(record, &setting);
    if (ok) {
        const uint32_t values[kDetectSettingCount] = {
            setting.minGate,         setting.maxGate,         setting.responseSpeed,
            setting.stateReportRate, setting.rangeReportRate, setting.absenceSeconds,
        };
        ok = link.SetParameter(kCmdWriteDetectSetting, kDetectSettingCount, kDetectSettingIds,
                               values, kParamCommandTimeoutMs) != 0;
    }
    DbgOutputA(kDbgLevelInfo, "%s, result: %s\r\n", kWriteDetectSettingName,
               ok ? "Success" : "Failed");
    return ok ? kParamResultSuccess : kParamResultFailed;
}

int RadarOperatorConfig_ReadTriggerThreshold(IRadarParamLink& link, RadarParamSetting& record) {
    return ReadThresholds(link, kCmdReadTriggerThreshold, kReadTriggerName,
                          record.TriggerThreshold);
}

int RadarOperatorConfig_WriteTriggerThreshold(IRadarParamLink& link,
                                              const RadarParamSetting& record) {
    return WriteThresholds(link, kCmdWriteTriggerThreshold, kWriteTriggerName,
                           record.TriggerThreshold);
}

int RadarOperatorConfig_ReadHoldThreshold(IRadarParamLink& link, RadarParamSetting& record) {
    return ReadThresholds(link, kCmdReadHoldThreshold, kReadHoldName, record.HoldThreshold);
}

int RadarOperatorConfig_WriteHoldThreshold(IRadarParamLink& link, const RadarParamSetting& record) {
    return WriteThresholds(link, kCmdWriteHoldThreshold, kWriteHoldName, record.HoldThreshold);
}

int ReadAllParametersInCmdMode(IRadarParamLink& link, RadarParamSetting& record) {
    int result = RadarOperatorConfig_ReadDetectSetting(link, record);
    if (result == kParamResultSuccess)
        result = RadarOperatorConfig_ReadTriggerThreshold(link, record);
    if (result == kParamResultSuccess) result = RadarOperatorConfig_ReadHoldThreshold(link, record);
    return result;
}

int ReadAllParameters(IRadarParamLink& link, RadarParamSetting& record) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    link.StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    const int result = ReadAllParametersInCmdMode(link, record);
    link.StopCmdMode(kStopCmdModeTimeoutMs);
    return result;
}

int WriteAllParameters(IRadarParamLink& link, const RadarParamSetting& record) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    link.StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    int result = RadarOperatorConfig_WriteDetectSetting(link, record);
    if (result == kParamResultSuccess)
        result = RadarOperatorConfig_WriteTriggerThreshold(link, record);
    if (result == kParamResultSuccess)
        result = RadarOperatorConfig_WriteHoldThreshold(link, record);
    link.StopCmdMode(kStopCmdModeTimeoutMs);
    return result;
}

int ReadThresholdsAfterGeneration(IRadarParamLink& link, RadarParamSetting& record) {
    if (!link.IsConnected()) return kParamResultNotConnected;
    link.StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    const int trigger = RadarOperatorConfig_ReadTriggerThreshold(link, record);
    const int hold = RadarOperatorConfig_ReadHoldThreshold(link, record);
    link.StopCmdMode(kStopCmdModeTimeoutMs);
    return trigger != kParamResultSuccess ? trigger : hold;
}
