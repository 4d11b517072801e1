// What every link of the tool to the sensor offers, whatever it is used for: the connection
// question and command mode on and off. The stream workers (IRadarStreamLink), the parameter
// operations (IRadarParamLink) and the firmware procedures (IBootLoaderLink) each add their own
// calls; radar_device_link.h implements these for a device of the radar device library once, and
// the tests' fakes share one base for them too.
//
// Results are those of the radar device library: nonzero for connected / success. The arguments
// are the command mode values of dataprocess/radar_command_mode.h.
#pragma once

#include <cstdint>

#include "dataprocess/radar_command_mode.h"

class IRadarLink {
public:
    virtual ~IRadarLink() = default;

    virtual int IsConnected() = 0;
    virtual int StartCmdMode(int protocolVersion, uint32_t ackTimeoutMs, uint32_t settleMs) = 0;
    virtual int StopCmdMode(uint32_t timeoutMs) = 0;
};
