// The process-wide port number table: every port name gets a number the first time it is seen
// (by enumeration or by an open by name), from 1 upwards, stable for the life of the process.
// OpenSerial(number) and the device library's open-by-number resolve through it. 0 is never a
// port number. Names are compared exactly (Linux paths are case-sensitive). Thread-safe.
#pragma once

#include <string>
#include "core/common_api.h"

// The number of a name, registering it when new; 0 for an empty name.
ORBO_COMMON_API int SerialPortNumberOf(const std::string& name);

// The name registered under a number; false (name untouched) when none is.
ORBO_COMMON_API bool SerialPortNameOf(int number, std::string& name);
