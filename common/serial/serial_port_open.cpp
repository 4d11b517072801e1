#include "serial_port_open.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

#include "core/dbg_output.h"
#include "serial_port_table.h"
#include "serial_termios2_internal.h"
#include "virtual_port_folder.h"

namespace {

// A rate the driver reports back differing by more than this (per mille) is worth a warning:
// beyond a few percent the UART framing no longer holds.
constexpr uint32_t kBaudWarnPerMille = 30;

// Port numbers beyond this are not numbers a user types (and would overflow an int).
constexpr size_t kMaxPortNumberDigits = 9;

// The number in "COM<n>" or "<n>", -1 when the name is neither.
int PortNumberInName(const std::string& name) {
    size_t start = 0;
    if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') &&
        (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm')) {
        start = 3;
    }
    const size_t digits = name.size() - start;
    if (digits == 0 || digits > kMaxPortNumberDigits) return -1;
    int number = 0;
    for (size_t i = start; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

SerialOpenCause CauseOfOpenError(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return SerialOpenCause::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return SerialOpenCause::InUse;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return SerialOpenCause::NoSuchPort;
        case ENOTTY:
        case EISDIR:
            return SerialOpenCause::NotSerialPort;
        default:
            return SerialOpenCause::Other;
    }
}

// The logged reason: what to do about it, where there is something to do.
std::string OpenFailureReason(int error) {
    switch (CauseOfOpenError(error)) {
        case SerialOpenCause::PermissionDenied:
            return std::string(strerror(error)) + " (is the user in the dialout group?)";
        case SerialOpenCause::InUse:
            return "busy: another program has the port open";
        case SerialOpenCause::NoSuchPort:
            return std::string(strerror(error)) + " (is the device plugged in?)";
        case SerialOpenCause::NotSerialPort:
            return "not a serial port";
        default:
            return strerror(error);
    }
}

// Logs the failure and hands it out. A port in use is named with the process that holds it
// (looked up once our own descriptor, if any, is closed).
void Fail(const std::string& path, int error, SerialOpenCause cause, const std::string& reason,
          std::string* out, SerialOpenFailure* failure, SerialFd* port = nullptr) {
    SerialOpenFailure result = MakeSerialOpenFailure(cause, error, path, reason);
    if (cause == SerialOpenCause::InUse) {
        if (port != nullptr) port->Reset();
        if (FindSerialPortHolder(path, result.holderPid, result.holderName)) {
            result.reason +=
                " (" + result.holderName + ", pid " + std::to_string(result.holderPid) + ")";
        }
    }
    DbgOutputA(kDbgLevelError, "Open %s failed:%d %s\r\n", path.c_str(), error,
               result.reason.c_str());
    if (out != nullptr) *out = result.reason;
    if (failure != nullptr) *failure = std::move(result);
}

// Refuses what the line cannot do; the reason is empty when the settings are usable.
std::string UnsupportedSettingReason(const SerialLineSettings& settings) {
    if (settings.baudRate == 0) return "baud rate 0 is not a line rate";
    if (settings.byteSize < 5 || settings.byteSize > 8) {
        return "byte size " + std::to_string(settings.byteSize) + " is not supported (5 to 8)";
    }
    if (settings.parity > 4) {
        return "parity " + std::to_string(settings.parity) + " is not supported (0 to 4)";
    }
    if (settings.stopBits == 1) return "1.5 stop bits are not supported on Linux";
    if (settings.stopBits > 2) {
        return "stop bits " + std::to_string(settings.stopBits) + " is not supported (0 or 2)";
    }
    return {};
}

}  // namespace

SerialFd& SerialFd::operator=(SerialFd&& other) noexcept {
    if (this != &other) {
        Reset();
        m_fd = other.Release();
    }
    return *this;
}

int SerialFd::Release() {
    return std::exchange(m_fd, -1);
}

void SerialFd::Reset() {
    if (m_fd < 0) return;
    const int fd = std::exchange(m_fd, -1);
    ioctl(fd, TIOCNXCL);  // fails harmlessly on anything that is not a terminal
    close(fd);
}

std::string ResolveSerialPortName(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return name;
    const int number = PortNumberInName(name);
    if (number >= 0) {
        std::string registered;
        if (!SerialPortNameOf(number, registered)) return {};
        // Table names are resolved paths already; a bare one is looked up once more, never as a
        // number again.
        if (registered.find('/') != std::string::npos) return registered;
        if (PortNumberInName(registered) >= 0) return {};
        return ResolveSerialPortName(registered);
    }
    const std::string folder = VirtualSerialPortFolder();
    const std::string link = folder + "/" + name;
    struct stat info {};
    if (IsTrustedVirtualSerialPortFolder(folder) && lstat(link.c_str(), &info) == 0 &&
        S_ISLNK(info.st_mode)) {
        return link;
    }
    return "/dev/" + name;
}

bool ApplySerialLineSettings(int fd, const SerialLineSettings& settings, std::string* error) {
    const std::string unsupported = UnsupportedSettingReason(settings);
    if (!unsupported.empty()) {
        DbgOutputA(kDbgLevelError, "Serial line settings refused: %s\r\n", unsupported.c_str());
        if (error != nullptr) *error = unsupported;
        return false;
    }
    uint32_t actualBaud = 0;
    const int rc = SetTermios2LineSettings(fd, settings.baudRate, settings.byteSize,
                                           settings.parity, settings.stopBits == 2, &actualBaud);
    if (rc != 0) {
        const std::string reason = rc == ENOTTY
                                       ? std::string("not a serial port")
                                       : std::string("line settings not accepted: ") + strerror(rc);
        DbgOutputA(kDbgLevelError, "Set serial line settings (baud %u) failed:%d %s\r\n",
                   settings.baudRate, rc, reason.c_str());
        if (error != nullptr) *error = reason;
        return false;
    }
    const uint64_t wanted = settings.baudRate;
    const uint64_t diff = actualBaud > wanted ? actualBaud - wanted : wanted - actualBaud;
    if (diff * 1000 > wanted * kBaudWarnPerMille) {
        DbgOutputA(kDbgLevelWarning, "Serial baud rate %u asked, the driver runs %u\r\n",
                   settings.baudRate, actualBaud);
    }
    return true;
}

SerialFd OpenSerialPort(const std::string& name, const SerialLineSettings& settings,
                        std::string* error, std::string* path, SerialOpenFailure* failure) {
    const std::string resolved = ResolveSerialPortName(name);
    if (path != nullptr) *path = resolved;
    if (resolved.empty()) {
        Fail(name, ENOENT, SerialOpenCause::NoSuchPort,
             "no such port (list the ports first: port numbers come from the list)", error,
             failure);
        return SerialFd();
    }
    const std::string unsupported = UnsupportedSettingReason(settings);
    if (!unsupported.empty()) {
        Fail(resolved, EINVAL, SerialOpenCause::SettingsRefused, unsupported, error, failure);
        return SerialFd();
    }

    SerialFd port(open(resolved.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port.IsValid()) {
        const int rc = errno;
        Fail(resolved, rc, CauseOfOpenError(rc), OpenFailureReason(rc), error, failure);
        return SerialFd();
    }
    struct stat info {};
    if (fstat(port.Get(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        Fail(resolved, ENOTTY, SerialOpenCause::NotSerialPort,
             "not a serial port (not a character device)", error, failure);
        return SerialFd();
    }
    // flock holds against every other opener, root included; TIOCEXCL also stops programs that
    // do not take the lock (except those with CAP_SYS_ADMIN).
    if (flock(port.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int rc = errno;
        Fail(resolved, rc, CauseOfOpenError(rc), OpenFailureReason(rc), error, failure, &port);
        return SerialFd();
    }
    if (ioctl(port.Get(), TIOCEXCL) != 0) {
        const int rc = errno;
        Fail(resolved, rc, CauseOfOpenError(rc), rc == ENOTTY ? "not a serial port" : strerror(rc),
             error, failure, &port);
        return SerialFd();
    }
    std::string settingsError;
    if (!ApplySerialLineSettings(port.Get(), settings, &settingsError)) {
        Fail(resolved, EINVAL, SerialOpenCause::SettingsRefused, settingsError, error, failure);
        return SerialFd();
    }
    if (tcflush(port.Get(), TCIOFLUSH) != 0) {
        const int rc = errno;
        DbgOutputA(kDbgLevelWarning, "Flush %s failed:%d %s\r\n", resolved.c_str(), rc,
                   strerror(rc));
    }
    SerialPortNumberOf(resolved);
    return port;
}

bool IsSerialPortGoneError(int errorNumber) {
    return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV;
}
