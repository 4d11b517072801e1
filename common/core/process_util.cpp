#include "process_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>
#include <vector>

#include "dbg_output.h"
#include "path_text.h"
#include "program_path.h"
#include "ptr_ctrl.h"
#include "unique_fd.h"
#include "utf_convert.h"

namespace {

constexpr size_t kMaxLockNameBytes = 200;  // keeps "orbo-" + name + ".lock" a valid file name

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Ids of every process listed in /proc.
std::vector<uint32_t> RunningProcesses() {
    std::vector<uint32_t> ids;
    std::unique_ptr<DIR, DirCloser> dir(opendir("/proc"));
    if (!dir) return ids;
    while (const dirent* entry = readdir(dir.get())) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && id > 0 && id <= UINT32_MAX) {
            ids.push_back(static_cast<uint32_t>(id));
        }
    }
    return ids;
}

bool NameToBytes(const char* name, std::string& out) {
    out = name == nullptr ? std::string() : std::string(name);
    return true;
}

bool NameToBytes(const WCHAR* name, std::string& out) {
    out.clear();
    return name != nullptr && Utf16ToUtf8(std::u16string_view(name), out);
}

std::vector<uint32_t> FindProcesses(const std::string& name, int compareFullPath) {
    std::vector<uint32_t> found;
    if (name.empty()) return found;
    std::string wanted = name;
    if (compareFullPath != 0) wanted = NormalizedPath(name.c_str());
    for (const uint32_t id : RunningProcesses()) {
        std::string program;
        if (!ReadProgramFile(id, program)) continue;
        const std::string compared =
            compareFullPath != 0 ? program : program.substr(program.find_last_of('/') + 1);
        if (compared == wanted) found.push_back(id);
    }
    return found;
}

template <class C>
int PidListT(const C* name, int compareFullPath, CPtrCtrl* out) {
    std::string bytes;
    if (out == nullptr || !NameToBytes(name, bytes)) return 0;
    int added = 0;
    for (const uint32_t id : FindProcesses(bytes, compareFullPath)) {
        if (out->AddData(reinterpret_cast<void*>(static_cast<uintptr_t>(id))) >= 0) ++added;
    }
    return added;
}

template <class C>
int KillT(const C* name, int compareFullPath) {
    std::string bytes;
    if (!NameToBytes(name, bytes)) return 0;
    int killed = 0;
    for (const uint32_t id : FindProcesses(bytes, compareFullPath)) {
        DbgOutputA(kDbgLevelInfo, "KillPidByName %s, pid=%d...\r\n", bytes.c_str(),
                   static_cast<int>(id));
        if (kill(static_cast<pid_t>(id), SIGKILL) == 0) {
            ++killed;
        } else {
            DbgOutputA(kDbgLevelWarning, "KillPidByName: ending pid %u failed: %s\r\n", id,
                       std::error_code(errno, std::generic_category()).message().c_str());
        }
    }
    return killed;
}

// Locks this process holds, by lock file path. The owner's pid tells a forked child that an
// inherited entry is not its own.
struct HeldLock {
    pid_t owner;
    UniqueFd fd;
};
std::mutex gHeldLocksMutex;
std::map<std::string, HeldLock>& HeldLocks() {
    static std::map<std::string, HeldLock> locks;
    return locks;
}

int CheckSingleInstanceBytes(const std::string& name) {
    const std::string path = SingleInstanceLockPath(name);
    if (path.empty()) {
        DbgOutputA(kDbgLevelWarning, "CheckSingleInstance: no lock file for this name\r\n");
        return 1;
    }
    std::lock_guard<std::mutex> guard(gHeldLocksMutex);
    auto held = HeldLocks().find(path);
    if (held != HeldLocks().end()) {
        if (held->second.owner == getpid()) return 1;
        HeldLocks().erase(held);  // inherited across fork: closing the copy leaves the lock alone
    }
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
    if (!fd.Valid() && errno == EACCES) {
        fd = UniqueFd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (!fd.Valid() && errno == EACCES) return 0;  // another user's instance
    }
    if (!fd.Valid()) {
        DbgOutputA(kDbgLevelWarning, "CheckSingleInstance: cannot open %s: %s\r\n", path.c_str(),
                   std::error_code(errno, std::generic_category()).message().c_str());
        return 1;
    }
    while (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return 0;
        DbgOutputA(kDbgLevelWarning, "CheckSingleInstance: cannot lock %s: %s\r\n", path.c_str(),
                   std::error_code(errno, std::generic_category()).message().c_str());
        return 1;
    }
    HeldLocks().emplace(path, HeldLock{getpid(), std::move(fd)});
    return 1;
}

}  // namespace

uint32_t GetParentProcessID(uint32_t processId) {
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0xFFFFFFFFu;
    // The program name in parentheses may hold blanks and parentheses itself.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return 0xFFFFFFFFu;
    std::istringstream fields(line.substr(close + 1));
    std::string state;
    long long parent = -1;
    if (!(fields >> state >> parent) || parent < 0 || parent > UINT32_MAX) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(parent);
}

int GetPidListByNameA(const char* name, int compareFullPath, CPtrCtrl* out) {
    return PidListT(name, compareFullPath, out);
}
int GetPidListByNameW(const WCHAR* name, int compareFullPath, CPtrCtrl* out) {
    return PidListT(name, compareFullPath, out);
}

int KillPidByNameA(const char* name, int compareFullPath) {
    return KillT(name, compareFullPath);
}
int KillPidByNameW(const WCHAR* name, int compareFullPath) {
    return KillT(name, compareFullPath);
}

std::string SingleInstanceLockPath(const std::string& name) {
    if (name.empty() || name.size() > kMaxLockNameBytes) return std::string();
    std::string fileName = "orbo-" + name + ".lock";
    for (char& c : fileName) {
        if (c == '/' || c == '\\') c = '_';
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && runtime[0] == '/' ? runtime : "/tmp";
    return folder + (folder.back() == '/' ? "" : "/") + fileName;
}

int CheckSingleInstanceA(const char* name) {
    return name == nullptr ? 1 : CheckSingleInstanceBytes(name);
}
int CheckSingleInstanceW(const WCHAR* name) {
    std::string bytes;
    if (name == nullptr || !Utf16ToUtf8(std::u16string_view(name), bytes)) return 1;
    return CheckSingleInstanceBytes(bytes);
}
