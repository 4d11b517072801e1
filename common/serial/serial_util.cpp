#include "serial_util.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "serial_dcb_string.h"
#include "serial_port_enum.h"
#include "serial_port_table.h"

namespace {

// Longest single wait of a read: a cancel is seen at least this often.
constexpr uint64_t kReadSliceMs = 100;
// Longest single wait of a write for room in the output queue.
constexpr uint64_t kWriteSliceMs = 100;
// ResetInputBuffer: scratch size and the wait after a read that found nothing.
constexpr uint32_t kDrainChunkBytes = 4096;
constexpr uint64_t kDrainIdleMs = 10;

constexpr short kHangupEvents = POLLERR | POLLHUP | POLLNVAL;

// Waits up to `waitMs` for the events; the events that came (0 on time-out or interruption).
short WaitFor(int fd, short events, uint64_t waitMs) {
    pollfd request{fd, events, 0};
    const int rc = poll(&request, 1, static_cast<int>(waitMs));
    return rc > 0 ? request.revents : 0;
}

// What is left of a time-out until its deadline (MonoDeadlineMs); 0 once it has passed.
uint64_t LeftUntil(uint64_t deadline) {
    const uint64_t now = MonoTimeMs();
    return deadline > now ? deadline - now : 0;
}

// An errno that says the descriptor itself is unusable.
bool IsUnusableDescriptorError(int errorNumber) {
    return errorNumber == EBADF || errorNumber == EINVAL;
}

}  // namespace

CSerialUtil::CSerialUtil() = default;

CSerialUtil::~CSerialUtil() {
    CloseSerial();
}

void CSerialUtil::SetName(const char* name) {
    std::lock_guard<std::mutex> hold(m_nameGuard);
    m_portName.Set(name != nullptr ? name : "");
}

CBaseStringA CSerialUtil::GetPortName() {
    std::lock_guard<std::mutex> hold(m_nameGuard);
    return m_portName;
}

int CSerialUtil::OpenSerial(int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                            uint8_t stopBits) {
    std::string name;
    if (portNumber <= 0 || !SerialPortNameOf(portNumber, name)) {
        name = "COM" + std::to_string(portNumber);
    }
    return OpenSerial(name.c_str(), baudRate, byteSize, parity, stopBits);
}

int CSerialUtil::OpenSerial(const char* portName, uint32_t baudRate, uint8_t byteSize,
                            uint8_t parity, uint8_t stopBits) {
    CAutoBaseLock hold(&m_lock);
    SetName(portName);
    m_baudRate = baudRate;
    m_byteSize = byteSize;
    m_parity = parity;
    m_stopBits = stopBits;
    return OpenKept();
}

int CSerialUtil::ReOpen() {
    CAutoBaseLock hold(&m_lock);
    return OpenKept();
}

int CSerialUtil::OpenKept() {
    CloseSerial();
    const std::string name = GetPortName().GetString();
    std::string path = ResolveSerialPortName(name);
    if (path.empty()) path = name;

    CBaseStringA settingsText;
    SerialDCBToString(m_byteSize, m_parity, m_stopBits, &settingsText);
    DbgOutputA(kDbgLevelInfo, "Prepare Open Serial: Com=%s(%s) BaudRate=%u\r\n", path.c_str(),
               settingsText.GetString(), m_baudRate);

    SerialLineSettings settings;
    settings.baudRate = m_baudRate;
    settings.byteSize = m_byteSize;
    settings.parity = m_parity;
    settings.stopBits = m_stopBits;
    // The opening piece writes the failure line with its reason.
    m_port = OpenSerialPort(name, settings, nullptr, &path);
    if (path.empty()) path = name;
    const bool success = m_port.IsValid();
    m_opened = success;
    DbgOutputA(kDbgLevelInfo, "OpenSerial: Com=%s BaudRate=%u, Success=%d, mSerialFile=%d\r\n",
               path.c_str(), m_baudRate, success ? 1 : 0, m_port.Get());
    return success ? 1 : 0;
}

