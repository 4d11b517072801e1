// Writing received blocks into a local file for the network copies: short writes are continued,
// so the count returned is exactly what reached the file.
#pragma once

#include <cstddef>
#include "core/common_api.h"

// Writes size bytes to the descriptor, repeating short writes (and writes interrupted by a
// signal). Returns the bytes written: size on success, fewer when a write failed (errno tells
// why). Any thread.
ORBO_COMMON_API size_t WriteAllToFile(int fd, const void* data, size_t size);
