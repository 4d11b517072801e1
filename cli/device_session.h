// The sensor link of one command: the tool's device connection (device/device_connection.h),
// connected on the resolved port with the common line settings and closed and destroyed with the
// session.
//
// Connecting reads the sensor's version and serial number inside command mode and leaves command
// mode again: a sensor that does not answer fails the open, so every command learns at once
// whether it talks to a sensor. Main thread only.
#pragma once

#include <atomic>
#include <string>

#include "dataprocess/radar_device_interface.h"
#include "device/device_connection.h"

class CliContext;
class StopSignal;

class DeviceSession {
public:
    DeviceSession() = default;
    // Closes the link and destroys the device.
    ~DeviceSession() = default;

    // Resolves the port and opens the link. kExitSuccess; otherwise the exit code of
    // CliContext::ResolvePort, or kExitNoDevice when the port does not open or the sensor does
    // not answer; the cause is printed on the error line ("Failed to open device: PORT: no such
    // port", "...: in use by another program: NAME (pid N)", ...).
    int Open(const CliContext& context);

    IRadarDevice* Device() const { return m_connection.Device(); }
    const std::string& PortName() const { return m_portName; }

private:
    DeviceConnection m_connection;
    std::string m_portName;
};

// Wakes a StopSignal when the link vanishes (the sensor was unplugged, the simulator ended) so
// that a long command ends instead of waiting for bytes that cannot come. Registered for its
// lifetime; destroy it before the session.
class LinkLossWatch : public IRadarDeviceListener {
public:
    LinkLossWatch(IRadarDevice* device, StopSignal& stop);
    ~LinkLossWatch() override;
    LinkLossWatch(const LinkLossWatch&) = delete;
    LinkLossWatch& operator=(const LinkLossWatch&) = delete;

    // True once the link was lost.
    bool Lost() const { return m_lost.load(); }

    void OnRadarDeviceConnected(IRadarDevice* device) override;
    void OnRadarDeviceDisconnected(IRadarDevice* device) override;

private:
    IRadarDevice* m_device;
    StopSignal& m_stop;
    std::atomic<bool> m_lost{false};
};
