// Thread diagnostics: CPU times of a worker and call-stack dumps for a stuck process.
//
// All functions may be called from any thread.
#pragma once

#include <cstdint>

#include "base_thread.h"
#include "core/common_api.h"
#include "platform_types.h"

// Sets both outputs to 0, then stores the CPU time the thread behind `handle` (a live handle of
// CBaseThread, mapped to its kernel id by ThreadIdFromHandle) has spent in kernel mode and in
// user mode, in milliseconds, truncating; the kernel counts in clock ticks (usually 10 ms), read
// from /proc/self/task/<tid>/stat. Returns 1 on success, 0 when the handle is unknown or already
// released or the times cannot be read. A null output is skipped.
ORBO_COMMON_API int GetThreadRunTimeInfoIn_Win32(ThreadHandle handle, uint64_t* kernelMs,
                                                 uint64_t* userMs);

// Writes the calling thread's call stack through DbgOutputA (level 2), one line per frame:
// "%p (%s): %s: %s\r\n" (address, module, file, function), with "(module-name not available)",
// "(filename not available)" and "(function-name not available)" for what is unknown. Source
// files are never known here, so every frame takes this form. Functions that are not exported
// (static ones, those of executables linked without -rdynamic) have no name.
ORBO_COMMON_API void DumpThreadStack();

// Writes "dump thread callstack...\r\n\r\n", then for every thread of this process (listed from
// /proc/self/task) "THREAD ID=0x%08X, base priority=%d, delta priority=%d\r\n" (the kernel's
// priority and nice values), its call stack and "THREAD ID=0x%08X dump complete\r\n\r\n", all at
// level 2. Only the calling thread's stack can be walked; for every other thread a line says that
// its stack is not available. With a file path (UTF-16; '\\' accepted as a separator) the same
// lines also go to that file, created or truncated; failures to create or write it are reported
// at level 4 and the dump to the debug output goes on. When the thread list cannot be read,
// nothing but a warning is written.
ORBO_COMMON_API void DumpAllThreadsStack(const WCHAR* filePath);
