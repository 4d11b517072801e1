#include "device/radar_device_stream_link.h"

#include "dataprocess/radar_device_interface.h"

int RadarDeviceStreamLink::SetParameter(uint16_t command, int count, const uint16_t* ids,
                                        const uint32_t* values, uint32_t timeoutMs) {
    return Orbo_Interface_RadarDevice_Protocol_SetParameter(Device(), command, count, ids, values,
                                                            timeoutMs);
}

uint16_t RadarDeviceStreamLink::SendCommand(uint16_t command, const uint8_t* payload, int length,
                                            uint32_t timeoutMs) {
    return Orbo_Interface_RadarDevice_Protocol_SendCommand(Device(), command, payload, length,
                                                           CheckCmdAckData_RetCode, 0, timeoutMs);
}

int RadarDeviceStreamLink::Start() {
    return Orbo_Interface_RadarDevice_Start(Device());
}

int RadarDeviceStreamLink::Stop() {
    return Orbo_Interface_RadarDevice_Stop(Device());
}

int RadarDeviceStreamLink::FetchDataBuffer(StreamBlock& block, uint32_t timeoutMs) {
    RadarDataBlock lent;
    const int result = Orbo_Interface_RadarDevice_FetchDataBuffer(Device(), lent, timeoutMs);
    block.data = lent.data;
    block.length = lent.length;
    return result;
}

int RadarDeviceStreamLink::CommitDataBuffer(StreamBlock& block) {
    RadarDataBlock lent;
    lent.data = block.data;
    lent.length = block.length;
    const int result = Orbo_Interface_RadarDevice_CommitDataBuffer(Device(), lent);
    block = StreamBlock{};
    return result;
}

int RadarDeviceStreamLink::CancelRead() {
    return Orbo_Interface_RadarDevice_CancelRead(Device());
}
