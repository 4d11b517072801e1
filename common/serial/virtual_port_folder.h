// The folder of virtual serial ports: $XDG_RUNTIME_DIR/orbo-serial/, or /tmp/orbo-serial-<uid>/
// without XDG_RUNTIME_DIR (or with one that is not an absolute path). Every symlink in it whose
// target is a character device is listed as a port (the simulator, socat or ser2net put their
// links there); names beginning with "." are not (links still being made). The folder is trusted
// only when it is a real folder (not a link) owned by the current user: in a shared /tmp another
// user could otherwise plant ports. Thread-safe.
#pragma once

#include <string>
#include "core/common_api.h"

// The folder's path (no trailing '/'), whether or not it exists.
ORBO_COMMON_API std::string VirtualSerialPortFolder();

// True when `folder` is a real folder owned by the current user.
ORBO_COMMON_API bool IsTrustedVirtualSerialPortFolder(const std::string& folder);

// Creates the folder (mode 0700) when missing; false with a log line when it cannot or when an
// existing one is not trusted. An existing trusted folder is narrowed to mode 0700.
ORBO_COMMON_API bool EnsureVirtualSerialPortFolder();

// Puts a link named `linkName` (no '/') to `target` into the folder (creating the folder first)
// and gives its full path in `linkPath`; that path is the port's name. A link of that name whose
// target no longer exists (left by a process that died) is replaced; one that still leads to a
// character device is refused, as is an existing entry that is not a link. False with a log line
// on failure. The creator removes the link (unlink) when its port goes away.
ORBO_COMMON_API bool CreateVirtualSerialPortLink(const std::string& linkName,
                                                 const std::string& target, std::string& linkPath);