void CSerialUtil::CloseSerial() {
    CAutoBaseLock hold(&m_lock);
    if (!m_port.IsValid()) return;
    DbgOutputA(kDbgLevelInfo, "CloseSerial: mSerialFile=%d\r\n", m_port.Get());
    m_opened = false;
    m_port.Reset();
}

int CSerialUtil::IsOpened() {
    return m_opened ? 1 : 0;
}

int CSerialUtil::IsSerialExist() {
    return IsSerialPortNameExistA(GetPortName().GetString());
}

void CSerialUtil::CloseVanished(const char* operation, int errorNumber) {
    if (IsUnusableDescriptorError(errorNumber)) {
        DbgOutputA(kDbgLevelError, "%s Failed with EINVAL, CloseSerial: mSerialFile=%d\r\n",
                   operation, m_port.Get());
    } else {
        DbgOutputA(kDbgLevelError,
                   "%s Failed, Serial Port(%s) NOT found, CloseSerial: mSerialFile=%d\r\n",
                   operation, GetPortName().GetString(), m_port.Get());
    }
    CloseSerial();
}

uint32_t CSerialUtil::ReadAvailable(uint8_t* buffer, uint32_t length, bool hangupSeen, bool& stop) {
    for (;;) {
        const ssize_t got = read(m_port.Get(), buffer, length);
        if (got > 0) return static_cast<uint32_t>(got);
        const int error = got < 0 ? errno : EIO;  // a raw terminal reads 0 only after a hang-up
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            if (!hangupSeen) return 0;
            CloseVanished("ReadData", EIO);
        } else if (IsSerialPortGoneError(error) || IsUnusableDescriptorError(error)) {
            CloseVanished("ReadData", error);
        } else {
            DbgOutputA(kDbgLevelError, "ReadData Failed with error=%d\r\n", error);
        }
        stop = true;
        return 0;
    }
}

uint32_t CSerialUtil::ReadData(void* buffer, uint32_t length, uint32_t timeoutMs, int fill) {
    CAutoBaseLock hold(&m_lock);
    if (!m_port.IsValid() || buffer == nullptr || length == 0) return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    const uint64_t deadline = MonoDeadlineMs(timeoutMs);
    uint32_t total = 0;
    bool hangupSeen = false;
    for (;;) {
        bool stop = false;
        total += ReadAvailable(bytes + total, length - total, hangupSeen, stop);
        if (stop || total >= length) break;
        // The cancel is consumed here, by the read that saw it; a cancel that came before this
        // read started is seen here too.
        if (m_cancel.exchange(0) != 0) break;
        if (fill == 0 && total > 0) break;
        const uint64_t left = LeftUntil(deadline);
        if (left == 0) break;
        const short events = WaitFor(m_port.Get(), POLLIN, std::min(left, kReadSliceMs));
        if (events & kHangupEvents) hangupSeen = true;
    }
    return total;
}

void CSerialUtil::CancelRead() {
    DbgOutputA(kDbgLevelInfo, "Cancel Read Data\r\n");
    m_cancel = 1;
}

uint32_t CSerialUtil::WriteOnePacket(const void* data, uint32_t length, uint32_t timeoutMs) {
    CAutoBaseLock hold(&m_lock);
    if (!m_port.IsValid() || data == nullptr || length == 0) return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint64_t deadline = MonoDeadlineMs(timeoutMs);
    uint32_t written = 0;
    bool hangupSeen = false;
    while (written < length) {
        const ssize_t put = write(m_port.Get(), bytes + written, length - written);
        if (put > 0) {
            written += static_cast<uint32_t>(put);
            continue;
        }
        const int error = put < 0 ? errno : EAGAIN;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            if (hangupSeen) {
                CloseVanished("WriteOnePacket", EIO);
                break;
            }
            const uint64_t left = LeftUntil(deadline);
            if (left == 0) break;
            const short events = WaitFor(m_port.Get(), POLLOUT, std::min(left, kWriteSliceMs));
            if (events & kHangupEvents) hangupSeen = true;
            continue;
        }
        if (IsSerialPortGoneError(error) || IsUnusableDescriptorError(error)) {
            CloseVanished("WriteOnePacket", error);
        } else {
            DbgOutputA(kDbgLevelError, "WriteOnePacket Failed with error=%d\r\n", error);
        }
        break;
    }
    return written;
}

