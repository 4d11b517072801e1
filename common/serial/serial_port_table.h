// The process-wide port number table: every port name gets a number the first time it is seen
// (by enumeration or by an open by name), from 1 upwards, stable for the life of the process.
// OpenSerial(number) and the device library's open-by-number resolve through it. 0 is never a
// port number. Thread-safe.
#pragma once

#include <string>

// The number of a name, registering it when new.
int SerialPortNumberOf(const std::string& name);

// The name registered under a number; false when none is.
bool SerialPortNameOf(int number, std::string& name);
