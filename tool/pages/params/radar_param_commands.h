// The device operations on the detection parameter record: six command exchanges (read and
// write of the detect setting, the trigger thresholds and the hold thresholds) and the sequences
// built from them.
//
// Every operation returns 0 on success, 1 when the device is not connected (nothing is sent, no
// line is written, the record is untouched) and 2 when the command failed (time-out, refusal or
// a value that cannot be sent; a failing read leaves the record untouched). Each exchange that
// was attempted writes one level-2 line naming the operation and its result.
//
// The operations reach the sensor through IRadarParamLink, a table of the five device calls they
// need; radar_param_device.h binds it to a device of the radar device library. They block the
// calling thread for up to kParamCommandTimeoutMs per command and are meant for the window thread
// (zorvan-cli: its main thread), which owns the record.
#pragma once

#include <cstdint>

#include "device/radar_link.h"
#include "pages/params/radar_param_setting.h"

// Command words.
constexpr uint16_t kCmdWriteDetectSetting = 0x70;
constexpr uint16_t kCmdReadDetectSetting = 0x71;
constexpr uint16_t kCmdWriteTriggerThreshold = 0x72;
constexpr uint16_t kCmdReadTriggerThreshold = 0x73;
constexpr uint16_t kCmdWriteHoldThreshold = 0x76;
constexpr uint16_t kCmdReadHoldThreshold = 0x77;

// Detect setting ids, in the order the commands carry them.
constexpr int kDetectSettingCount = 6;
constexpr uint16_t kDetectSettingIds[kDetectSettingCount] = {
    0x000A,  // minimum gate
    0x0005,  // maximum gate
    0x000B,  // response speed × 10
    0x0002,  // state report Hz × 10
    0x000C,  // range report Hz × 10
    0x0006,  // absence seconds
};

// Results of the operations.
constexpr int kParamResultSuccess = 0;
constexpr int kParamResultNotConnected = 1;
constexpr int kParamResultFailed = 2;

// Limit of one parameter command (command mode uses the values of radar_command_mode.h).
constexpr uint32_t kParamCommandTimeoutMs = 2000;

// The device calls the operations make beside the connection question and command mode of
// IRadarLink. Results as the radar device library gives them: nonzero for success.
class IRadarParamLink : public virtual IRadarLink {
public:
    // values receives `count` values in id order on success.
    virtual int GetParameter(uint16_t command, int count, const uint16_t* ids, uint32_t* values,
                             uint32_t timeoutMs) = 0;
    virtual int SetParameter(uint16_t command, int count, const uint16_t* ids,
                             const uint32_t* values, uint32_t timeoutMs) = 0;
};

// The six exchanges (the sensor must be in command mode).
int RadarOperatorConfig_ReadDetectSetting(IRadarParamLink& link, RadarParamSetting& record);
int RadarOperatorConfig_WriteDetectSetting(IRadarParamLink& link, const RadarParamSetting& record);
int RadarOperatorConfig_ReadTriggerThreshold(IRadarParamLink& link, RadarParamSetting& record);
int RadarOperatorConfig_WriteTriggerThreshold(IRadarParamLink& link,
                                              const RadarParamSetting& record);
int RadarOperatorConfig_ReadHoldThreshold(IRadarParamLink& link, RadarParamSetting& record);
int RadarOperatorConfig_WriteHoldThreshold(IRadarParamLink& link, const RadarParamSetting& record);

// Detect setting, trigger thresholds, hold thresholds, each only after the one before succeeded;
// the first nonzero result is the result. The sensor must already be in command mode (the main
// window reads this way right after opening the link, then ends command mode itself).
int ReadAllParametersInCmdMode(IRadarParamLink& link, RadarParamSetting& record);

// Command mode on (its result is not examined), the chain above, command mode off whatever the
// result. After a failure the reads that succeeded before it stay applied. A device that is not
// connected gives 1 without any call beyond the connection question.
int ReadAllParameters(IRadarParamLink& link, RadarParamSetting& record);

// The same with the three writes in the same order.
int WriteAllParameters(IRadarParamLink& link, const RadarParamSetting& record);

// After threshold generation: command mode on, trigger thresholds, then hold thresholds whatever
// the first gave, command mode off. The result is the first nonzero of the two reads, else 0.
int ReadThresholdsAfterGeneration(IRadarParamLink& link, RadarParamSetting& record);
