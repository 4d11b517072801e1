// The parameter operations on a device of the radar device library: IRadarParamLink bound to a
// device handle, and the operations of radar_param_commands.h taking the handle directly, as the
// windows and zorvan-cli call them.
//
// Results, log lines and threads as in radar_param_commands.h. A null device counts as not
// connected (result 1, nothing sent).
#pragma once

#include "device/radar_device_link.h"
#include "pages/params/radar_param_commands.h"

// Forwards each call to the library's function of the same name for one device (not owned).
class RadarDeviceParamLink : public RadarDeviceLink, public IRadarParamLink {
public:
    explicit RadarDeviceParamLink(IRadarDevice* device) : RadarDeviceLink(device) {}

    int GetParameter(uint16_t command, int count, const uint16_t* ids, uint32_t* values,
                     uint32_t timeoutMs) override;
    int SetParameter(uint16_t command, int count, const uint16_t* ids, const uint32_t* values,
                     uint32_t timeoutMs) override;
};

int RadarOperatorConfig_ReadDetectSetting(IRadarDevice* device, RadarParamSetting& record);
int RadarOperatorConfig_WriteDetectSetting(IRadarDevice* device, const RadarParamSetting& record);
int RadarOperatorConfig_ReadTriggerThreshold(IRadarDevice* device, RadarParamSetting& record);
int RadarOperatorConfig_WriteTriggerThreshold(IRadarDevice* device,
                                              const RadarParamSetting& record);
int RadarOperatorConfig_ReadHoldThreshold(IRadarDevice* device, RadarParamSetting& record);
int RadarOperatorConfig_WriteHoldThreshold(IRadarDevice* device, const RadarParamSetting& record);

int ReadAllParametersInCmdMode(IRadarDevice* device, RadarParamSetting& record);
int ReadAllParameters(IRadarDevice* device, RadarParamSetting& record);
int WriteAllParameters(IRadarDevice* device, const RadarParamSetting& record);
int ReadThresholdsAfterGeneration(IRadarDevice* device, RadarParamSetting& record);
