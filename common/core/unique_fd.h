// Ownership of one file descriptor: closed when the owner goes away. Close() reports the close's
// own result, because a write is only known to have reached the file once close succeeded.
#pragma once

#include <unistd.h>

#include <utility>
#include "core/common_api.h"

class ORBO_COMMON_API UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

    // Closes the descriptor; false (errno set) when close reported an error. The descriptor is
    // released either way (Linux never keeps it), so a failed close is not retried.
    bool Close() {
        if (m_fd < 0) return true;
        return close(std::exchange(m_fd, -1)) == 0;
    }

private:
    int m_fd;
};
