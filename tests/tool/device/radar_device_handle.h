// The radar device library's serial device for tool tests against zorvan-sim: an owning handle,
// and the device opened on a port the way the stream pages open it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dataprocess/radar_device_interface.h"
#include "device/device_connection.h"
#include "device/radar_stream_link.h"
#include "serial/serial_port_table.h"

using RadarDeviceHandle = RadarDevicePtr;

// A device opened on the port at 115200 8N1 with protocol version 2, nothing read at the open
// and command mode left, as the stream pages open it. Null, with a test failure, when it does
// not open.
inline RadarDeviceHandle OpenStreamDevice(const std::string& portPath) {
    RadarDeviceHandle device(Orbo_Interface_RadarDevice_Serial_Create());
    if (device == nullptr) {
        ADD_FAILURE() << "the library made no serial device";
        return nullptr;
    }
    const int opened = Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
        device.get(), SerialPortNumberOf(portPath), 115200, 8, 0, 0, eRADAR_PROTOCOL_VERSION_2, 0,
        0, 0, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    if (opened != 1) {
        ADD_FAILURE() << "cannot open " << portPath << ": " << opened;
        return nullptr;
    }
    return device;
}
