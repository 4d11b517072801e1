// Joining, taking apart and relating path names, as narrow (A, UTF-8) and wide (W, UTF-16) twins.
//
// Path rules of the library: '/' is the separator written; '\\' is accepted as a separator on
// input (so "SaveData\\x.dat" works as written) and every path these functions write has '/'
// only. A path is absolute when it starts with a separator. Comparisons are case-sensitive.
// Output buffers hold at least kMaxPathChars + 1 (260) units unless a size is given; a result
// longer than kMaxPathChars units is refused (the output gets an empty text, a warning is
// logged, the result reports failure), never cut into a different path.
// No state is kept: every function may be called from any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

// out := folder + '/' (when the folder is not empty and does not end with a separator) + name.
// Folder and name may be null (treated as empty); out may be the same buffer as either.
// 1 on success; 0 when out is null or the result does not fit.
ORBO_COMMON_API int CombinePathNameA(char* out, const char* folder, const char* name);
ORBO_COMMON_API int CombinePathNameW(WCHAR* out, const WCHAR* folder, const WCHAR* name);

// When base names a folder that contains path — path starts with base (one trailing separator
// of either ignored, '/' and '\\' alike) and the next character of path is a separator or its
// end — the rest of path after base with leading separators skipped; otherwise path itself.
// "/tool2/x" is not inside "/tool". Returns a pointer into path (null only for a null path).
ORBO_COMMON_API const char* GetFileRelativePathA(const char* path, const char* base);
ORBO_COMMON_API const WCHAR* GetFileRelativePathW(const WCHAR* path, const WCHAR* base);

// An absolute path is copied to out (separators normalised) and 0 is returned; a relative one is
// joined to base as by CombinePathName and 1 is returned. -1 when out is null or the result does
// not fit (out then holds an empty text).
ORBO_COMMON_API int GetFileAbsolutePathA(char* out, const char* path, const char* base);
ORBO_COMMON_API int GetFileAbsolutePathW(WCHAR* out, const WCHAR* path, const WCHAR* base);

// In place: normalises separators and appends '/' when the path is not empty and does not end
// with one. Returns the length before; -1 (path unchanged) when the '/' would not fit the
// buffer of kMaxPathChars + 1 units or the path is null.
ORBO_COMMON_API int FixToPathNameA(char* path);
ORBO_COMMON_API int FixToPathNameW(WCHAR* path);

// In place: normalises separators and removes one trailing separator. Null is allowed.
ORBO_COMMON_API void FixToFileNameA(char* path);
ORBO_COMMON_API void FixToFileNameW(WCHAR* path);

// out := path with one trailing separator removed and cut at its last separator; empty when
// there is none, "/" for a name directly under the root. Out may be the path itself.
// 0 when either argument is null or the result does not fit, else 1.
ORBO_COMMON_API int GetFileParentDirA(char* out, const char* path);
ORBO_COMMON_API int GetFileParentDirW(WCHAR* out, const WCHAR* path);

// out := the part after the last separator, or the whole path when there is none.
// 0 when either argument is null or the result does not fit, else 1.
ORBO_COMMON_API int GetFileShortNameA(char* out, const char* path);
ORBO_COMMON_API int GetFileShortNameW(WCHAR* out, const WCHAR* path);

// out := the text after the last dot of the file name (the last path component), without the
// dot, cut to outLength - 1 units; an empty text when the name has no dot or outLength is too
// small for the whole extension. "a.b/c" has no extension.
ORBO_COMMON_API void GetFileExtNameA(const char* path, char* out, int outLength);
ORBO_COMMON_API void GetFileExtNameW(const WCHAR* path, WCHAR* out, int outLength);

// The extension is given with its dot. When the file name has a dot, everything from the last
// dot is replaced by the extension (an empty or null extension removes it); otherwise it is
// appended; separators are normalised. pathSize is the size of the path buffer in units,
// terminator included. 1 on success; 0 (path unchanged) when the result does not fit or the path is
// null.
ORBO_COMMON_API int SetFileExtNameA(char* path, int pathSize, const char* extension);
ORBO_COMMON_API int SetFileExtNameW(WCHAR* path, int pathSize, const WCHAR* extension);
