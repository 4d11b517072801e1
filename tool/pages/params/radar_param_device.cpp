#include "pages/params/radar_param_device.h"

#include "dataprocess/radar_device_interface.h"

int RadarDeviceParamLink::IsConnected() {
    return m_device != nullptr && Orbo_Interface_RadarDevice_IsConnected(m_device) != 0;
}

int RadarDeviceParamLink::GetParameter(uint16_t command, int count, const uint16_t* ids,
                                       uint32_t* values, uint32_t timeoutMs) {
    if (m_device == nullptr) return 0;
    return Orbo_Interface_RadarDevice_Protocol_GetParameter(m_device, command, count, ids, values,
                                                            timeoutMs);
}

int RadarDeviceParamLink::SetParameter(uint16_t command, int count, const uint16_t* ids,
                                       const uint32_t* values, uint32_t timeoutMs) {
    if (m_device == nullptr) return 0;
    return Orbo_Interface_RadarDevice_Protocol_SetParameter(m_device, command, count, ids, values,
                                                            timeoutMs);
}

int RadarDeviceParamLink::StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs,
                                       uint32_t settleMs) {
    if (m_device == nullptr) return 0;
    return Orbo_Interface_RadarDevice_StartCmdMode(
        m_device, static_cast<eRADAR_PROTOCOL_VERSION>(protocolVersion), ackTimeoutMs, settleMs);
}

int RadarDeviceParamLink::StopCmdMode(uint32_t timeoutMs) {
    if (m_device == nullptr) return 0;
    return Orbo_Interface_RadarDevice_StopCmdMode(m_device, timeoutMs);
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
