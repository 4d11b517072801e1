#include "file_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "dbg_output.h"
#include "file_replace.h"
#include "path_text.h"
#include "unique_fd.h"

namespace {

std::string ErrorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// Opens a file for reading its bytes; folders are refused. O_NONBLOCK keeps a pipe without a
// writer from blocking the open; it means nothing for regular files.
UniqueFd OpenForReading(const std::string& path, struct stat& info) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) return fd;
    if (fstat(fd.Get(), &info) != 0 || S_ISDIR(info.st_mode)) return UniqueFd();
    return fd;
}

// Reads up to `size` bytes, repeating short reads until all are in or the file ends.
// The count read, or -1 (errno set) on an error.
int64_t ReadFull(int fd, uint8_t* buffer, uint64_t size) {
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t ReadFileDataImpl(const std::string& path, uint8_t** data) {
    struct stat info {};
    UniqueFd fd = OpenForReading(path, info);
    if (!fd.Valid() || info.st_size <= 0) return 0;
    const auto size = static_cast<uint64_t>(info.st_size);
    if (data == nullptr) return static_cast<int64_t>(size);
    const int64_t got = ReadDescriptorData(fd.Get(), size, data);
    if (got == 0 && errno != 0) {
        DbgOutputA(kDbgLevelWarning, "ReadFileData: reading %s failed: %s\r\n", path.c_str(),
                   ErrorText(errno).c_str());
    }
    return got;
}

int WriteFileDataImpl(const std::string& path, const void* data, uint64_t size, int append) {
    if (append == 0) {
        FileReplacement file;
        if (!file.Open(path, 0666)) {
            DbgOutputA(kDbgLevelWarning, "WriteFile failed create file:%s, error=%s\r\n",
                       path.c_str(), file.Error().c_str());
            return 0;
        }
        if (!file.Write(data, size) || !file.Commit()) {
            DbgOutputA(kDbgLevelWarning, "WriteFile failed write file:%s, error=%s\r\n",
                       path.c_str(), file.Error().c_str());
            return 0;
        }
        return 1;
    }
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
    if (!fd.Valid()) {
        DbgOutputA(kDbgLevelWarning, "WriteFile failed create file:%s, error=%s\r\n", path.c_str(),
                   ErrorText(errno).c_str());
        return 0;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint64_t done = 0;
    int writeError = 0;
    while (done < size && writeError == 0) {
        const ssize_t n = write(fd.Get(), bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writeError = n < 0 ? errno : EIO;
        } else {
            done += static_cast<uint64_t>(n);
        }
    }
    const bool closed = fd.Close();
    if (writeError != 0 || !closed) {
        DbgOutputA(kDbgLevelWarning, "WriteFile failed write file:%s, error=%s\r\n", path.c_str(),
                   ErrorText(writeError != 0 ? writeError : errno).c_str());
        return 0;
    }
    return 1;
}

int IsFileDataEqualImpl(const std::string& path1, const std::string& path2) {
    struct stat info1 {
    }, info2{};
    UniqueFd fd1 = OpenForReading(path1, info1);
    UniqueFd fd2 = OpenForReading(path2, info2);
    if (!fd1.Valid() || !fd2.Valid() || info1.st_size != info2.st_size) return 0;
    std::vector<uint8_t> block1(kFileCopyBlockBytes), block2(kFileCopyBlockBytes);
    for (;;) {
        const int64_t n1 = ReadFull(fd1.Get(), block1.data(), kFileCopyBlockBytes);
        const int64_t n2 = ReadFull(fd2.Get(), block2.data(), kFileCopyBlockBytes);
        if (n1 < 0 || n2 < 0 || n1 != n2) return 0;
        if (std::memcmp(block1.data(), block2.data(), static_cast<size_t>(n1)) != 0) return 0;
        if (n1 < static_cast<int64_t>(kFileCopyBlockBytes)) return 1;
    }
}

int CopyFileImpl(const std::string& source, const std::string& destination,
                 IFileCopyProgressListener* listener, uint64_t userData) {
    struct stat info {};
    UniqueFd in = OpenForReading(source, info);
    if (in.Valid() && !S_ISREG(info.st_mode)) {
        in.Close();
        errno = EINVAL;  // a device or pipe has no end to copy up to
    }
    if (!in.Valid()) {
        DbgOutputA(kDbgLevelWarning, "CopyFile: cannot read %s: %s\r\n", source.c_str(),
                   ErrorText(errno).c_str());
        return 0;
    }
    FileReplacement out;
    if (!out.Open(destination, info.st_mode & 0777)) {
        DbgOutputA(kDbgLevelWarning, "CopyFile: cannot create %s: %s\r\n", destination.c_str(),
                   out.Error().c_str());
        return 0;
    }
    const uint64_t total = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    if (listener != nullptr) listener->OnFileCopyProgress(userData, 0, total);
    std::vector<uint8_t> block(kFileCopyBlockBytes);
    uint64_t copied = 0;
    for (;;) {
        const int64_t n = ReadFull(in.Get(), block.data(), kFileCopyBlockBytes);
        if (n < 0) {
            DbgOutputA(kDbgLevelWarning, "CopyFile: reading %s failed: %s\r\n", source.c_str(),
                       ErrorText(errno).c_str());
            return 0;
        }
        if (n == 0) break;
        if (!out.Write(block.data(), static_cast<size_t>(n))) break;
        copied += static_cast<uint64_t>(n);
        if (listener != nullptr) listener->OnFileCopyProgress(userData, copied, total);
        if (n < static_cast<int64_t>(kFileCopyBlockBytes)) break;
    }
    if (!out.Error().empty() || !out.Commit()) {
        DbgOutputA(kDbgLevelWarning, "CopyFile: writing %s failed: %s\r\n", destination.c_str(),
                   out.Error().c_str());
        return 0;
    }
    return 1;
}

template <class C>
int64_t ReadFileDataT(const C* path, uint8_t** data) {
    if (data != nullptr) *data = nullptr;
    std::string systemPath;
    if (!ToSystemPath(path, systemPath, "ReadFileData")) return 0;
    return ReadFileDataImpl(systemPath, data);
}

template <class C>
int WriteFileDataT(const C* path, const void* data, uint64_t size, int append) {
    std::string systemPath;
    if (path == nullptr || data == nullptr || !ToSystemPath(path, systemPath, "WriteFileData")) {
        return 0;
    }
    return WriteFileDataImpl(systemPath, data, size, append);
}

template <class C>
int IsFileDataEqualT(const C* path1, const C* path2) {
    std::string system1, system2;
    if (!ToSystemPath(path1, system1, "IsFileDataEqual") ||
        !ToSystemPath(path2, system2, "IsFileDataEqual")) {
        return 0;
    }
    return IsFileDataEqualImpl(system1, system2);
}

template <class C>
int CopyFileT(const C* source, const C* destination, IFileCopyProgressListener* listener,
              uint64_t userData) {
    std::string systemSource, systemDestination;
    if (!ToSystemPath(source, systemSource, "CopyFileWithCallback") ||
        !ToSystemPath(destination, systemDestination, "CopyFileWithCallback")) {
        return 0;
    }
    return CopyFileImpl(systemSource, systemDestination, listener, userData);
}

}  // namespace

int64_t ReadDescriptorData(int fd, uint64_t size, uint8_t** data) {
    if (data == nullptr) return 0;
    *data = nullptr;
    errno = 0;
    if (size == 0 || size == UINT64_MAX) return 0;
    auto* block = static_cast<uint8_t*>(std::malloc(size + 1));
    if (block == nullptr) {
        errno = ENOMEM;
        return 0;
    }
    const int64_t got = ReadFull(fd, block, size);
    if (got <= 0) {
        // A failure part-way gives nothing: a short block would pass for the whole file.
        const int error = got < 0 ? errno : 0;
        std::free(block);
        errno = error;
        return 0;
    }
    block[got] = 0;
    *data = block;
    return got;
}

int64_t ReadFileDataA(const char* path, uint8_t** data) {
    return ReadFileDataT(path, data);
}
int64_t ReadFileDataW(const WCHAR* path, uint8_t** data) {
    return ReadFileDataT(path, data);
}

void ReleaseFileData(void* data) {
    std::free(data);
}

int WriteFileDataA(const char* path, const void* data, uint64_t size, int append) {
    return WriteFileDataT(path, data, size, append);
}
int WriteFileDataW(const WCHAR* path, const void* data, uint64_t size, int append) {
    return WriteFileDataT(path, data, size, append);
}

int IsFileDataEqual(const char* path1, const char* path2) {
    return IsFileDataEqualT(path1, path2);
}
int IsFileDataEqual(const WCHAR* path1, const WCHAR* path2) {
    return IsFileDataEqualT(path1, path2);
}

int CopyFileWithCallback(const char* source, const char* destination,
                         IFileCopyProgressListener* listener, uint64_t userData) {
    return CopyFileT(source, destination, listener, userData);
}
int CopyFileWithCallback(const WCHAR* source, const WCHAR* destination,
                         IFileCopyProgressListener* listener, uint64_t userData) {
    return CopyFileT(source, destination, listener, userData);
}
