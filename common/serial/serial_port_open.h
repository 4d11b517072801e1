// Opening and configuring a serial port: the one piece that CSerialUtil and the radar device
// library share. Name resolution (a device path, a link in the virtual port folder, or a port
// number of this process's table), an exclusive open (flock, plus TIOCEXCL), raw mode, and the
// line settings through termios2 (any baud rate; mark/space parity through CMSPAR).
//
// Settings use the library's values: parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0
// one, 1 one and a half (refused: Linux cannot do it), 2 two; byte size 5 to 8. Baud 0 is refused.
// Every failure is logged at level 4 as "Open <path> failed:<errno> <reason>" where the reason
// says what to do ("Permission denied (is the user in the dialout group?)", "busy: another
// program has the port open").
//
// A pseudo-terminal accepts every setting (it keeps the rate but does not pace by it), so the
// simulator's ports open exactly like hardware ones.
// Thread-safe (no shared state besides the port number table).
#pragma once

#include <cstdint>
#include <string>

#include "core/common_api.h"
#include "serial_open_failure.h"

// Owns one open port descriptor. Before closing, it gives up the port's exclusive mode
// (TIOCNXCL): the terminal keeps that mode past the close while its other end lives (a
// pseudo-terminal's master), which would lock every later opener without CAP_SYS_ADMIN out.
class ORBO_COMMON_API SerialFd {
public:
    SerialFd() = default;
    explicit SerialFd(int fd) : m_fd(fd) {}
    ~SerialFd() { Reset(); }
    SerialFd(SerialFd&& other) noexcept : m_fd(other.Release()) {}
    SerialFd& operator=(SerialFd&& other) noexcept;
    SerialFd(const SerialFd&) = delete;
    SerialFd& operator=(const SerialFd&) = delete;

    int Get() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    // Hands the descriptor over without closing it; the object becomes invalid.
    int Release();
    // Closes the descriptor (if any); the object becomes invalid.
    void Reset();

private:
    int m_fd = -1;
};

struct ORBO_COMMON_API SerialLineSettings {
    uint32_t baudRate = 115200;
    uint8_t byteSize = 8;
    uint8_t parity = 0;
    uint8_t stopBits = 0;
};

// The device path a port name stands for; empty when it stands for none:
// - a name with a '/' is a path and stays as it is;
// - "COM<n>" (any letter case) or a plain number <n> is the name registered under n in the port
//   number table (empty when n has no name);
// - any other name is the link of that name in the virtual port folder when one exists there,
//   else /dev/<name> (so "ttyUSB0" is "/dev/ttyUSB0").
ORBO_COMMON_API std::string ResolveSerialPortName(const std::string& name);

// Opens the named port: non-blocking descriptor (close-on-exec, no controlling terminal),
// exclusive, raw mode, settings applied, input and output queues flushed. The resolved path is
// registered in the port number table. Returns an invalid SerialFd on failure; `error`
// (optional) receives the reason, `path` (optional) the resolved path (also on failure, when
// the name resolved), `failure` (optional) the cause - for a port in use with the process that
// holds it when /proc tells.
ORBO_COMMON_API SerialFd OpenSerialPort(const std::string& name, const SerialLineSettings& settings,
                                        std::string* error = nullptr, std::string* path = nullptr,
                                        SerialOpenFailure* failure = nullptr);

// Applies line settings to an open descriptor (raw mode included); false, with a log line and
// the reason in `error` (optional), when Linux cannot.
ORBO_COMMON_API bool ApplySerialLineSettings(int fd, const SerialLineSettings& settings,
                                             std::string* error = nullptr);

// True for errno values that mean the device is gone (unplugged adapter, closed pseudo-terminal).
ORBO_COMMON_API bool IsSerialPortGoneError(int errorNumber);
