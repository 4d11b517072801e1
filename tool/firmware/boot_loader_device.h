// The firmware procedures on a device of the radar device library: IBootLoaderLink bound to a
// device handle, and the acknowledgement reader the boot loader commands are sent with.
#pragma once

#include <cstdint>

#include "dataprocess/radar_device_interface.h"
#include "device/radar_device_link.h"
#include "firmware/boot_loader_link.h"

// The boot loader commands' acknowledgement checker (an AckCheckFunc): `userValue` is the
// address of the caller's 32-bit answer. A 6-byte acknowledgement stores its u32 value (offset
// 2) into the answer and returns its u16 return code (offset 0; 0 = success); any other length
// returns 0xA005 and leaves the answer untouched.
uint16_t ReadAckValue(eRADAR_PROTOCOL_VERSION version, const uint8_t* ack, int length,
                      uint64_t userValue);

// Forwards each call to the library's function of the same name for one device (not owned;
// created by the firmware window or zorvan-cli). A null device fails every call.
class RadarDeviceBootLoaderLink : public RadarDeviceLink, public IBootLoaderLink {
public:
    explicit RadarDeviceBootLoaderLink(IRadarDevice* device) : RadarDeviceLink(device) {}

    int OpenByPortNum(int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                      uint8_t stopBits, int protocolVersion, int readSerialNumber, int readVersion,
                      int keepCmdMode, uint32_t ackTimeoutMs, uint32_t settleMs) override;
    void Close() override;
    // Sent with ReadAckValue and the answer's address as the user value.
    uint16_t SendCommand(uint16_t code, const uint8_t* payload, uint32_t length, uint32_t* answer,
                         uint32_t timeoutMs) override;
    void SendCommandNoCheckAck(uint16_t code) override;
    void Sleep(uint32_t milliseconds) override;
};
