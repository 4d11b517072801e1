#include "pty_pair.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

PtyPair::PtyPair() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) return;
    char name[128] = {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof(name)) != 0) {
        CloseMaster();
        return;
    }
    m_slavePath = name;
}

PtyPair::~PtyPair() {
    CloseMaster();
}

void PtyPair::CloseMaster() {
    if (m_master >= 0) close(m_master);
    m_master = -1;
}

bool PtyPair::Send(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = write(m_master, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd wait{m_master, POLLOUT, 0};
            if (poll(&wait, 1, 1000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> PtyPair::Receive(size_t length, int timeoutMs) {
    std::vector<uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < length) {
        uint8_t chunk[4096];
        const size_t want = std::min(sizeof(chunk), length - out.size());
        const ssize_t n = read(m_master, chunk, want);
        if (n > 0) {
            out.insert(out.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd wait{m_master, POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()));
    }
    return out;
}
