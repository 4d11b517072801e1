// The version of one of the project's own binaries (the program, the CLI, the simulator, the
// libraries, the tests), read from the version note the build puts into each of them
// (version_note.h). Any other file has no version here.
// No state is kept: every function may be called from any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

// 0 when the file cannot be read or carries no version note (or out is null, outLength < 1);
// otherwise writes the version text ("0.1.0"), cut to outLength - 1 units, and returns 1.
ORBO_COMMON_API int GetFileVersionA(const char* path, char* out, int outLength);
ORBO_COMMON_API int GetFileVersionW(const WCHAR* path, WCHAR* out, int outLength);

// The version of this library as built (the same text its note carries).
ORBO_COMMON_API const char* GetOrboVersionText();
