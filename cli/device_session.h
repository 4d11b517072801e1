// The sensor link of one command: a device of the radar device library, opened on the resolved
// port with the common line settings and closed and destroyed with the session.
//
// Opening reads the sensor's version and serial number inside command mode and leaves command
// mode again, as the main window does on connect: a sensor that does not answer fails the open,
// so every command learns at once whether it talks to a sensor. Main thread only.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "dataprocess/radar_device_interface.h"

class CliContext;
class StopSignal;

struct RadarDeviceDeleter {
    void operator()(IRadarDevice* device) const;
};
using RadarDevicePtr = std::unique_ptr<IRadarDevice, RadarDeviceDeleter>;

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

    IRadarDevice* Device() const { return m_device.get(); }
    const std::string& PortName() const { return m_portName; }

private:
    RadarDevicePtr m_device;
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
