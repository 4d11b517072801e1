// Listing a folder's entries, as narrow (A) and wide (W) twins. Paths follow the library's rules
// (path_name.h). Hidden entries are those whose name begins with a dot.
//
// Listings go into CPtrCtrl containers whose entries are newly allocated zero-terminated texts:
// the caller owns every entry it receives and frees them with FreeFileListA/W. Names that cannot
// be represented in the caller's width (a file name that is not UTF-8, for the wide form) are
// left out and logged, never altered. No state is kept: every function may be called from any
// thread (a container is used by one thread at a time).
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

class CPtrCtrl;

// Lists the folder's entries in the order the file system returns them:
// 1. Both containers that are given are emptied first, without freeing what they held (those
//    entries stay the caller's). Nothing more for a null folder.
// 2. "." and "..", and hidden entries unless includeHidden is set, are skipped.
// 3. A folder (or a link to one) goes to `folders`, anything else to `files`; an entry whose
//    container is null is skipped.
// 4. With a non-empty extension list (extensions with their dots, separated by ';', as
//    ".bin;.hex"), a file is kept only when its extension — its last dot and what follows — equals
//    one of the list's items, ignoring the case of A-Z; a name without a dot is skipped.
// 5. An entry is stored as the name alone, or with fullPath as CombinePathName(folder, name) (an
//    entry whose full path would exceed the limit is left out and logged).
// Returns 1 when the folder could be read, else 0 (containers then empty).
ORBO_COMMON_API int GetLocalFolderFileListA(const char* folder, CPtrCtrl* folders, CPtrCtrl* files,
                                            const char* extensions, int includeHidden,
                                            int fullPath);
ORBO_COMMON_API int GetLocalFolderFileListW(const WCHAR* folder, CPtrCtrl* folders, CPtrCtrl* files,
                                            const WCHAR* extensions, int includeHidden,
                                            int fullPath);

// Frees every entry of a listing and empties the container. Null is allowed.
ORBO_COMMON_API void FreeFileListA(CPtrCtrl* list);
ORBO_COMMON_API void FreeFileListW(CPtrCtrl* list);

// 1 when the folder directly holds an entry whose name equals `name` exactly (case-sensitive, no
// patterns); hidden entries count only with includeHidden. Else 0.
ORBO_COMMON_API int FindFileInFolderA(const char* folder, const char* name, int includeHidden);
ORBO_COMMON_API int FindFileInFolderW(const WCHAR* folder, const WCHAR* name, int includeHidden);
