// Creating a folder with all its missing parents, as the archive classes do before they write.
// Paths follow the library's rules (core/path_name.h): '/' is written, '\\' is accepted as a
// separator, a path longer than kMaxPathChars bytes is refused. Any thread may call.
#pragma once
#include "core/common_api.h"

// True when the folder exists afterwards: an existing folder succeeds, an existing entry that is
// not a folder fails, otherwise the missing parents are created outermost first and then the
// folder itself (a relative path is created below the working folder). False for a null or empty
// path or when a step fails (logged).
ORBO_COMMON_API bool CreateFolder(const char* path);
