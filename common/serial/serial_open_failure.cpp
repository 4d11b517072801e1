#include "serial_open_failure.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <utility>

namespace {

// A /proc entry name that is a process id; 0 otherwise.
int PidOfEntry(const char* name) {
    int pid = 0;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || pid > (INT32_MAX - 9) / 10) return 0;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

// Whether one of the process's descriptors is the character device `device`.
bool ProcessHasDevice(int pid, dev_t device) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (fds == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(fds)) {
        if (entry->d_name[0] == '.') continue;
        struct stat info {};
        const std::string fd = folder + "/" + entry->d_name;
        if (stat(fd.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

std::string CommandNameOf(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

SerialOpenFailure MakeSerialOpenFailure(SerialOpenCause cause, int errorNumber, std::string path,
                                        std::string reason) {
    SerialOpenFailure failure;
    failure.cause = cause;
    failure.errorNumber = errorNumber;
    failure.path = std::move(path);
    failure.reason = std::move(reason);
    return failure;
}

std::string SerialOpenFailureText(const SerialOpenFailure& failure) {
    switch (failure.cause) {
        case SerialOpenCause::None:
            return {};
        case SerialOpenCause::NoSuchPort:
            return "no such port";
        case SerialOpenCause::PermissionDenied:
            return "permission denied (add yourself to the dialout group: sudo usermod -aG "
                   "dialout $USER, then log in again; or install the package's udev rule, whose "
                   "uaccess gives USB-serial bridges to the user at the seat)";
        case SerialOpenCause::NotSerialPort:
            return "not a serial port";
        case SerialOpenCause::InUse:
            if (failure.holderPid == 0) return "in use by another program";
            return "in use by another program: " + failure.holderName + " (pid " +
                   std::to_string(failure.holderPid) + ")";
        case SerialOpenCause::SettingsRefused:
            return "line settings refused: " + failure.reason;
        case SerialOpenCause::NoAnswer:
            return "the sensor did not answer within " + std::to_string(failure.timeoutMs) + " ms";
        case SerialOpenCause::Refused: {
            char status[8];
            std::snprintf(status, sizeof status, "%04X", failure.status);
            return std::string("the sensor refused command mode (status 0x") + status + ")";
        }
        case SerialOpenCause::Other:
            break;
    }
    return failure.reason.empty() ? std::string("the port does not open") : failure.reason;
}

bool FindSerialPortHolder(const std::string& path, int& pid, std::string& name) {
    struct stat target {};
    if (stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return false;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    const int self = static_cast<int>(getpid());
    int found = 0;
    while (const dirent* entry = readdir(proc)) {
        const int candidate = PidOfEntry(entry->d_name);
        if (candidate == 0 || !ProcessHasDevice(candidate, target.st_rdev)) continue;
        found = candidate;
        if (candidate != self) break;
    }
    closedir(proc);
    if (found == 0) return false;
    pid = found;
    name = CommandNameOf(found);
    return true;
}
