#include "serial_link.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "core/dbg_output.h"
#include "core/mono_clock.h"

namespace {

// The reader's thread name (the kernel keeps 15 bytes).
constexpr const char* kReaderThreadName = "RadarLinkRead";
// Bits per byte on the line (start, 8 data, stop): turns a baud rate into bytes per second.
constexpr uint32_t kLineBitsPerByte = 10;

}  // namespace

std::shared_ptr<SerialLink> SerialLink::Open(const std::string& portName,
                                             const SerialLineSettings& settings,
                                             ISerialLinkOwner& owner, SerialOpenFailure& failure) {
    std::string path;
    SerialFd port = OpenSerialPort(portName, settings, nullptr, &path, &failure);
    if (!port.IsValid()) return nullptr;
    std::shared_ptr<SerialLink> link(
        new SerialLink(std::move(port), path, settings.baudRate, owner));
    if (!link->m_reader.StartThread(kReaderThreadName, link.get(), 0, 0, 0, 0)) {
        DbgOutputA(kDbgLevelError, "Radar link %s: the reader thread cannot start\r\n",
                   path.c_str());
        failure = MakeSerialOpenFailure(SerialOpenCause::Other, 0, path,
                                        "the reader thread cannot start");
        return nullptr;
    }
    return link;
}

SerialLink::SerialLink(SerialFd port, std::string path, uint32_t baudRate, ISerialLinkOwner& owner)
    : m_owner(owner),
      m_path(std::move(path)),
      m_router(owner, baudRate / kLineBitsPerByte),
      m_port(std::move(port)),
      m_wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

int SerialLink::PollPort(short events, uint64_t deadlineMs, short& revents) {
    const uint64_t now = MonoTimeMs();
    const uint64_t left = deadlineMs > now ? deadlineMs - now : 0;
    // Without a wake-up descriptor (none could be had) the slice alone bounds the wait.
    pollfd waits[2] = {{m_port.Get(), events, 0}, {m_wake.Get(), POLLIN, 0}};
    const int rc = poll(waits, m_wake.Valid() ? 2 : 1,
                        static_cast<int>(std::min<uint64_t>(left, kLinkPollSliceMs)));
    revents = waits[0].revents;
    return rc;
}

SerialLink::~SerialLink() {
    Shutdown();
}

void SerialLink::Abort() {
    m_closing.store(true);
    m_closingEvent.Set();
    if (m_wake.Valid()) {
        const uint64_t one = 1;
        // The counter only has to become nonzero; a full counter is nonzero already.
        [[maybe_unused]] const ssize_t written = write(m_wake.Get(), &one, sizeof(one));
    }
    m_router.Abort();
}

void SerialLink::ClosePort() {
    CAutoBaseLock guard(&m_writeLock);
    m_port.Reset();
}

void SerialLink::Shutdown() {
    if (m_shutDown.exchange(true)) return;
    Abort();
    // From the reader itself (an owner that closes inside its loss handling) this detaches.
    m_reader.StopThread();
    ClosePort();
}

bool SerialLink::Write(const uint8_t* bytes, size_t count, uint64_t deadlineMs) {
    CAutoBaseLock guard(&m_writeLock);
    size_t done = 0;
    while (done < count) {
        if (m_closing.load() || !m_port.IsValid()) return false;
        const ssize_t n = write(m_port.Get(), bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            const int rc = errno;
            DbgOutputA(kDbgLevelError, "Radar link %s: write failed:%d %s\r\n", m_path.c_str(), rc,
                       strerror(rc));
            return false;
        }
        if (MonoTimeMs() >= deadlineMs) {
            DbgOutputA(kDbgLevelError, "Radar link %s: write timed out (%zu of %zu bytes sent)\r\n",
                       m_path.c_str(), done, count);
            return false;
        }
        short revents = 0;
        PollPort(POLLOUT, deadlineMs, revents);
    }
    return true;
}

bool SerialLink::Exchange(const CBaseBuffer& frame, uint16_t ackWord, uint64_t deadlineMs,
                          std::vector<uint8_t>& payload) {
    if (m_closing.load()) return false;
    m_router.Expect(ackWord);
    if (!Write(frame.GetBuffer(), frame.GetAvailSize(), deadlineMs)) {
        m_router.CancelExpect();
        return false;
    }
    return m_router.WaitAck(payload, deadlineMs);
}

bool SerialLink::DiscardInputFor(uint32_t milliseconds) {
    m_router.BeginDiscard();
    const bool closed = m_closingEvent.Wait(milliseconds) != 0;
    {
        // What the kernel still holds arrived during the settle time too.
        CAutoBaseLock guard(&m_writeLock);
        if (m_port.IsValid()) tcflush(m_port.Get(), TCIFLUSH);
    }
    m_router.EndDiscard();
    return !closed && !m_closing.load();
}

int SerialLink::ThreadLoop(uint64_t) {
    // The owner may let go of the link while the reader reports its loss.
    std::shared_ptr<SerialLink> keep = weak_from_this().lock();
    if (!keep || m_closing.load()) return 0;
    return ReadSlice() ? 1 : 0;
}

bool SerialLink::ReadSlice() {
    const int fd = m_port.Get();
    short revents = 0;
    const int rc = PollPort(POLLIN, MonoDeadlineMs(kLinkPollSliceMs), revents);
    if (rc < 0 && errno != EINTR) {
        HandleLoss(errno, "poll");
        return false;
    }
    bool gotBytes = false;
    if (m_closing.load()) return true;  // ThreadLoop ends the reader
    if (rc > 0 && (revents & POLLIN) != 0) {
        const ssize_t n = read(fd, m_readBuffer, sizeof(m_readBuffer));
        if (n > 0) {
            gotBytes = true;
            m_router.Feed(m_readBuffer, static_cast<size_t>(n), MonoTimeMs());
        } else if (n == 0) {
            HandleLoss(0, "read (end of file)");
            return false;
        } else if (errno != EAGAIN && errno != EINTR) {
            // Besides a vanished device nothing makes a terminal's read fail: either way the
            // port can no longer be read.
            HandleLoss(errno, IsSerialPortGoneError(errno) ? "read" : "read (unexpected error)");
            return false;
        }
    }
    if (!gotBytes && rc > 0 && (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        HandleLoss(revents & POLLNVAL ? EBADF : EIO, "poll (hang-up)");
        return false;
    }
    m_router.Tick(MonoTimeMs());
    return true;
}

void SerialLink::HandleLoss(int errorNumber, const char* what) {
    if (m_closing.load()) return;  // closed by the owner meanwhile: not a loss
    DbgOutputA(kDbgLevelWarning, "Radar link %s vanished: %s failed:%d %s\r\n", m_path.c_str(),
               what, errorNumber, errorNumber != 0 ? strerror(errorNumber) : "no more data");
    m_lost.store(true);
    Abort();
    ClosePort();
    m_owner.OnLinkLost(*this);
}
