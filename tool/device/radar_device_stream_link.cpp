#include "device/radar_device_stream_link.h"

#include "dataprocess/radar_device_interface.h"

static_assert(kStreamAckMissing == kRadarAckMissing);

int RadarDeviceStreamLink::IsConnected() {
    return Orbo_Interface_RadarDevice_IsConnected(m_device);
}

int RadarDeviceStreamLink::StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs,
                                        uint32_t settleMs) {
    return Orbo_Interface_RadarDevice_StartCmdMode(
        m_device, static_cast<eRADAR_PROTOCOL_VERSION>(protocolVersion), ackTimeoutMs, settleMs);
}

int RadarDeviceStreamLink::StopCmdMode(uint32_t timeoutMs) {
    return Orbo_Interface_RadarDevice_StopCmdMode(m_device, timeoutMs);
}

int RadarDeviceStreamLink::SetParameter(uint16_t command, int count, const uint16_t* ids,
                                        const uint32_t* values, uint32_t timeoutMs) {
    return Orbo_Interface_RadarDevice_Protocol_SetParameter(m_device, command, count, ids, values,
                                                            timeoutMs);
}

uint16_t RadarDeviceStreamLink::SendCommand(uint16_t command, const uint8_t* payload, int length,
                                            uint32_t timeoutMs) {
    return Orbo_Interface_RadarDevice_Protocol_SendCommand(m_device, command, payload, length,
                                                           CheckCmdAckData_RetCode, 0, timeoutMs);
}

int RadarDeviceStreamLink::Start() {
    return Orbo_Interface_RadarDevice_Start(m_device);
}

int RadarDeviceStreamLink::Stop() {
    return Orbo_Interface_RadarDevice_Stop(m_device);
}

int RadarDeviceStreamLink::FetchDataBuffer(StreamBlock& block, uint32_t timeoutMs) {
    RadarDataBlock lent;
    const int result = Orbo_Interface_RadarDevice_FetchDataBuffer(m_device, lent, timeoutMs);
    block.data = lent.data;
    block.length = lent.length;
    return result;
}

int RadarDeviceStreamLink::CommitDataBuffer(StreamBlock& block) {
    RadarDataBlock lent;
    lent.data = block.data;
    lent.length = block.length;
    const int result = Orbo_Interface_RadarDevice_CommitDataBuffer(m_device, lent);
    block = StreamBlock{};
    return result;
}

int RadarDeviceStreamLink::CancelRead() {
    return Orbo_Interface_RadarDevice_CancelRead(m_device);
}
