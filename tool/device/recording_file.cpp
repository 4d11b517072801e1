#include "device/recording_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/date_file_name.h"
#include "core/dbg_output.h"
#include "core/path_name.h"
#include "core/size_limits.h"

namespace {

constexpr mode_t kRecordingFileMode = 0666;  // narrowed by the umask

}  // namespace

RecordingFile::~RecordingFile() {
    if (IsOpen()) Close();
}

std::string RecordingFile::MakeName(const LocalDateTime& when, int suffix) {
    char suffixText[16] = "";
    if (suffix > 0) std::snprintf(suffixText, sizeof suffixText, "_%d", suffix);
    char name[kMaxPathChars + 1];
    if (!FormatFileNameByDateA(name, kRecordingExtension, kRecordingNamePrefix, suffixText, 1, 0,
                               when)) {
        return {};
    }
    return name;
}

bool RecordingFile::CreateAt(const std::string& path) {
    Reset();
    if (path.empty() || path.size() > static_cast<size_t>(kMaxPathChars)) {
        m_error = path.empty() ? ENOENT : ENAMETOOLONG;
        DbgOutputA(kDbgLevelError, "Recording not created: unusable file name \"%s\"\r\n",
                   path.c_str());
        return false;
    }
    if (OpenExclusive(path)) return true;
    if (m_error == EEXIST) {
        DbgOutputA(kDbgLevelError, "Recording not created: %s exists and is never replaced\r\n",
                   path.c_str());
    }
    return false;
}

void RecordingFile::Reset() {
    if (IsOpen()) Close();
    m_path.clear();
    m_bytesWritten = 0;
    m_error = 0;
}

bool RecordingFile::OpenExclusive(const std::string& path) {
    m_path = path;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kRecordingFileMode);
    if (fd >= 0) {
        m_fd = UniqueFd(fd);
        m_error = 0;
        DbgOutputA(kDbgLevelInfo, "Recording to %s\r\n", path.c_str());
        return true;
    }
    m_error = errno;
    if (m_error != EEXIST) {
        DbgOutputA(kDbgLevelError, "Recording not created: open %s failed: %s\r\n", path.c_str(),
                   std::strerror(m_error));
    }
    return false;
}

bool RecordingFile::Create(const std::string& folder, const LocalDateTime& when) {
    Reset();
    if (folder.empty()) {
        m_error = ENOENT;
        DbgOutputA(kDbgLevelError, "Recording not created: no save folder given\r\n");
        return false;
    }
    for (int suffix = 0; suffix <= kMaxRecordingNameSuffix; ++suffix) {
        const std::string name = MakeName(when, suffix);
        char path[kMaxPathChars + 1];
        if (name.empty() || !CombinePathNameA(path, folder.c_str(), name.c_str())) {
            m_error = ENAMETOOLONG;
            DbgOutputA(kDbgLevelError,
                       "Recording not created: the name in %s is longer than %d characters\r\n",
                       folder.c_str(), kMaxPathChars);
            return false;
        }
        if (OpenExclusive(path)) return true;
        if (m_error != EEXIST) return false;
    }
    m_error = EEXIST;
    DbgOutputA(kDbgLevelError,
               "Recording not created: %s and its numbered variants up to _%d all exist\r\n",
               MakeName(when, 0).c_str(), kMaxRecordingNameSuffix);
    return false;
}

bool RecordingFile::Write(const uint8_t* bytes, size_t size) {
    if (!IsOpen()) {
        m_error = EBADF;
        return false;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(m_fd.Get(), bytes + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            // A write that makes no progress would loop for ever.
            m_error = written < 0 ? errno : EIO;
            DbgOutputA(kDbgLevelError, "Recording write to %s failed after %llu bytes: %s\r\n",
                       m_path.c_str(), static_cast<unsigned long long>(m_bytesWritten + done),
                       std::strerror(m_error));
            m_bytesWritten += done;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    m_bytesWritten += done;
    return true;
}

bool RecordingFile::Close() {
    if (!IsOpen()) return true;
    if (!m_fd.Close()) {
        m_error = errno;
        DbgOutputA(kDbgLevelError, "Recording %s: close failed: %s\r\n", m_path.c_str(),
                   std::strerror(m_error));
        return false;
    }
    DbgOutputA(kDbgLevelInfo, "Recording %s closed, %llu bytes\r\n", m_path.c_str(),
               static_cast<unsigned long long>(m_bytesWritten));
    return true;
}
