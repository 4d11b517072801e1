#include "device/radar_device_link.h"

#include "dataprocess/radar_device_interface.h"

int RadarDeviceLink::IsConnected() {
    return m_device != nullptr && Orbo_Interface_RadarDevice_IsConnected(m_device) != 0;
}

int RadarDeviceLink::StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) {
    if (m_device == nullptr) return 0;
    return Orbo_Interface_RadarDevice_StartCmdMode(
        m_device, static_cast<eRADAR_PROTOCOL_VERSION>(protocolVersion), ackTimeoutMs, settleMs);
}

int RadarDeviceLink::StopCmdMode(uint32_t timeoutMs) {
    if (m_device == nullptr) return 0;
    return Orbo_Interface_RadarDevice_StopCmdMode(m_device, timeoutMs);
}
