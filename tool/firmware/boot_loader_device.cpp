#include "firmware/boot_loader_device.h"

#include "core/mono_clock.h"
#include "firmware/firmware_protocol.h"

uint16_t ReadAckValue(eRADAR_PROTOCOL_VERSION version, const uint8_t* ack, int length,
                      uint64_t userValue) {
    (void)version;
    return DecodeBootLoaderAck(ack, length, reinterpret_cast<uint32_t*>(userValue));
}

int RadarDeviceBootLoaderLink::OpenByPortNum(int portNumber, uint32_t baudRate, uint8_t byteSize,
                                             uint8_t parity, uint8_t stopBits, int protocolVersion,
                                             int readSerialNumber, int readVersion, int keepCmdMode,
                                             uint32_t ackTimeoutMs, uint32_t settleMs) {
    if (Device() == nullptr) return 0;
    return Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
        Device(), portNumber, baudRate, byteSize, parity, stopBits,
        static_cast<eRADAR_PROTOCOL_VERSION>(protocolVersion), readSerialNumber, readVersion,
        keepCmdMode, ackTimeoutMs, settleMs);
}

void RadarDeviceBootLoaderLink::Close() {
    if (Device() != nullptr) Orbo_Interface_RadarDevice_Serial_Close(Device());
}

uint16_t RadarDeviceBootLoaderLink::SendCommand(uint16_t code, const uint8_t* payload,
                                                uint32_t length, uint32_t* answer,
                                                uint32_t timeoutMs) {
    if (Device() == nullptr) return kRadarAckMissing;
    return Orbo_Interface_RadarDevice_Protocol_SendCommand(
        Device(), code, payload, static_cast<int>(length), ReadAckValue,
        reinterpret_cast<uint64_t>(answer), timeoutMs);
}

void RadarDeviceBootLoaderLink::SendCommandNoCheckAck(uint16_t code) {
    if (Device() != nullptr) {
        Orbo_Interface_RadarDevice_Protocol_SendCommand_NoCheckAck(Device(), code, nullptr, 0);
    }
}

void RadarDeviceBootLoaderLink::Sleep(uint32_t milliseconds) {
    SleepMs(milliseconds);
}
