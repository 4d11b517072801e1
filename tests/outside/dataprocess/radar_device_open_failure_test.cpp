// ctest-labels: unit
// Why an open failed, as the radar device library keeps it for its caller: one cause per way a
// port can fail (nothing there, a file that is no terminal, a port another process holds, a port
// where no sensor answers, a port the user may not open), and the text the CLI prints for it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <string>

#include "dataprocess/radar_device_interface.h"
#include "serial/serial_open_failure.h"
#include "serial/serial_port_table.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace {

struct DeviceDeleter {
    void operator()(IRadarDevice* device) const {
        Orbo_Interface_RadarDevice_Serial_Destroy(device);
    }
};
using DevicePtr = std::unique_ptr<IRadarDevice, DeviceDeleter>;

// Opens the port as the CLI does (version and serial number read in command mode) and returns
// the failure the library kept; `opened` tells whether the open succeeded.
SerialOpenFailure OpenAndTakeFailure(const std::string& path, bool& opened) {
    DevicePtr device(Orbo_Interface_RadarDevice_Serial_Create());
    opened = Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                 device.get(), SerialPortNumberOf(path), 115200, 8, 0, 0, eRADAR_PROTOCOL_VERSION_2,
                 1, 1, 0, kCmdModeAckTimeoutMs, kCmdModeSettleMs) == 1;
    SerialOpenFailure failure;
    const int told = Orbo_Interface_RadarDevice_GetOpenFailure(device.get(), failure);
    EXPECT_EQ(told, opened ? 0 : 1);
    return failure;
}

// A child process that opens the port and holds its lock until the test ends it.
class LockHolder {
public:
    explicit LockHolder(const std::string& path) {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
            const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
            if (write(ready[1], &ok, 1) != 1) _exit(1);
            for (;;) pause();
        }
        close(ready[1]);
        char ok = '0';
        m_locked = m_pid > 0 && read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~LockHolder() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool Locked() const { return m_locked; }
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_locked = false;
};

TEST(RadarDeviceOpenFailure, EachWayAPortFailsHasItsCauseAndText) {
    TempDir dir;
    const std::string regular = dir.File("not-a-port");
    std::ofstream(regular) << "text";
    PtyPair silent;
    ASSERT_TRUE(silent.Valid());
    PtyPair held;
    ASSERT_TRUE(held.Valid());
    LockHolder holder(held.SlavePath());
    ASSERT_TRUE(holder.Locked());

    struct Case {
        const char* what;
        std::string path;
        SerialOpenCause cause;
        std::string text;
    } cases[] = {
        {"missing path", dir.File("no-such-port"), SerialOpenCause::NoSuchPort, "no such port"},
        {"regular file", regular, SerialOpenCause::NotSerialPort, "not a serial port"},
        {"/dev/null", "/dev/null", SerialOpenCause::NotSerialPort, "not a serial port"},
        {"folder", dir.Path().string(), SerialOpenCause::NotSerialPort, "not a serial port"},
        {"port held by another process", held.SlavePath(), SerialOpenCause::InUse,
         "in use by another program: "},
        {"port where nobody answers", silent.SlavePath(), SerialOpenCause::NoAnswer,
         "the sensor did not answer within 500 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool opened = true;
        const SerialOpenFailure failure = OpenAndTakeFailure(c.path, opened);
        EXPECT_FALSE(opened);
        EXPECT_EQ(failure.cause, c.cause);
        EXPECT_EQ(failure.path, c.path);
        const std::string text = SerialOpenFailureText(failure);
        EXPECT_EQ(text.substr(0, c.text.size()), c.text) << text;
    }

    bool opened = true;
    const SerialOpenFailure inUse = OpenAndTakeFailure(held.SlavePath(), opened);
    EXPECT_EQ(inUse.holderPid, holder.Pid());
    EXPECT_FALSE(inUse.holderName.empty());
    EXPECT_NE(SerialOpenFailureText(inUse).find("(pid " + std::to_string(holder.Pid()) + ")"),
              std::string::npos)
        << SerialOpenFailureText(inUse);
}

TEST(RadarDeviceOpenFailure, ASuccessfulOpenClearsTheLastFailure) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    DevicePtr device(Orbo_Interface_RadarDevice_Serial_Create());
    const int number = SerialPortNumberOf(pty.SlavePath());
    ASSERT_EQ(Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                  device.get(), number, 115200, 8, 0, 0, eRADAR_PROTOCOL_VERSION_2, 1, 0, 0,
                  kCmdModeAckTimeoutMs, kCmdModeSettleMs),
              0);
    SerialOpenFailure failure;
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetOpenFailure(device.get(), failure), 1);
    EXPECT_EQ(failure.cause, SerialOpenCause::NoAnswer);
    // Without flags nothing is sent, so the same port opens.
    ASSERT_EQ(Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                  device.get(), number, 115200, 8, 0, 0, eRADAR_PROTOCOL_VERSION_2, 0, 0, 0,
                  kCmdModeAckTimeoutMs, kCmdModeSettleMs),
              1);
    EXPECT_EQ(Orbo_Interface_RadarDevice_GetOpenFailure(device.get(), failure), 0);
    EXPECT_EQ(failure.cause, SerialOpenCause::None);
    EXPECT_EQ(SerialOpenFailureText(failure), "");
}

// CI runs as root, whom file modes do not stop: there this case is skipped.
TEST(RadarDeviceOpenFailure, APortTheUserMayNotOpenGivesTheGroupAdvice) {
    if (geteuid() == 0) GTEST_SKIP() << "root opens any device node";
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0), 0);
    bool opened = true;
    const SerialOpenFailure failure = OpenAndTakeFailure(pty.SlavePath(), opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(failure.cause, SerialOpenCause::PermissionDenied);
    const std::string text = SerialOpenFailureText(failure);
    EXPECT_EQ(text.rfind("permission denied", 0), 0u) << text;
    EXPECT_NE(text.find("dialout"), std::string::npos) << text;
    EXPECT_NE(text.find("uaccess"), std::string::npos) << text;
}

}  // namespace
