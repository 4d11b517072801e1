#include "file_replace.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {

constexpr int kTempNameAttempts = 16;

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? std::string("/") : path.substr(0, cut);
}

std::string RandomTag() {
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof(bits), 0) != static_cast<ssize_t>(sizeof(bits))) {
        bits = static_cast<uint64_t>(getpid()) * 0x9E3779B97F4A7C15u ^
               reinterpret_cast<uintptr_t>(&bits);
    }
    char text[17];
    std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(bits));
    return text;
}

// The file a write to `path` must end up in: the target of a symbolic link, else the path.
std::string ResolvedTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;  // a dangling link: writing through it creates its target
    std::string target(real);
    std::free(real);
    return target;
}

}  // namespace

FileReplacement::~FileReplacement() {
    m_fd.Close();
    if (!m_temp.empty()) unlink(m_temp.c_str());
}

bool FileReplacement::Fail(const char* step) {
    m_error = std::string(step) + ": " + std::error_code(errno, std::generic_category()).message();
    return false;
}

bool FileReplacement::Open(const std::string& path, mode_t modeForNew) {
    m_target = ResolvedTarget(path);
    struct stat info {};
    const bool exists = stat(m_target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return Fail("open");
    }
    // Replacing must not get round a file that may not be written.
    if (exists && access(m_target.c_str(), W_OK) != 0) return Fail("open");
    if (exists && !S_ISREG(info.st_mode)) {
        m_fd = UniqueFd(open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
        return m_fd.Valid() || Fail("open");
    }
    const std::string folder = FolderOf(m_target);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        std::string temp =
            (folder == "/" ? std::string() : folder) + "/.orbo-" + RandomTag() + ".tmp";
        m_fd = UniqueFd(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             exists ? S_IRUSR | S_IWUSR : modeForNew));
        if (m_fd.Valid()) {
            m_temp = std::move(temp);
            break;
        }
        if (errno == EEXIST) continue;
        // A folder that refuses new files may still hold a file we may write: write it in place.
        if (exists && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            m_fd = UniqueFd(open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
            return m_fd.Valid() || Fail("open");
        }
        return Fail("create temporary file");
    }
    if (!m_fd.Valid()) return Fail("create temporary file");
    if (exists && fchmod(m_fd.Get(), info.st_mode & 07777) != 0) return Fail("set permissions");
    return true;
}

bool FileReplacement::Write(const void* data, size_t size) {
    if (!m_fd.Valid()) {
        errno = EBADF;
        return Fail("write");
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(m_fd.Get(), bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return Fail("write");
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FileReplacement::Commit() {
    if (!m_fd.Valid()) {
        errno = EBADF;
        return Fail("commit");
    }
    if (m_temp.empty()) return m_fd.Close() || Fail("close");
    if (fsync(m_fd.Get()) != 0) return Fail("flush");
    if (!m_fd.Close()) return Fail("close");
    if (rename(m_temp.c_str(), m_target.c_str()) != 0) return Fail("rename");
    m_temp.clear();
    return true;
}
