// IRadarLink on a device of the radar device library: each call is the library's call of the same
// name on the device handed in (not owned; it must outlive the link). A null device is not
// connected and fails every call. The stream, parameter and boot loader links of a device derive
// from it for these calls and add their own.
#pragma once

#include "device/radar_link.h"

class IRadarDevice;

class RadarDeviceLink : public virtual IRadarLink {
public:
    explicit RadarDeviceLink(IRadarDevice* device) : m_device(device) {}

    int IsConnected() override;
    int StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) override;
    int StopCmdMode(uint32_t timeoutMs) override;

protected:
    IRadarDevice* Device() const { return m_device; }

private:
    IRadarDevice* m_device;
};
