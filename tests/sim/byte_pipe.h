// A non-blocking pipe standing in for the terminal in in-process tests of the simulator's
// reading and writing: what one side writes, the other reads back in order.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "core/unique_fd.h"

class BytePipe {
public:
    BytePipe() {
        int fds[2] = {-1, -1};
        if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            m_read = UniqueFd(fds[0]);
            m_write = UniqueFd(fds[1]);
        }
    }
    bool Valid() const { return m_read.Valid() && m_write.Valid(); }
    int ReadFd() const { return m_read.Get(); }
    int WriteFd() const { return m_write.Get(); }

    // Writes everything (the pipe holds 64 KiB); false when it did not fit.
    bool Put(const std::vector<uint8_t>& bytes) {
        return write(m_write.Get(), bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }
    // Whatever waits in the pipe now.
    std::vector<uint8_t> Take() {
        std::vector<uint8_t> all;
        uint8_t chunk[4096];
        ssize_t n = 0;
        while ((n = read(m_read.Get(), chunk, sizeof(chunk))) > 0)
            all.insert(all.end(), chunk, chunk + n);
        return all;
    }

private:
    UniqueFd m_read;
    UniqueFd m_write;
};
