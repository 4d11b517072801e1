// Running a command line as a child process and collecting its standard output.
//
// The command runs either through the shell ("/bin/sh -c <command line>", where the original
// platform used its command interpreter) or directly: the command line is then split into words
// at blanks, with '"' and '\'' quoting and '\\' escaping the next character, the first word being
// the program (looked up in PATH). The child's standard input is /dev/null, its standard error is
// the caller's; no other descriptor of the caller reaches it. Any thread may call these; each
// call blocks until the child has ended.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

// Receives the child's standard output in order, in chunks of up to kSysCmdChunkBytes bytes
// (not terminated; valid during the call only), on the calling thread. The result is not used.
using SysCmdOutputCallback = int (*)(uintptr_t userData, const char* data, int length);

constexpr int kSysCmdChunkBytes = 4095;

// Writes "Call cmd:%s\r\n" at level 2, starts the command, feeds its output to the callback
// (null: the output is read and dropped), waits for it and stores its exit status in *exitCode
// (may be null): the exit code, or 128 + the signal number when a signal ended it. Returns 1.
// When the child cannot be started, writes "CreateProcess Failed!" at level 2 (with the reason)
// and returns 0. A null or empty command line returns 0. The W form takes the command line as
// UTF-16 (one that cannot be converted returns 0); the output stays bytes.
ORBO_COMMON_API int do_syscmd_A(const char* commandLine, int useShell,
                                SysCmdOutputCallback callback, uintptr_t userData, int* exitCode);
ORBO_COMMON_API int do_syscmd_W(const WCHAR* commandLine, int useShell,
                                SysCmdOutputCallback callback, uintptr_t userData, int* exitCode);
