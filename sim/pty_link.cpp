#include "pty_link.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "core/dbg_output.h"
#include "serial/virtual_port_folder.h"

namespace {

bool Fail(std::string& error, const std::string& step) {
    error = step + ": " + strerror(errno);
    DbgOutputA(kDbgLevelError, "Pseudo-terminal %s\r\n", error.c_str());
    return false;
}

}  // namespace

bool PtyLink::Open(const std::string& linkName, std::string& error) {
    Close();
    UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.Valid()) return Fail(error, "posix_openpt");
    if (grantpt(master.Get()) != 0) return Fail(error, "grantpt");
    if (unlockpt(master.Get()) != 0) return Fail(error, "unlockpt");
    char name[128] = {};
    if (ptsname_r(master.Get(), name, sizeof(name)) != 0) return Fail(error, "ptsname");

    UniqueFd slave(open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave.Valid()) return Fail(error, std::string("open ") + name);
    termios settings{};
    if (tcgetattr(slave.Get(), &settings) != 0) return Fail(error, "tcgetattr");
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slave.Get(), TCSANOW, &settings) != 0) return Fail(error, "tcsetattr");

    std::string linkPath;
    if (!CreateVirtualSerialPortLink(linkName, name, linkPath)) {
        error = "cannot create the link " + linkName + " in " + VirtualSerialPortFolder();
        return false;
    }
    m_master = std::move(master);
    m_slave = std::move(slave);
    m_slavePath = name;
    m_linkPath = linkPath;
    DbgOutputA(kDbgLevelInfo, "Port %s -> %s\r\n", m_linkPath.c_str(), m_slavePath.c_str());
    return true;
}

void PtyLink::Close() {
    if (!m_linkPath.empty()) {
        if (unlink(m_linkPath.c_str()) != 0 && errno != ENOENT) {
            DbgOutputA(kDbgLevelWarning, "Remove link %s failed:%d %s\r\n", m_linkPath.c_str(),
                       errno, strerror(errno));
        }
        m_linkPath.clear();
    }
    m_slave.Close();
    m_master.Close();
    m_slavePath.clear();
}
