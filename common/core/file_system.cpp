#include "file_system.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "base_string.h"
#include "dbg_output.h"
#include "path_text.h"

namespace {

template <class C>
bool StatPath(const C* path, struct stat& info, const char* operation) {
    std::string systemPath;
    if (path == nullptr || path[0] == C(0) || !ToSystemPath(path, systemPath, operation)) {
        return false;
    }
    return stat(systemPath.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int CreateTree(const std::string& path) {
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || folder == "/") return 1;
    if (IsFolder(folder)) return 1;
    // Each folder on the way down, outermost first; a parent that exists is passed over.
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string step = folder.substr(0, at);
        if (!step.empty() && step.back() != '/' && mkdir(step.c_str(), 0777) != 0 &&
            errno != EEXIST) {
            DbgOutputA(kDbgLevelWarning, "RecursiveCreateDirectory: creating %s failed: %s\r\n",
                       step.c_str(),
                       std::error_code(errno, std::generic_category()).message().c_str());
            return 0;
        }
        if (at == std::string::npos) break;
    }
    return IsFolder(folder) ? 1 : 0;
}

template <class C>
int CreateTreeT(const C* path) {
    std::string systemPath;
    if (path == nullptr || path[0] == C(0)) return 0;
    if (!ToSystemPath(path, systemPath, "RecursiveCreateDirectory")) return 0;
    return CreateTree(systemPath);
}

void Fill(LocalDateTime* out, const statx_timestamp& stamp) {
    if (out == nullptr) return;
    const timespec when{static_cast<time_t>(stamp.tv_sec), static_cast<long>(stamp.tv_nsec)};
    if (!ToLocalDateTime(when, *out)) *out = LocalDateTime{};
}

template <class C>
int FileTimesT(const C* path, LocalDateTime* creation, LocalDateTime* lastAccess,
               LocalDateTime* lastWrite) {
    std::string systemPath;
    if (path == nullptr || !ToSystemPath(path, systemPath, "GetFileSystemTime")) return 0;
    struct statx info {};
    if (statx(AT_FDCWD, systemPath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return 0;
    }
    Fill(creation, (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_mtime);
    Fill(lastAccess, info.stx_atime);
    Fill(lastWrite, info.stx_mtime);
    return 1;
}

template <class S>
void FormatSizeT(uint64_t size, S* out) {
    if (out == nullptr) return;
    constexpr uint64_t kKiB = 1024;
    constexpr uint64_t kMiB = kKiB * 1024;
    constexpr uint64_t kGiB = kMiB * 1024;
    constexpr uint64_t kTiB = kGiB * 1024;
    const double value = static_cast<double>(size);
    if (size < kKiB) {
        out->Format("%.0f ", value);
    } else if (size < kMiB) {
        out->Format("%.2f K", value / kKiB);
    } else if (size < kGiB) {
        out->Format("%.2f M", value / kMiB);
    } else if (size < kTiB) {
        out->Format("%.2f G", value / kGiB);
    } else {
        out->Format("%.2f T", value / kTiB);
    }
}

}  // namespace

int IsDirExistA(const char* path) {
    struct stat info {};
    return StatPath(path, info, "IsDirExist") && S_ISDIR(info.st_mode) ? 1 : 0;
}
int IsDirExistW(const WCHAR* path) {
    struct stat info {};
    return StatPath(path, info, "IsDirExist") && S_ISDIR(info.st_mode) ? 1 : 0;
}

int IsFileExistA(const char* path) {
    struct stat info {};
    return StatPath(path, info, "IsFileExist") ? 1 : 0;
}
int IsFileExistW(const WCHAR* path) {
    struct stat info {};
    return StatPath(path, info, "IsFileExist") && !S_ISDIR(info.st_mode) ? 1 : 0;
}

int RecursiveCreateDirectoryA(const char* path) {
    return CreateTreeT(path);
}
int RecursiveCreateDirectoryW(const WCHAR* path) {
    return CreateTreeT(path);
}

int GetFileSystemTimeA(const char* path, LocalDateTime* creation, LocalDateTime* lastAccess,
                       LocalDateTime* lastWrite) {
    return FileTimesT(path, creation, lastAccess, lastWrite);
}
int GetFileSystemTimeW(const WCHAR* path, LocalDateTime* creation, LocalDateTime* lastAccess,
                       LocalDateTime* lastWrite) {
    return FileTimesT(path, creation, lastAccess, lastWrite);
}

void FormatFileSizeA(uint64_t size, CBaseStringA* out) {
    FormatSizeT(size, out);
}
void FormatFileSizeW(uint64_t size, CBaseStringW* out) {
    FormatSizeT(size, out);
}
