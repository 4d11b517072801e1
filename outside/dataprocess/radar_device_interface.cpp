// The exported functions: handle checks and argument mapping onto RadarDevice.
#include "radar_device_interface.h"

#include <new>

#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "radar_device.h"

namespace {

RadarDevice* DeviceOf(IRadarDevice* device, const char* operation) {
    if (device == nullptr) {
        DbgOutputA(kDbgLevelWarning, "Radar %s: no device (null handle)\r\n", operation);
        return nullptr;
    }
    return static_cast<RadarDevice*>(device);
}

void SetText(CBaseStringA& out, const std::string& text) {
    out.Set(text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

uint16_t CheckCmdAckData_RetCode(eRADAR_PROTOCOL_VERSION, const uint8_t* ack, int length,
                                 uint64_t) {
    if (ack == nullptr || length < 2) return kRadarAckMissing;
    return ReadLe16(ack);
}

IRadarDevice* Orbo_Interface_RadarDevice_Serial_Create() {
    RadarDevice* device = new (std::nothrow) RadarDevice();
    DbgOutputA(kDbgLevelInfo, "Radar Serial_Create: %s\r\n",
               device ? "device created" : "no memory");
    return device;
}

void Orbo_Interface_RadarDevice_Serial_Destroy(IRadarDevice* device) {
    RadarDevice* radar = DeviceOf(device, "Serial_Destroy");
    if (radar == nullptr) return;
    delete radar;
    DbgOutputA(kDbgLevelInfo, "Radar Serial_Destroy: device freed\r\n");
}

int Orbo_Interface_RadarDevice_Serial_AddRadarDeviceListener(IRadarDevice* device,
                                                             IRadarDeviceListener* listener,
                                                             int reserved) {
    RadarDevice* radar = DeviceOf(device, "Serial_AddRadarDeviceListener");
    if (radar == nullptr) return 0;
    const bool added = radar->Notifier().Add(listener);
    DbgOutputA(kDbgLevelInfo, "Radar Serial_AddRadarDeviceListener (%d): %s\r\n", reserved,
               added ? "added" : (listener ? "already registered" : "failed, no listener"));
    return listener != nullptr ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(IRadarDevice* device,
                                                             IRadarDeviceListener* listener) {
    RadarDevice* radar = DeviceOf(device, "Serial_DelRadarDeviceListener");
    if (radar == nullptr) return 0;
    const bool removed = radar->Notifier().Remove(listener);
    DbgOutputA(kDbgLevelInfo, "Radar Serial_DelRadarDeviceListener: %s\r\n",
               removed ? "removed" : "failed, not registered");
    return removed ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
    IRadarDevice* device, int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
    uint8_t stopBits, eRADAR_PROTOCOL_VERSION version, int readSerialNumber, int readVersion,
    int keepCmdMode, uint32_t ackTimeoutMs, uint32_t settleMs) {
    RadarDevice* radar = DeviceOf(device, "Serial_OpenByPortNum");
    if (radar == nullptr) return 0;
    SerialLineSettings settings;
    settings.baudRate = baudRate;
    settings.byteSize = byteSize;
    settings.parity = parity;
    settings.stopBits = stopBits;
    RadarOpenOptions options;
    options.version = version;
    options.readSerialNumber = readSerialNumber != 0;
    options.readVersion = readVersion != 0;
    options.keepCmdMode = keepCmdMode != 0;
    options.ackTimeoutMs = ackTimeoutMs;
    options.settleMs = settleMs;
    return radar->Open(portNumber, settings, options) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_GetOpenFailure(IRadarDevice* device, SerialOpenFailure& failure) {
    RadarDevice* radar = DeviceOf(device, "GetOpenFailure");
    failure = radar != nullptr ? radar->OpenFailure() : SerialOpenFailure{};
    return failure.cause != SerialOpenCause::None ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Serial_Close(IRadarDevice* device) {
    RadarDevice* radar = DeviceOf(device, "Serial_Close");
    if (radar == nullptr) return 0;
    radar->Close();
    return 1;
}

int Orbo_Interface_RadarDevice_IsConnected(IRadarDevice* device) {
    RadarDevice* radar = DeviceOf(device, "IsConnected");
    return radar != nullptr && radar->IsConnected() ? 1 : 0;
}

int Orbo_Interface_RadarDevice_GetVersion(IRadarDevice* device, CBaseStringA& version) {
    RadarDevice* radar = DeviceOf(device, "GetVersion");
    const std::string text = radar != nullptr ? radar->Version() : std::string();
    SetText(version, text);
    DbgOutputA(kDbgLevelInfo, "Radar GetVersion: \"%s\"\r\n", text.c_str());
    return text.empty() ? 0 : 1;
}

int Orbo_Interface_RadarDevice_GetSerialNumber(IRadarDevice* device, CBaseStringA& serialNumber) {
    RadarDevice* radar = DeviceOf(device, "GetSerialNumber");
    const std::string text = radar != nullptr ? radar->SerialNumber() : std::string();
    SetText(serialNumber, text);
    DbgOutputA(kDbgLevelInfo, "Radar GetSerialNumber: \"%s\"\r\n", text.c_str());
    return text.empty() ? 0 : 1;
}

int Orbo_Interface_RadarDevice_StartCmdMode(IRadarDevice* device, eRADAR_PROTOCOL_VERSION version,
                                            uint32_t ackTimeoutMs, uint32_t settleMs) {
    RadarDevice* radar = DeviceOf(device, "StartCmdMode");
    return radar != nullptr && radar->StartCmdMode(version, ackTimeoutMs, settleMs) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_StopCmdMode(IRadarDevice* device, uint32_t timeoutMs) {
    RadarDevice* radar = DeviceOf(device, "StopCmdMode");
    return radar != nullptr && radar->StopCmdMode(timeoutMs) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Protocol_GetParameter(IRadarDevice* device, uint16_t command,
                                                     int count, const uint16_t* ids,
                                                     uint32_t* values, uint32_t timeoutMs) {
    RadarDevice* radar = DeviceOf(device, "Protocol_GetParameter");
    return radar != nullptr && radar->GetParameter(command, count, ids, values, timeoutMs) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Protocol_SetParameter(IRadarDevice* device, uint16_t command,
                                                     int count, const uint16_t* ids,
                                                     const uint32_t* values, uint32_t timeoutMs) {
    RadarDevice* radar = DeviceOf(device, "Protocol_SetParameter");
    return radar != nullptr && radar->SetParameter(command, count, ids, values, timeoutMs) ? 1 : 0;
}

uint16_t Orbo_Interface_RadarDevice_Protocol_SendCommand(IRadarDevice* device, uint16_t command,
                                                         const uint8_t* payload, int length,
                                                         AckCheckFunc check, uint64_t userValue,
                                                         uint32_t timeoutMs) {
    RadarDevice* radar = DeviceOf(device, "Protocol_SendCommand");
    if (radar == nullptr) return kRadarAckMissing;
    return radar->SendCommand(command, payload, length, check, userValue, timeoutMs);
}

int Orbo_Interface_RadarDevice_Protocol_SendCommand_NoCheckAck(IRadarDevice* device,
                                                               uint16_t command,
                                                               const uint8_t* payload, int length) {
    RadarDevice* radar = DeviceOf(device, "Protocol_SendCommand_NoCheckAck");
    return radar != nullptr && radar->SendCommandNoAck(command, payload, length) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Start(IRadarDevice* device) {
    RadarDevice* radar = DeviceOf(device, "Start");
    return radar != nullptr && radar->Start() ? 1 : 0;
}

int Orbo_Interface_RadarDevice_Stop(IRadarDevice* device) {
    RadarDevice* radar = DeviceOf(device, "Stop");
    if (radar == nullptr) return 0;
    radar->Stop();
    return 1;
}

int Orbo_Interface_RadarDevice_FetchDataBuffer(IRadarDevice* device, RadarDataBlock& block,
                                               uint32_t timeoutMs) {
    block.data = nullptr;
    block.length = 0;
    RadarDevice* radar = DeviceOf(device, "FetchDataBuffer");
    return radar != nullptr && radar->Fetch(block, timeoutMs) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_CommitDataBuffer(IRadarDevice* device, RadarDataBlock& block) {
    RadarDevice* radar = DeviceOf(device, "CommitDataBuffer");
    return radar != nullptr && radar->Commit(block) ? 1 : 0;
}

int Orbo_Interface_RadarDevice_CancelRead(IRadarDevice* device) {
    RadarDevice* radar = DeviceOf(device, "CancelRead");
    if (radar == nullptr) return 0;
    radar->CancelRead();
    return 1;
}
