// The serial ports present on this machine, as device paths: first the hardware ports that sysfs
// knows (ttyACM*, ttyUSB*, and ttyS* whose sysfs "type" is not 0, i.e. a UART is behind it),
// whose device node exists, in natural order (ttyACM0, ttyACM1, ..., ttyUSB2, ttyUSB10); then
// every link in the virtual port folder whose target is a character device, in natural order of
// the link names, named by the link's full path. Bluetooth serial ports (rfcomm*) are left out.
// No name appears twice. The exported lists (EnumSerialPortNameA/W) are built from this.
// Stateless; any thread.
#pragma once

#include <string>
#include <vector>
#include "core/common_api.h"

// Where the list is read from; tests point these at a fake tree.
struct ORBO_COMMON_API SerialPortRoots {
    std::string sysClassTty = "/sys/class/tty";
    std::string dev = "/dev";
    std::string virtualFolder;  // empty: no virtual ports
};

// The roots of this machine (the virtual folder of VirtualSerialPortFolder()).
ORBO_COMMON_API SerialPortRoots SystemSerialPortRoots();

ORBO_COMMON_API std::vector<std::string> ListSerialPortNames(const SerialPortRoots& roots);

// Natural order: runs of digits compare by their value, everything else byte by byte.
ORBO_COMMON_API bool SerialPortNameLess(const std::string& a, const std::string& b);
