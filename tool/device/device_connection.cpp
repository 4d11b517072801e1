#include "device/device_connection.h"

#include "pages/params/radar_param_device.h"

namespace {

// What the open reads inside command mode: the serial number and the version text.
constexpr int kConnectReadSerialNumber = 1;
constexpr int kConnectReadVersion = 1;

}  // namespace

void RadarDeviceDeleter::operator()(IRadarDevice* device) const {
    Orbo_Interface_RadarDevice_Serial_Destroy(device);
}

IRadarDevice* DeviceConnection::CreateDevice() {
    if (!m_device) m_device.reset(Orbo_Interface_RadarDevice_Serial_Create());
    return m_device.get();
}

DeviceConnectResult DeviceConnection::Open(int portNumber, const SerialLineSettings& line,
                                           bool keepCmdMode) {
    if (CreateDevice() == nullptr) return DeviceConnectResult::NoDevice;
    const int opened = Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
        m_device.get(), portNumber, line.baudRate, line.byteSize, line.parity, line.stopBits,
        kCmdModeProtocolVersion, kConnectReadSerialNumber, kConnectReadVersion, keepCmdMode ? 1 : 0,
        kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    return opened ? DeviceConnectResult::Connected : DeviceConnectResult::OpenFailed;
}

DeviceConnectResult DeviceConnection::Connect(int portNumber, const SerialLineSettings& line) {
    return Open(portNumber, line, false);
}

DeviceConnectResult DeviceConnection::ConnectAndReadParameters(int portNumber,
                                                               const SerialLineSettings& line,
                                                               RadarParamSetting& record,
                                                               int& readResult) {
    const DeviceConnectResult result = Open(portNumber, line, true);
    if (result != DeviceConnectResult::Connected) return result;
    // A read that fails part-way must not leave a new detect setting beside old thresholds.
    RadarParamSetting copy = record;
    readResult = ReadAllParametersInCmdMode(m_device.get(), copy);
    if (readResult == kParamResultSuccess) record = copy;
    Orbo_Interface_RadarDevice_StopCmdMode(m_device.get(), kStopCmdModeTimeoutMs);
    return result;
}

SerialOpenFailure DeviceConnection::OpenFailure() const {
    SerialOpenFailure failure;
    if (m_device) Orbo_Interface_RadarDevice_GetOpenFailure(m_device.get(), failure);
    return failure;
}
