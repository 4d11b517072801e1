// IRadarStreamLink on a device of the radar device library (libOrbo_DataProcess.so): each call is
// the library's call of the same name on the device handed in. Built only when the library is.
#pragma once

#include "device/radar_stream_link.h"

class IRadarDevice;

class RadarDeviceStreamLink : public IRadarStreamLink {
public:
    // The device is not owned and must outlive the link.
    explicit RadarDeviceStreamLink(IRadarDevice* device) : m_device(device) {}

    int IsConnected() override;
    int StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) override;
    int StopCmdMode(uint32_t timeoutMs) override;
    int SetParameter(uint16_t command, int count, const uint16_t* ids, const uint32_t* values,
                     uint32_t timeoutMs) override;
    // Checked with the library's own CheckCmdAckData_RetCode.
    uint16_t SendCommand(uint16_t command, const uint8_t* payload, int length,
                         uint32_t timeoutMs) override;
    int Start() override;
    int Stop() override;
    int FetchDataBuffer(StreamBlock& block, uint32_t timeoutMs) override;
    int CommitDataBuffer(StreamBlock& block) override;
    int CancelRead() override;

private:
    IRadarDevice* m_device;
};
