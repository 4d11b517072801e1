#include "stop_signal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "core/mono_clock.h"

namespace {

constexpr char kSignalByte = 'S';
constexpr char kNotifyByte = 'N';

// The pipe the handlers write into; -1 while no StopSignal exists.
int gWakeRead = -1;
int gWakeWrite = -1;
std::atomic<bool> gInterrupted{false};

void WriteWakeByte(char byte) {
    const int saved = errno;
    if (gWakeWrite >= 0) {
        // The pipe is non-blocking: a full pipe already holds a wake-up.
        [[maybe_unused]] const ssize_t n = write(gWakeWrite, &byte, 1);
    }
    errno = saved;
}

void OnStopSignal(int) {
    gInterrupted.store(true);
    WriteWakeByte(kSignalByte);
}

}  // namespace

StopSignal::StopSignal() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        gWakeRead = fds[0];
        gWakeWrite = fds[1];
    }
    gInterrupted.store(false);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_oldInt);
    sigaction(SIGTERM, &action, &m_oldTerm);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &m_oldPipe);
}

StopSignal::~StopSignal() {
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
    sigaction(SIGPIPE, &m_oldPipe, nullptr);
    const int readFd = gWakeRead;
    const int writeFd = gWakeWrite;
    gWakeWrite = -1;
    gWakeRead = -1;
    if (readFd >= 0) close(readFd);
    if (writeFd >= 0) close(writeFd);
}

void StopSignal::Notify() {
    WriteWakeByte(kNotifyByte);
}

bool StopSignal::Interrupted() const {
    return gInterrupted.load();
}

StopReason StopSignal::Wait(int64_t timeoutMs) {
    const uint64_t deadline = timeoutMs >= 0 ? MonoDeadlineMs(static_cast<uint64_t>(timeoutMs)) : 0;
    bool notified = false;
    if (gWakeRead < 0) return StopReason::TimeLimit;  // no pipe: nothing could wake a wait
    for (;;) {
        if (gInterrupted.load()) return StopReason::Signal;
        if (notified) return StopReason::Notified;
        int pollMs = -1;
        if (timeoutMs >= 0) {
            const uint64_t now = MonoTimeMs();
            if (now >= deadline) return StopReason::TimeLimit;
            pollMs = static_cast<int>(std::min<uint64_t>(deadline - now, INT32_MAX));
        }
        pollfd wake{gWakeRead, POLLIN, 0};
        const int ready = poll(&wake, 1, pollMs);
        if (ready < 0 && errno != EINTR) return StopReason::TimeLimit;  // no pipe: cannot wait
        if (ready > 0) {
            char bytes[64];
            ssize_t n;
            while ((n = read(gWakeRead, bytes, sizeof(bytes))) > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    if (bytes[i] == kNotifyByte) notified = true;
                }
            }
        }
    }
}
