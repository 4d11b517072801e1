#include "pages/params/radar_param_device.h"

#include "dataprocess/radar_device_interface.h"

int RadarDeviceParamLink::GetParameter(uint16_t command, int count, const uint16_t* ids,
                                       uint32_t* values, uint32_t timeoutMs) {
    if (Device() == nullptr) return 0;
    return Orbo_Interface_RadarDevice_Protocol_GetParameter(Device(), command, count, ids, values,
                                                            timeoutMs);
}

int RadarDeviceParamLink::SetParameter(uint16_t command, int count, const uint16_t* ids,
                                       const uint32_t* values, uint32_t timeoutMs) {
    if (Device() == nullptr) return 0;
    return Orbo_Interface_RadarDevice_Protocol_SetParameter(Device(), command, count, ids, values,
                                                            timeoutMs);
}

int RadarOperatorConfig_ReadDetectSetting(IRadarDevice* device, RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return RadarOperatorConfig_ReadDetectSetting(link, record);
}

int RadarOperatorConfig_WriteDetectSetting(IRadarDevice* device, const RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return RadarOperatorConfig_WriteDetectSetting(link, record);
}

int RadarOperatorConfig_ReadTriggerThreshold(IRadarDevice* device, RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return RadarOperatorConfig_ReadTriggerThreshold(link, record);
}

int RadarOperatorConfig_WriteTriggerThreshold(IRadarDevice* device,
                                              const RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return RadarOperatorConfig_WriteTriggerThreshold(link, record);
}

int RadarOperatorConfig_ReadHoldThreshold(IRadarDevice* device, RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return RadarOperatorConfig_ReadHoldThreshold(link, record);
}

int RadarOperatorConfig_WriteHoldThreshold(IRadarDevice* device, const RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return RadarOperatorConfig_WriteHoldThreshold(link, record);
}

int ReadAllParametersInCmdMode(IRadarDevice* device, RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return ReadAllParametersInCmdMode(link, record);
}

int ReadAllParameters(IRadarDevice* device, RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return ReadAllParameters(link, record);
}

int WriteAllParameters(IRadarDevice* device, const RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return WriteAllParameters(link, record);
}

int ReadThresholdsAfterGeneration(IRadarDevice* device, RadarParamSetting& record) {
    RadarDeviceParamLink link(device);
    return ReadThresholdsAfterGeneration(link, record);
}
