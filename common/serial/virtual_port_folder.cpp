#include "virtual_port_folder.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/dbg_output.h"

namespace {

constexpr const char* kFolderName = "orbo-serial";
constexpr mode_t kFolderMode = 0700;

bool IsCharacterDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace

std::string VirtualSerialPortFolder() {
    const char* runtimeDir = getenv("XDG_RUNTIME_DIR");
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        std::string folder(runtimeDir);
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (folder != "/") folder += '/';
        return folder + kFolderName;
    }
    return std::string("/tmp/") + kFolderName + "-" + std::to_string(getuid());
}

bool IsTrustedVirtualSerialPortFolder(const std::string& folder) {
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
}

bool EnsureVirtualSerialPortFolder() {
    const std::string folder = VirtualSerialPortFolder();
    if (mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        const int error = errno;
        DbgOutputA(kDbgLevelError, "Create virtual serial port folder %s failed:%d %s\r\n",
                   folder.c_str(), error, strerror(error));
        return false;
    }
    if (!IsTrustedVirtualSerialPortFolder(folder)) {
        DbgOutputA(kDbgLevelError,
                   "Virtual serial port folder %s is not a folder owned by user %u: not used\r\n",
                   folder.c_str(), static_cast<unsigned>(getuid()));
        return false;
    }
    if (chmod(folder.c_str(), kFolderMode) != 0) {
        const int error = errno;
        DbgOutputA(kDbgLevelWarning, "Set mode 0700 on %s failed:%d %s\r\n", folder.c_str(), error,
                   strerror(error));
    }
    return true;
}

bool CreateVirtualSerialPortLink(const std::string& linkName, const std::string& target,
                                 std::string& linkPath) {
    if (linkName.empty() || linkName.find('/') != std::string::npos || linkName == "." ||
        linkName == "..") {
        DbgOutputA(kDbgLevelError, "Virtual serial port name \"%s\" is not a plain name\r\n",
                   linkName.c_str());
        return false;
    }
    if (!EnsureVirtualSerialPortFolder()) return false;
    const std::string path = VirtualSerialPortFolder() + "/" + linkName;

    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            DbgOutputA(kDbgLevelError, "Virtual serial port %s exists and is not a link\r\n",
                       path.c_str());
            return false;
        }
        if (IsCharacterDevice(path)) {
            DbgOutputA(kDbgLevelError,
                       "Virtual serial port %s is in use (its link leads to a live device)\r\n",
                       path.c_str());
            return false;
        }
    }
    // A stale link is replaced atomically: a fresh link under a private name, renamed over it.
    const std::string temporary =
        VirtualSerialPortFolder() + "/." + linkName + ".tmp-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        DbgOutputA(kDbgLevelError, "Link virtual serial port %s to %s failed:%d %s\r\n",
                   path.c_str(), target.c_str(), error, strerror(error));
        return false;
    }
    linkPath = path;
    return true;
}
