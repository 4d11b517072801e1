#include "device_session.h"

#include "cli_context.h"
#include "cli_output.h"
#include "exit_codes.h"
#include "pages/params/radar_param_commands.h"
#include "resources/string_table.h"
#include "stop_signal.h"

void RadarDeviceDeleter::operator()(IRadarDevice* device) const {
    Orbo_Interface_RadarDevice_Serial_Destroy(device);
}

int DeviceSession::Open(const CliContext& context) {
    int number = 0;
    const int resolved = context.ResolvePort(number, m_portName);
    if (resolved != kExitSuccess) return resolved;
    m_device.reset(Orbo_Interface_RadarDevice_Serial_Create());
    if (!m_device) {
        PrintError("the radar device cannot be created");
        return kExitFailed;
    }
    const SerialLineSettings& line = context.Serial();
    const int opened = Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
        m_device.get(), number, line.baudRate, line.byteSize, line.parity, line.stopBits,
        static_cast<eRADAR_PROTOCOL_VERSION>(kCmdModeProtocolVersion), 1, 1, 0,
        kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    if (!opened) {
        SerialOpenFailure failure;
        Orbo_Interface_RadarDevice_GetOpenFailure(m_device.get(), failure);
        PrintError(std::string(LoadStringText(kStrOpenDeviceFailed)) + ": " + m_portName + ": " +
                   SerialOpenFailureText(failure));
        return kExitNoDevice;
    }
    return kExitSuccess;
}

LinkLossWatch::LinkLossWatch(IRadarDevice* device, StopSignal& stop)
    : m_device(device), m_stop(stop) {
    Orbo_Interface_RadarDevice_Serial_AddRadarDeviceListener(m_device, this, 0);
    // A link lost before the registration is not notified any more.
    if (!Orbo_Interface_RadarDevice_IsConnected(m_device)) OnRadarDeviceDisconnected(m_device);
}

LinkLossWatch::~LinkLossWatch() {
    Orbo_Interface_RadarDevice_Serial_DelRadarDeviceListener(m_device, this);
}

void LinkLossWatch::OnRadarDeviceConnected(IRadarDevice*) {}

void LinkLossWatch::OnRadarDeviceDisconnected(IRadarDevice*) {
    m_lost.store(true);
    m_stop.Notify();
}
