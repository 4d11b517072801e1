#include "device_session.h"

#include "cli_context.h"
#include "cli_output.h"
#include "exit_codes.h"
#include "resources/string_table.h"
#include "stop_signal.h"

int DeviceSession::Open(const CliContext& context) {
    int number = 0;
    const int resolved = context.ResolvePort(number, m_portName);
    if (resolved != kExitSuccess) return resolved;
    const DeviceConnectResult connected = m_connection.Connect(number, context.Serial());
    if (connected == DeviceConnectResult::NoDevice) {
        PrintError("the radar device cannot be created");
        return kExitFailed;
    }
    if (connected != DeviceConnectResult::Connected) {
        PrintError(std::string(LoadStringText(kStrOpenDeviceFailed)) + ": " + m_portName + ": " +
                   SerialOpenFailureText(m_connection.OpenFailure()));
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
