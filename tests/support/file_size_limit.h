// A file size limit for this process while the object lives: writes beyond it fail with EFBIG
// (root is no exception), which makes a failing write reproducible without a full disk.
// SIGXFSZ is ignored meanwhile so that the write fails instead of ending the process.
#pragma once

#include <sys/resource.h>

#include <csignal>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        if (m_active) setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be set (the test cannot show its point then).
    bool Active() const { return m_active; }

private:
    rlimit m_saved{};
    bool m_active = false;
    void (*m_oldHandler)(int) = SIG_DFL;
};
