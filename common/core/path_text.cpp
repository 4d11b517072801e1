#include "path_text.h"

#include <cstring>

#include "dbg_output.h"
#include "utf_convert.h"

namespace {

template <class C>
bool StorePathT(C* out, const std::basic_string<C>& path, const char* operation,
                const std::string& shown) {
    if (out == nullptr) return false;
    if (path.size() > static_cast<size_t>(kMaxPathChars)) {
        DbgOutputA(kDbgLevelWarning, "%s: path of %zu characters exceeds the limit of %d: %s\r\n",
                   operation, path.size(), kMaxPathChars, shown.c_str());
        out[0] = C(0);
        return false;
    }
    std::memmove(out, path.c_str(), (path.size() + 1) * sizeof(C));
    return true;
}

bool RefuseLongPath(size_t length, const char* operation, const std::string& shown) {
    if (length <= static_cast<size_t>(kMaxPathChars)) return false;
    DbgOutputA(kDbgLevelWarning, "%s: path of %zu characters exceeds the limit of %d: %s\r\n",
               operation, length, kMaxPathChars, shown.c_str());
    return true;
}

}  // namespace

bool StorePath(char* out, const std::string& path, const char* operation) {
    return StorePathT(out, path, operation, path);
}

bool StorePath(WCHAR* out, const std::u16string& path, const char* operation) {
    return StorePathT(out, path, operation, Utf16ToUtf8Lossy(path));
}

bool ToSystemPath(const char* path, std::string& out, const char* operation) {
    out.clear();
    if (path == nullptr) return false;
    std::string normalized = NormalizedPath(path);
    if (RefuseLongPath(normalized.size(), operation, normalized)) return false;
    out = std::move(normalized);
    return true;
}

bool ToSystemPath(const WCHAR* path, std::string& out, const char* operation) {
    out.clear();
    if (path == nullptr) return false;
    const std::u16string normalized = NormalizedPath(path);
    if (RefuseLongPath(normalized.size(), operation, Utf16ToUtf8Lossy(normalized))) return false;
    if (!Utf16ToUtf8(normalized, out)) {
        DbgOutputA(kDbgLevelWarning, "%s: path is not valid UTF-16: %s\r\n", operation,
                   Utf16ToUtf8Lossy(normalized).c_str());
        return false;
    }
    return true;
}

bool FromSystemPath(const std::string& path, std::string& out) {
    out = path;
    return true;
}

bool FromSystemPath(const std::string& path, std::u16string& out) {
    return Utf8ToUtf16(path, out);
}
