// The shared port-opening piece, on pseudo-terminal pairs. The line settings are read back with
// TCGETS2, so this file uses the kernel's terminal definitions and not <termios.h>.
#include "serial/serial_port_open.h"

#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "serial/serial_port_table.h"
#include "serial/serial_termios2_internal.h"
#include "serial/virtual_port_folder.h"
#include "support/log_capture.h"
#include "support/pty_pair.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

constexpr int kReplyTimeoutMs = 2000;
constexpr uid_t kNobodyUid = 65534;

// Points the virtual port folder at a private temporary folder for one test.
class ScopedRuntimeDir {
private:
    TempDir m_dir;
    ScopedEnv m_env{"XDG_RUNTIME_DIR", m_dir.Path().string()};
};

struct termios2 ReadBack(int fd) {
    struct termios2 tio {};
    EXPECT_EQ(ioctl(fd, TCGETS2, &tio), 0);
    return tio;
}

// The number the table gives a name, without registering it; 0 when it is not registered.
int RegisteredNumber(const std::string& name) {
    std::string registered;
    for (int number = 1; SerialPortNameOf(number, registered); ++number) {
        if (registered == name) return number;
    }
    return 0;
}

// Opens the path as a user without CAP_SYS_ADMIN would (a child process that drops root, when
// the test runs as root); 0 or the errno of the open.
int OpenAsUnprivilegedUser(const std::string& path) {
    if (geteuid() != 0) {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return errno;
        close(fd);
        return 0;
    }
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(kNobodyUid) != 0 || setuid(kNobodyUid) != 0) _exit(255);
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd < 0 ? (errno & 0xFF) : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(SerialPortOpen, PassesEveryByteValueUnchangedBothWays) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    SerialFd port = OpenSerialPort(pty.SlavePath(), SerialLineSettings{});
    ASSERT_TRUE(port.IsValid());

    std::string all;
    for (int value = 0; value < 256; ++value) all.push_back(static_cast<char>(value));
    ASSERT_EQ(write(port.Get(), all.data(), all.size()), static_cast<ssize_t>(all.size()));
    const std::vector<uint8_t> received = pty.Receive(all.size(), kReplyTimeoutMs);
    EXPECT_EQ(std::string(received.begin(), received.end()), all);

    ASSERT_TRUE(pty.Send(all));
    std::string back;
    for (int tries = 0; back.size() < all.size() && tries < kReplyTimeoutMs; ++tries) {
        char chunk[512];
        const ssize_t n = read(port.Get(), chunk, sizeof(chunk));
        if (n > 0) {
            back.append(chunk, static_cast<size_t>(n));
        } else {
            usleep(1000);
        }
    }
    EXPECT_EQ(back, all);
}

TEST(SerialPortOpen, DescriptorIsNonBlockingAndCloseOnExec) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    SerialFd port = OpenSerialPort(pty.SlavePath(), SerialLineSettings{});
    ASSERT_TRUE(port.IsValid());
    EXPECT_TRUE(fcntl(port.Get(), F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(fcntl(port.Get(), F_GETFD) & FD_CLOEXEC);
    char byte = 0;
    EXPECT_EQ(read(port.Get(), &byte, 1), -1);
    EXPECT_EQ(errno, EAGAIN);
}

TEST(SerialPortOpen, FrameFlagsFollowByteSizeParityAndStopBits) {
    struct Case {
        int byteSize;
        int parity;
        bool twoStopBits;
        tcflag_t flags;
    };
    const Case cases[] = {
        {8, 0, false, CS8},
        {7, 1, true, CS7 | PARENB | PARODD | CSTOPB},
        {8, 2, false, CS8 | PARENB},
        {8, 3, false, CS8 | PARENB | CMSPAR | PARODD},
        {6, 4, true, CS6 | PARENB | CMSPAR | CSTOPB},
        {5, 0, false, CS5},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Termios2FrameFlags(test.byteSize, test.parity, test.twoStopBits), test.flags)
            << test.byteSize << " " << test.parity << " " << test.twoStopBits;
    }
}

