// Tests for files and folders, creating folder trees, file times and file size text, as narrow
// (A) and wide (W) twins. Paths follow the library's rules (path_name.h): '\\' is accepted as a
// separator, a path longer than kMaxPathChars units is refused, wide paths are converted exactly.
// Names are taken literally: '*' and '?' are ordinary characters, not patterns.
// No state is kept: every function may be called from any thread.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"
#include "time_util.h"

class CBaseStringA;
class CBaseStringW;

// 1 when an entry of that name exists and is a folder (a link to a folder counts); else 0.
ORBO_COMMON_API int IsDirExistA(const char* path);
ORBO_COMMON_API int IsDirExistW(const WCHAR* path);

// The narrow form: 1 when an entry of that name exists, file or folder.
// The wide form: 1 when an entry of that name exists and is not a folder.
ORBO_COMMON_API int IsFileExistA(const char* path);
ORBO_COMMON_API int IsFileExistW(const WCHAR* path);

// Creates the folder and every missing parent, outermost first. Nothing to do for a null or
// empty path, the root, or a folder that exists. Returns 1 when the folder exists afterwards,
// else 0 (the failing step is logged at level 3).
ORBO_COMMON_API int RecursiveCreateDirectoryA(const char* path);
ORBO_COMMON_API int RecursiveCreateDirectoryW(const WCHAR* path);

// Fills the records given (any may be null) with the file's creation, last access and last
// write times in local time. Creation is the file system's birth time where it keeps one, else
// the last write time. 0 when the entry cannot be examined, else 1.
ORBO_COMMON_API int GetFileSystemTimeA(const char* path, LocalDateTime* creation,
                                       LocalDateTime* lastAccess, LocalDateTime* lastWrite);
ORBO_COMMON_API int GetFileSystemTimeW(const WCHAR* path, LocalDateTime* creation,
                                       LocalDateTime* lastAccess, LocalDateTime* lastWrite);

// Sets the string to the size as text ("C" formatting): below 1024 "%.0f " of the bytes; below
// 1 MiB "%.2f K" of KiB; below 1 GiB "%.2f M" of MiB; below 1 TiB "%.2f G" of GiB; else
// "%.2f T" of TiB. 1023 gives "1023 ", 1536 gives "1.50 K". Nothing happens for a null string.
ORBO_COMMON_API void FormatFileSizeA(uint64_t size, CBaseStringA* out);
ORBO_COMMON_API void FormatFileSizeW(uint64_t size, CBaseStringW* out);
