// Opening and configuring a serial port: the one piece that CSerialUtil and the radar device
// library share. Name resolution (a device path, a link in the virtual port folder, or a port
// number of this process's table), an exclusive open (flock, plus TIOCEXCL), raw mode, and the
// line settings through termios2 (any baud rate; mark/space parity through CMSPAR).
//
// Settings use the library's values: parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0
// one, 1 one and a half (refused: Linux cannot do it), 2 two; byte size 5 to 8. Baud 0 is refused.
// Every failure is logged at level 4 with the reason and the errno text.
// Thread-safe (no shared state besides the port number table).
#pragma once

#include <cstdint>
#include <string>

// Owns one open file descriptor; closes it when destroyed.
class SerialFd {
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
    int Release();
    void Reset();

private:
    int m_fd = -1;
};

struct SerialLineSettings {
    uint32_t baudRate = 115200;
    uint8_t byteSize = 8;
    uint8_t parity = 0;
    uint8_t stopBits = 0;
};

// Opens the named port (non-blocking descriptor, raw mode, settings applied, input and output
// queues flushed). Returns an invalid SerialFd on failure; `error` (optional) receives the reason.
SerialFd OpenSerialPort(const std::string& name, const SerialLineSettings& settings,
                        std::string* error = nullptr);

// Applies line settings to an open descriptor; false (with a log line) when Linux cannot.
bool ApplySerialLineSettings(int fd, const SerialLineSettings& settings, std::string* error);

// True for errno values that mean the device is gone (unplugged adapter, closed pseudo-terminal).
bool IsSerialPortGoneError(int errorNumber);