// A pseudo-terminal forces 8 data bits without parity (CS8, PARENB clear) whatever it is told;
// everything else it keeps, so that is what is checked on it.
TEST(SerialPortOpen, AppliesRateStopBitsParityModeAndRawMode) {
    struct Case {
        SerialLineSettings settings;
        tcflag_t kept;     // cflag bits the terminal must show
        tcflag_t cleared;  // cflag bits it must not show
        bool parityCheck;  // INPCK
    };
    const Case cases[] = {
        {{9600, 8, 0, 0}, CLOCAL | CREAD, CSTOPB | CMSPAR | PARODD | CRTSCTS, false},
        {{256000, 8, 0, 0}, CLOCAL | CREAD, CSTOPB, false},
        {{115200, 7, 1, 2}, CSTOPB | PARODD, CMSPAR, true},
        {{57600, 8, 2, 0}, 0, PARODD | CMSPAR | CSTOPB, true},
        {{19200, 8, 3, 0}, CMSPAR | PARODD, CSTOPB, false},
        {{1234567, 6, 4, 2}, CMSPAR | CSTOPB, PARODD, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message()
                     << "baud " << test.settings.baudRate << " size " << int(test.settings.byteSize)
                     << " parity " << int(test.settings.parity) << " stop "
                     << int(test.settings.stopBits));
        PtyPair pty;
        ASSERT_TRUE(pty.Valid());
        SerialFd port = OpenSerialPort(pty.SlavePath(), test.settings);
        ASSERT_TRUE(port.IsValid());
        const struct termios2 tio = ReadBack(port.Get());
        EXPECT_EQ(tio.c_ospeed, test.settings.baudRate);
        EXPECT_EQ(tio.c_ispeed, test.settings.baudRate);
        EXPECT_EQ(tio.c_cflag & test.kept, test.kept);
        EXPECT_EQ(tio.c_cflag & test.cleared, 0u);
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, test.parityCheck);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    }
}

TEST(SerialPortOpen, RefusesSettingsLinuxCannotDoWithALogLine) {
    struct Case {
        SerialLineSettings settings;
        const char* reason;
    };
    const Case cases[] = {
        {{9600, 8, 0, 1}, "1.5 stop bits"}, {{0, 8, 0, 0}, "baud rate 0"},
        {{9600, 4, 0, 0}, "byte size 4"},   {{9600, 9, 0, 0}, "byte size 9"},
        {{9600, 8, 5, 0}, "parity 5"},      {{9600, 8, 0, 3}, "stop bits 3"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.reason);
        PtyPair pty;
        ASSERT_TRUE(pty.Valid());
        LogCapture log;
        std::string error;
        SerialFd port = OpenSerialPort(pty.SlavePath(), test.settings, &error);
        EXPECT_FALSE(port.IsValid());
        EXPECT_NE(error.find(test.reason), std::string::npos) << error;
        EXPECT_TRUE(log.Has("Open " + pty.SlavePath() + " failed:")) << log.All();
        EXPECT_TRUE(log.Has(test.reason)) << log.All();
    }
}

TEST(SerialPortOpen, SecondOpenerIsRefusedAsBusyEvenForRoot) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    SerialFd first = OpenSerialPort(pty.SlavePath(), SerialLineSettings{});
    ASSERT_TRUE(first.IsValid());
    LogCapture log;
    std::string error;
    SerialFd second = OpenSerialPort(pty.SlavePath(), SerialLineSettings{}, &error);
    EXPECT_FALSE(second.IsValid());
    EXPECT_NE(error.find("busy: another program has the port open"), std::string::npos) << error;
    EXPECT_TRUE(log.Has("busy")) << log.All();

    first.Reset();
    SerialFd third = OpenSerialPort(pty.SlavePath(), SerialLineSettings{});
    EXPECT_TRUE(third.IsValid());
}

TEST(SerialPortOpen, ExclusiveModeStopsOthersAndEndsWithTheClose) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0666), 0);
    SerialFd port = OpenSerialPort(pty.SlavePath(), SerialLineSettings{});
    ASSERT_TRUE(port.IsValid());
    EXPECT_EQ(OpenAsUnprivilegedUser(pty.SlavePath()), EBUSY);
    // The terminal outlives our descriptor (the master holds it): without giving up the
    // exclusive mode, nobody but root could open it again.
    port.Reset();
    EXPECT_EQ(OpenAsUnprivilegedUser(pty.SlavePath()), 0);
}

TEST(SerialPortOpen, FailuresSayWhatToDo) {
    struct Case {
        std::string name;
        const char* reason;
    };
    TempDir dir;
    const Case cases[] = {
        {dir.File("no-such-port"), "plugged in"},
        {"/dev/null", "not a serial port"},
        {dir.Path().string(), "not a serial port"},
        {"", "no such port"},
        {"COM999999", "no such port"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        LogCapture log;
        std::string error;
        SerialFd port = OpenSerialPort(test.name, SerialLineSettings{}, &error);
        EXPECT_FALSE(port.IsValid());
        EXPECT_NE(error.find(test.reason), std::string::npos) << error;
        EXPECT_TRUE(log.Has(test.reason)) << log.All();
    }
}

// The reason OpenSerialPort gives for a port the user may not open. As root, a child process
// that became an ordinary user tries (glibc keeps malloc usable in a forked child).
std::string UnprivilegedOpenError(const std::string& path) {
    if (geteuid() != 0) {
        std::string error;
        SerialFd port = OpenSerialPort(path, SerialLineSettings{}, &error);
        return port.IsValid() ? "opened" : error;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::string error = "could not drop root";
        if (setgid(kNobodyUid) == 0 && setuid(kNobodyUid) == 0) {
            SerialFd port = OpenSerialPort(path, SerialLineSettings{}, &error);
            if (port.IsValid()) error = "opened";
        }
        const ssize_t ignored = write(pipeFds[1], error.data(), error.size());
        (void)ignored;
        _exit(0);
    }
    close(pipeFds[1]);
    std::string error;
    char chunk[256];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], chunk, sizeof(chunk))) > 0) error.append(chunk, n);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return error;
}

