// Processes, found through /proc: parent ids, processes by program name, ending them, and the
// single-instance check. Narrow (A, UTF-8) and wide (W, UTF-16) twins behave alike.
// Program names and paths are compared case-sensitively (they are Linux file names); a process
// whose program file may not be read (another user's, a kernel thread) is not found.
// Every function may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/common_api.h"
#include "platform_types.h"

class CPtrCtrl;

// The parent's process id, or 0xFFFFFFFF when the process cannot be queried.
ORBO_COMMON_API uint32_t GetParentProcessID(uint32_t processId);

// Appends to `out` (as pointer-sized integers) the ids of the running processes whose program
// file name — or full path, when compareFullPath is set ('\\' in the name counts as '/') —
// equals the name. A null or empty name, or a null container, does nothing. Returns how many
// were appended.
ORBO_COMMON_API int GetPidListByNameA(const char* name, int compareFullPath, CPtrCtrl* out);
ORBO_COMMON_API int GetPidListByNameW(const WCHAR* name, int compareFullPath, CPtrCtrl* out);

// Ends every such process at once (SIGKILL), writing "KillPidByName %s, pid=%d...\r\n" at level 2
// for each. Returns how many were signalled.
ORBO_COMMON_API int KillPidByNameA(const char* name, int compareFullPath);
ORBO_COMMON_API int KillPidByNameW(const WCHAR* name, int compareFullPath);

// Single instance, by an exclusive flock on the lock file SingleInstanceLockPath(name). Returns 0
// when another process (or another open of the file) holds the lock; otherwise takes the lock,
// keeps it until this process ends, and returns 1 (also on later calls with the same name). A
// null or empty name, or a lock file that cannot be opened for another reason than permissions,
// gives 1 (logged at level 3): nothing is known to run. A lock file of another user that may not
// be opened gives 0, as that user's instance counts.
ORBO_COMMON_API int CheckSingleInstanceA(const char* name);
ORBO_COMMON_API int CheckSingleInstanceW(const WCHAR* name);

// The lock file of a name: $XDG_RUNTIME_DIR (when absolute) or /tmp, then "orbo-" + the name with
// '/' and '\\' replaced by '_' + ".lock". Empty for an empty name or one too long for a file name.
ORBO_COMMON_API std::string SingleInstanceLockPath(const std::string& name);
