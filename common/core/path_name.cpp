#include "path_name.h"

#include <string>

#include "dbg_output.h"
#include "path_text.h"

namespace {

template <class C>
using Text = std::basic_string<C>;

template <class C>
void NormalizeInPlace(C* path) {
    for (; *path != C(0); ++path) {
        if (*path == C('\\')) *path = C('/');
    }
}

// Position of the last separator, or npos.
template <class C>
size_t LastSeparator(const C* text, size_t length) {
    for (size_t i = length; i > 0; --i) {
        if (IsPathSeparator(text[i - 1])) return i - 1;
    }
    return Text<C>::npos;
}

// Position of the dot that starts the file name's extension, or npos.
template <class C>
size_t ExtensionDot(const C* path, size_t length) {
    for (size_t i = length; i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) break;
        if (path[i - 1] == C('.')) return i - 1;
    }
    return Text<C>::npos;
}

template <class C>
int CombinePathNameT(C* out, const C* folder, const C* name) {
    if (out == nullptr) return 0;
    Text<C> joined = NormalizedPath(folder);
    if (!joined.empty() && joined.back() != C('/')) joined.push_back(C('/'));
    joined += NormalizedPath(name);
    return StorePath(out, joined, "CombinePathName") ? 1 : 0;
}

template <class C>
const C* GetFileRelativePathT(const C* path, const C* base) {
    const size_t pathLength = TextLength(path);
    size_t baseLength = TextLength(base);
    if (pathLength == 0 || baseLength == 0) return path;
    if (IsPathSeparator(base[baseLength - 1])) --baseLength;
    if (pathLength < baseLength) return path;
    for (size_t i = 0; i < baseLength; ++i) {
        const bool same =
            path[i] == base[i] || (IsPathSeparator(path[i]) && IsPathSeparator(base[i]));
        if (!same) return path;
    }
    // Only a whole folder name makes the path relative: "/tool2" does not lie in "/tool".
    if (baseLength < pathLength && !IsPathSeparator(path[baseLength])) return path;
    const C* rest = path + baseLength;
    while (IsPathSeparator(*rest)) ++rest;
    return rest;
}

template <class C>
int GetFileAbsolutePathT(C* out, const C* path, const C* base) {
    if (out == nullptr) return -1;
    if (path != nullptr && IsPathSeparator(path[0])) {
        return StorePath(out, NormalizedPath(path), "GetFileAbsolutePath") ? 0 : -1;
    }
    return CombinePathNameT(out, base, path) == 1 ? 1 : -1;
}

template <class C>
int FixToPathNameT(C* path) {
    if (path == nullptr) return -1;
    NormalizeInPlace(path);
    const size_t length = TextLength(path);
    if (length == 0 || path[length - 1] == C('/')) return static_cast<int>(length);
    if (length + 1 > static_cast<size_t>(kMaxPathChars)) {
        DbgOutputA(kDbgLevelWarning,
                   "FixToPathName: no room for a separator after %zu characters\r\n", length);
        return -1;
    }
    path[length] = C('/');
    path[length + 1] = C(0);
    return static_cast<int>(length);
}

template <class C>
void FixToFileNameT(C* path) {
    if (path == nullptr) return;
    NormalizeInPlace(path);
    const size_t length = TextLength(path);
    if (length > 0 && path[length - 1] == C('/')) path[length - 1] = C(0);
}

template <class C>
int GetFileParentDirT(C* out, const C* path) {
    if (out == nullptr || path == nullptr) return 0;
    Text<C> parent = NormalizedPath(path);
    if (!parent.empty() && parent.back() == C('/')) parent.pop_back();
    const size_t cut = LastSeparator(parent.c_str(), parent.size());
    if (cut == Text<C>::npos) {
        parent.clear();
    } else {
        parent.resize(cut == 0 ? 1 : cut);  // the root stays the root
    }
    return StorePath(out, parent, "GetFileParentDir") ? 1 : 0;
}

template <class C>
int GetFileShortNameT(C* out, const C* path) {
    if (out == nullptr || path == nullptr) return 0;
    const size_t length = TextLength(path);
    const size_t cut = LastSeparator(path, length);
    const Text<C> name(cut == Text<C>::npos ? path : path + cut + 1);
    return StorePath(out, name, "GetFileShortName") ? 1 : 0;
}

template <class C>
void GetFileExtNameT(const C* path, C* out, int outLength) {
    if (out == nullptr || outLength <= 0) return;
    out[0] = C(0);
    const size_t length = TextLength(path);
    const size_t dot = ExtensionDot(path, length);
    if (dot == Text<C>::npos) return;
    const size_t extLength = length - dot - 1;
    if (extLength + 1 > static_cast<size_t>(outLength)) return;
    for (size_t i = 0; i < extLength; ++i) out[i] = path[dot + 1 + i];
    out[extLength] = C(0);
}

template <class C>
int SetFileExtNameT(C* path, int pathSize, const C* extension) {
    if (path == nullptr || pathSize <= 0) return 0;
    const size_t length = TextLength(path);
    const size_t dot = ExtensionDot(path, length);
    const size_t keep = dot == Text<C>::npos ? length : dot;
    const size_t extLength = TextLength(extension);
    if (keep + extLength + 1 > static_cast<size_t>(pathSize)) return 0;
    for (size_t i = 0; i < extLength; ++i) path[keep + i] = extension[i];
    path[keep + extLength] = C(0);
    NormalizeInPlace(path);
    return 1;
}

}  // namespace

int CombinePathNameA(char* out, const char* folder, const char* name) {
    return CombinePathNameT(out, folder, name);
}
int CombinePathNameW(WCHAR* out, const WCHAR* folder, const WCHAR* name) {
    return CombinePathNameT(out, folder, name);
}

const char* GetFileRelativePathA(const char* path, const char* base) {
    return GetFileRelativePathT(path, base);
}
const WCHAR* GetFileRelativePathW(const WCHAR* path, const WCHAR* base) {
    return GetFileRelativePathT(path, base);
}

int GetFileAbsolutePathA(char* out, const char* path, const char* base) {
    return GetFileAbsolutePathT(out, path, base);
}
int GetFileAbsolutePathW(WCHAR* out, const WCHAR* path, const WCHAR* base) {
    return GetFileAbsolutePathT(out, path, base);
}

int FixToPathNameA(char* path) {
    return FixToPathNameT(path);
}
int FixToPathNameW(WCHAR* path) {
    return FixToPathNameT(path);
}

void FixToFileNameA(char* path) {
    FixToFileNameT(path);
}
void FixToFileNameW(WCHAR* path) {
    FixToFileNameT(path);
}

int GetFileParentDirA(char* out, const char* path) {
    return GetFileParentDirT(out, path);
}
int GetFileParentDirW(WCHAR* out, const WCHAR* path) {
    return GetFileParentDirT(out, path);
}

int GetFileShortNameA(char* out, const char* path) {
    return GetFileShortNameT(out, path);
}
int GetFileShortNameW(WCHAR* out, const WCHAR* path) {
    return GetFileShortNameT(out, path);
}

void GetFileExtNameA(const char* path, char* out, int outLength) {
    GetFileExtNameT(path, out, outLength);
}
void GetFileExtNameW(const WCHAR* path, WCHAR* out, int outLength) {
    GetFileExtNameT(path, out, outLength);
}

int SetFileExtNameA(char* path, int pathSize, const char* extension) {
    return SetFileExtNameT(path, pathSize, extension);
}
int SetFileExtNameW(WCHAR* path, int pathSize, const WCHAR* extension) {
    return SetFileExtNameT(path, pathSize, extension);
}
