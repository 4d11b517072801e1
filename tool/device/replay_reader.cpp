#include "device/replay_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/dbg_output.h"

bool ReplayReader::Open(const std::string& path) {
    m_fd = UniqueFd();
    m_path = path;
    m_failed = false;
    m_error = 0;
    m_left = kReplayToFileEnd;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        DbgOutputA(kDbgLevelError, "Replay file %s cannot be opened: %s\r\n", path.c_str(),
                   std::strerror(m_error));
        return false;
    }
    UniqueFd file(fd);
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        m_error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        DbgOutputA(kDbgLevelError, "Replay file %s cannot be opened: %s\r\n", path.c_str(),
                   std::strerror(m_error));
        return false;
    }
    m_fd = std::move(file);
    return true;
}

bool ReplayReader::SetRange(uint64_t begin, uint64_t end) {
    if (!IsOpen()) return false;
    if (lseek(m_fd.Get(), static_cast<off_t>(begin), SEEK_SET) < 0) {
        m_error = errno;
        DbgOutputA(kDbgLevelError, "Replay file %s cannot be positioned: %s\r\n", m_path.c_str(),
                   std::strerror(m_error));
        return false;
    }
    m_left = end == kReplayToFileEnd ? kReplayToFileEnd : (end > begin ? end - begin : 0);
    return true;
}

size_t ReplayReader::Read(uint8_t* bytes, size_t size) {
    if (!IsOpen() || m_failed) return 0;
    if (m_left != kReplayToFileEnd) size = static_cast<size_t>(std::min<uint64_t>(size, m_left));
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(m_fd.Get(), bytes + done, size - done);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            m_error = errno;
            m_failed = true;
            DbgOutputA(kDbgLevelError, "Replay file %s: read failed: %s\r\n", m_path.c_str(),
                       std::strerror(m_error));
            break;
        }
        done += static_cast<size_t>(got);
    }
    if (m_left != kReplayToFileEnd) m_left -= done;
    return done;
}
