#include "link_input.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "core/dbg_output.h"

bool LinkInput::ReadFrom(int fd, uint64_t wallMs, const Deliver& deliver) {
    uint8_t chunk[kReadChunkBytes];
    for (;;) {
        const size_t allowance = m_pacer.Allowance(wallMs);
        if (allowance == 0) return true;
        const ssize_t n = read(fd, chunk, std::min(allowance, sizeof(chunk)));
        if (n > 0) {
            m_pacer.Consume(static_cast<size_t>(n));
            m_taken += static_cast<uint64_t>(n);
            deliver(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            DbgOutputA(kDbgLevelError, "Read from the port failed:%d %s\r\n", errno,
                       strerror(errno));
            return false;
        }
        return true;
    }
}
