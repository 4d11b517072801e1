// The device calls the firmware procedures make, as a small table: boot_loader_device.h binds
// it to a device of the radar device library; tests put a scripted sensor behind it.
//
// Results are those of the radar device library: nonzero for success from the open and the
// command mode calls, the 16-bit code (0 = success) from SendCommand. Called on the thread that
// runs a procedure; each call blocks for at most its own time-out.
#pragma once

#include <cstdint>

#include "device/radar_link.h"

// Command mode comes from IRadarLink; the procedures open and close the port themselves.
class IBootLoaderLink : public virtual IRadarLink {
public:
    // Opens the port by its number with the given settings (a second open of an open link
    // closes and reopens it).
    virtual int OpenByPortNum(int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                              uint8_t stopBits, int protocolVersion, int readSerialNumber,
                              int readVersion, int keepCmdMode, uint32_t ackTimeoutMs,
                              uint32_t settleMs) = 0;
    // Closes the port (also when it is not open).
    virtual void Close() = 0;
    // One boot loader command whose acknowledgement is read with ReadAckValue into *answer: the
    // acknowledgement's return code, 0xA005 for an acknowledgement that is not 6 bytes long
    // (*answer untouched), the library's failure code when none arrived in time.
    virtual uint16_t SendCommand(uint16_t code, const uint8_t* payload, uint32_t length,
                                 uint32_t* answer, uint32_t timeoutMs) = 0;
    // A command without acknowledgement (the software reset).
    virtual void SendCommandNoCheckAck(uint16_t code) = 0;
    // Waits while the sensor restarts.
    virtual void Sleep(uint32_t milliseconds) = 0;
};
