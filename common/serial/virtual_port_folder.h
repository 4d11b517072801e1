// The folder of virtual serial ports: $XDG_RUNTIME_DIR/orbo-serial/, or /tmp/orbo-serial-<uid>/
// without XDG_RUNTIME_DIR. Every symlink in it whose target is a character device is listed as a
// port (the simulator, socat or ser2net put their links there). Thread-safe.
#pragma once

#include <string>

// The folder's path (no trailing '/'), whether or not it exists.
std::string VirtualSerialPortFolder();

// Creates the folder (mode 0700) when missing; false with a log line when it cannot.
bool EnsureVirtualSerialPortFolder();