uint32_t CSerialUtil::WriteData(const void* data, uint32_t length, uint32_t timeoutMs,
                                uint32_t pieceSize, uint32_t pieceTimeoutMs,
                                const std::atomic<int>* cancel) {
    CAutoBaseLock hold(&m_lock);
    if (!m_port.IsValid() || data == nullptr || length == 0) return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint32_t pieceLimit = pieceTimeoutMs != 0 ? pieceTimeoutMs : timeoutMs;
    const uint64_t deadline = MonoDeadlineMs(timeoutMs);
    uint32_t written = 0;
    while (written < length && LeftUntil(deadline) > 0 &&
           (cancel == nullptr || cancel->load() == 0)) {
        const uint32_t left = length - written;
        const uint32_t piece = pieceSize != 0 ? std::min(left, pieceSize) : left;
        const uint32_t put = WriteOnePacket(bytes + written, piece, pieceLimit);
        if (put == 0) {
            DbgOutputA(kDbgLevelError,
                       "WriteOnePacket write 0 bytes, total need write %u, has write %u\r\n",
                       length, written);
            break;
        }
        written += put;
    }
    return written;
}

void CSerialUtil::ResetInputBuffer(uint32_t drainMs) {
    CAutoBaseLock hold(&m_lock);
    if (!m_port.IsValid()) return;
    tcflush(m_port.Get(), TCIFLUSH);
    DbgOutputA(kDbgLevelInfo, "ResetInputBuffer +++\r\n");
    uint8_t scratch[kDrainChunkBytes];
    const uint64_t deadline = MonoDeadlineMs(drainMs);
    unsigned long discarded = 0;
    bool hangupSeen = false;
    do {
        bool stop = false;
        const uint32_t got = ReadAvailable(scratch, sizeof(scratch), hangupSeen, stop);
        discarded += got;
        if (stop) break;
        if (got == 0) {
            const uint64_t left = LeftUntil(deadline);
            if (left == 0) break;
            const short events = WaitFor(m_port.Get(), POLLIN, std::min(left, kDrainIdleMs));
            if (events & kHangupEvents) hangupSeen = true;
        }
    } while (LeftUntil(deadline) > 0);
    DbgOutputA(kDbgLevelInfo, "ResetInputBuffer ---, clean %lu size\r\n", discarded);
}

void CSerialUtil::ResetOutputBuffer() {
    CAutoBaseLock hold(&m_lock);
    if (!m_port.IsValid()) return;
    tcflush(m_port.Get(), TCOFLUSH);
}

void* CSerialUtil::StartIOCPReadWrite(void* /*completionPort*/) {
    DbgOutputA(kDbgLevelWarning, "StartIOCPReadWrite: completion ports are not available\r\n");
    return nullptr;
}

int CSerialUtil::PostIOCPRecvBuffer(void* /*overlapped*/, void* /*buffer*/, uint32_t /*length*/) {
    DbgOutputA(kDbgLevelWarning, "PostIOCPRecvBuffer: completion ports are not available\r\n");
    return 0;
}

int CSerialUtil::PostIOCPSendBuffer(void* /*overlapped*/, const void* /*buffer*/,
                                    uint32_t /*length*/) {
    DbgOutputA(kDbgLevelWarning, "PostIOCPSendBuffer: completion ports are not available\r\n");
    return 0;
}