TEST(SerialPortOpen, PermissionFailureNamesTheDialoutGroup) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    // Root's pseudo-terminal is closed to others with 0600; an ordinary owner locks itself out
    // with 0.
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), geteuid() == 0 ? 0600 : 0), 0);
    const std::string error = UnprivilegedOpenError(pty.SlavePath());
    EXPECT_NE(error.find("Permission denied (is the user in the dialout group?)"),
              std::string::npos)
        << error;
}

TEST(SerialPortOpen, ResolvesPathsBareNamesLinksAndNumbers) {
    ScopedRuntimeDir runtime;
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    std::string link;
    ASSERT_TRUE(CreateVirtualSerialPortLink("sensor", pty.SlavePath(), link));
    const int number = SerialPortNumberOf("/dev/ttyResolveTest7");
    const int bareNumber = SerialPortNumberOf("ttyBareResolveTest");
    const std::string numberText = std::to_string(number);

    struct Case {
        std::string name;
        std::string path;
    };
    const Case cases[] = {
        {"/dev/pts/77", "/dev/pts/77"},
        {"./relative/port", "./relative/port"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"sensor", link},
        {"COM" + numberText, "/dev/ttyResolveTest7"},
        {"com" + numberText, "/dev/ttyResolveTest7"},
        {numberText, "/dev/ttyResolveTest7"},
        {"COM" + std::to_string(bareNumber), "/dev/ttyBareResolveTest"},
        {"COM99999", ""},
        {"COM0", ""},
        {"COM", "/dev/COM"},
        {"COM1x", "/dev/COM1x"},
        {"", ""},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(ResolveSerialPortName(test.name), test.path) << test.name;
    }
}

TEST(SerialPortOpen, OpenByLinkNameRegistersTheLinkPath) {
    ScopedRuntimeDir runtime;
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    std::string link;
    ASSERT_TRUE(CreateVirtualSerialPortLink("registered-port", pty.SlavePath(), link));
    ASSERT_EQ(RegisteredNumber(link), 0);

    std::string path;
    SerialFd port = OpenSerialPort("registered-port", SerialLineSettings{}, nullptr, &path);
    ASSERT_TRUE(port.IsValid());
    EXPECT_EQ(path, link);
    const int number = RegisteredNumber(link);
    EXPECT_GT(number, 0);

    // The number opens the same port again (once the first holder let go).
    port.Reset();
    SerialFd again =
        OpenSerialPort("COM" + std::to_string(number), SerialLineSettings{}, nullptr, &path);
    EXPECT_TRUE(again.IsValid());
    EXPECT_EQ(path, link);
}

TEST(SerialPortOpen, FailedOpenRegistersNothing) {
    TempDir dir;
    const std::string missing = dir.File("never-there");
    SerialFd port = OpenSerialPort(missing, SerialLineSettings{});
    EXPECT_FALSE(port.IsValid());
    EXPECT_EQ(RegisteredNumber(missing), 0);
}

TEST(SerialPortOpen, OnlyDeviceGoneErrorsCountAsVanished) {
    const struct {
        int error;
        bool gone;
    } cases[] = {{EIO, true},    {ENXIO, true},   {ENODEV, true}, {EAGAIN, false},
                 {EINTR, false}, {EACCES, false}, {EBADF, false}, {0, false}};
    for (const auto& test : cases) {
        EXPECT_EQ(IsSerialPortGoneError(test.error), test.gone) << test.error;
    }
}

TEST(SerialFd, MoveHandsOverAndResetCloses) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    SerialFd port = OpenSerialPort(pty.SlavePath(), SerialLineSettings{});
    ASSERT_TRUE(port.IsValid());
    const int fd = port.Get();
    SerialFd moved(std::move(port));
    EXPECT_FALSE(port.IsValid());
    EXPECT_EQ(moved.Get(), fd);
    SerialFd assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Get(), fd);
    assigned.Reset();
    EXPECT_FALSE(assigned.IsValid());
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

}  // namespace
