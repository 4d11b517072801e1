// Listing the serial ports present, for the port list of a window or a shell.
//
// The names are device paths (serial_port_list.h says which ports and in which order: hardware
// ports first, then the virtual port folder's links). Every name listed is also registered in
// the port number table (serial_port_table.h), so it has a number for OpenSerial(number).
// Stateless; any thread.
#pragma once

#include "core/common_api.h"
#include "core/platform_types.h"
#include "core/ptr_ctrl.h"

// Appends the name of every present serial port that the container does not hold yet (compared
// exactly: Linux paths are case-sensitive) as a new zero-terminated string: UTF-8 for A, UTF-16
// for W. Each string is a plain heap block (malloc) owned by the container's owner until
// FreeSerialPortNameA/W. Returns the number of names appended (0 for a null container).
ORBO_COMMON_API int EnumSerialPortNameA(CPtrCtrl* list);
ORBO_COMMON_API int EnumSerialPortNameW(CPtrCtrl* list);

// Frees every string in the container and empties it; nothing for a null container. The two are
// the same: either frees the strings of either width.
ORBO_COMMON_API void FreeSerialPortNameA(CPtrCtrl* list);
ORBO_COMMON_API void FreeSerialPortNameW(CPtrCtrl* list);

// 1 when the name (a path, a link name of the virtual port folder, "COM<n>" or a bare device
// name, as OpenSerialPort resolves it) leads to an existing character device, else 0. Any
// character device counts, so a pseudo-terminal is not taken for a vanished port.
ORBO_COMMON_API int IsSerialPortNameExistA(const char* name);
ORBO_COMMON_API int IsSerialPortNameExistW(const WCHAR* name);
