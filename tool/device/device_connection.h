// One connection of the tool to the sensor: the device handle of the radar device library and
// the connect sequence that the main window and zorvan-cli share.
//
// Connecting opens the port by its number with the line settings and the protocol's command mode
// values, reading the sensor's version and serial number inside command mode, so a sensor that
// does not answer fails the connect. The main window's connect keeps command mode after the
// open, reads the parameter record (detect setting, trigger thresholds, hold thresholds, each
// only after the one before succeeded) and leaves command mode; the plain connect leaves it
// within the open. Closing and destroying the device comes with the connection.
//
// One thread at a time: the window thread, or zorvan-cli's main thread.
#pragma once

#include <memory>

#include "dataprocess/radar_device_interface.h"
#include "serial/serial_port_open.h"

struct RadarParamSetting;

// Owns a device of the radar device library: closes the link and destroys the device.
struct RadarDeviceDeleter {
    void operator()(IRadarDevice* device) const;
};
using RadarDevicePtr = std::unique_ptr<IRadarDevice, RadarDeviceDeleter>;

enum class DeviceConnectResult {
    Connected,
    NoDevice,    // the library could not create a device (out of memory)
    OpenFailed,  // the port did not open or no sensor answered: OpenFailure() says why
};

class DeviceConnection {
public:
    DeviceConnection() = default;

    // The plain connect: version and serial number read, command mode left within the open.
    DeviceConnectResult Connect(int portNumber, const SerialLineSettings& line);
    // The main window's connect: as Connect, with command mode kept for reading the parameters
    // into `record` and left afterwards. `readResult` receives the read's result (as
    // ReadAllParametersInCmdMode; a failed read leaves the link connected and the record as it
    // was: it takes all three reads or none).
    DeviceConnectResult ConnectAndReadParameters(int portNumber, const SerialLineSettings& line,
                                                 RadarParamSetting& record, int& readResult);

    // Why the last connect failed (empty after a successful one).
    SerialOpenFailure OpenFailure() const;

    // Creates the device now (listeners are registered before the first connect); the device, or
    // null when the library could not make one.
    IRadarDevice* CreateDevice();

    // The device (null before the first connect); valid as long as the connection.
    IRadarDevice* Device() const { return m_device.get(); }

private:
    DeviceConnectResult Open(int portNumber, const SerialLineSettings& line, bool keepCmdMode);

    RadarDevicePtr m_device;
};
