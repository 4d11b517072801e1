// IRadarStreamLink on a device of the radar device library (libOrbo_DataProcess.so): each call is
// the library's call of the same name on the device handed in. Built only when the library is.
#pragma once

#include "device/radar_device_link.h"
#include "device/radar_stream_link.h"

class RadarDeviceStreamLink : public RadarDeviceLink, public IRadarStreamLink {
public:
    // The device is not owned and must outlive the link.
    explicit RadarDeviceStreamLink(IRadarDevice* device) : RadarDeviceLink(device) {}
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
};
