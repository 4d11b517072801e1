#include "thread_diagnostics.h"

#include <cxxabi.h>
#include <dirent.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dbg_output.h"
#include "utf_convert.h"

namespace {

constexpr int kMaxStackFrames = 128;
constexpr const char* kTaskFolder = "/proc/self/task";
constexpr const char* kNoFunction = "(function-name not available)";
constexpr const char* kNoFile = "(filename not available)";
constexpr const char* kNoModule = "(module-name not available)";
constexpr const char* kOtherThreadStack = "(call stack of another thread is not available)\r\n";

// Fields of /proc/self/task/<tid>/stat that the diagnostics use.
struct TaskStat {
    uint64_t userTicks = 0;
    uint64_t kernelTicks = 0;
    int priority = 0;
    int nice = 0;
};

bool ReadTaskStat(uint32_t tid, TaskStat& stat) {
    char path[64];
    snprintf(path, sizeof(path), "%s/%u/stat", kTaskFolder, tid);
    FILE* file = fopen(path, "re");
    if (file == nullptr) return false;
    char text[1024];
    const size_t length = fread(text, 1, sizeof(text) - 1, file);
    fclose(file);
    text[length] = '\0';
    // The command name may hold spaces and parentheses: the fields start after the last ')'.
    const char* fields = strrchr(text, ')');
    if (fields == nullptr) return false;
    // After ')': state ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt utime
    // stime cutime cstime priority nice ...
    unsigned long long utime = 0, stime = 0;
    long priority = 0, nice = 0;
    const int got =
        sscanf(fields + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu %*d %*d %ld %ld",
               &utime, &stime, &priority, &nice);
    if (got != 4) return false;
    stat.userTicks = utime;
    stat.kernelTicks = stime;
    stat.priority = static_cast<int>(priority);
    stat.nice = static_cast<int>(nice);
    return true;
}

uint64_t TicksToMs(uint64_t ticks) {
    const long perSecond = sysconf(_SC_CLK_TCK);
    const uint64_t tck = perSecond > 0 ? static_cast<uint64_t>(perSecond) : 100;
    return ticks / tck * 1000 + ticks % tck * 1000 / tck;
}

std::string FunctionName(const char* symbol) {
    if (symbol == nullptr || *symbol == '\0') return kNoFunction;
    int status = -1;
    char* demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : symbol;
    free(demangled);
    return name;
}

std::string FrameLine(void* address) {
    Dl_info info{};
    const bool known = dladdr(address, &info) != 0;
    std::string module = kNoModule;
    if (known && info.dli_fname != nullptr && *info.dli_fname != '\0') {
        const char* slash = strrchr(info.dli_fname, '/');
        module = slash != nullptr ? slash + 1 : info.dli_fname;
    }
    const std::string function = FunctionName(known ? info.dli_sname : nullptr);
    char head[64];
    snprintf(head, sizeof(head), "%p (", address);
    return std::string(head) + module + "): " + kNoFile + ": " + function + "\r\n";
}

// The calling thread's stack, from the caller of this function outwards.
__attribute__((noinline)) std::vector<std::string> CaptureStackLines() {
    void* frames[kMaxStackFrames];
    const int count = backtrace(frames, kMaxStackFrames);
    std::vector<std::string> lines;
    for (int i = 1; i < count; ++i) lines.push_back(FrameLine(frames[i]));
    return lines;
}

std::vector<uint32_t> ListThreads(int& error) {
    std::vector<uint32_t> tids;
    DIR* dir = opendir(kTaskFolder);
    if (dir == nullptr) {
        error = errno;
        return tids;
    }
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const unsigned long tid = strtoul(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0') tids.push_back(static_cast<uint32_t>(tid));
    }
    closedir(dir);
    std::sort(tids.begin(), tids.end());
    error = 0;
    return tids;
}

// The optional copy of the dump in a file; write errors are remembered and reported at close.
class DumpFile {
public:
    explicit DumpFile(const WCHAR* path) {
        if (path == nullptr) return;
        std::u16string wide(path, WideLength(path));
        std::replace(wide.begin(), wide.end(), u'\\', u'/');
        if (!Utf16ToUtf8(wide, m_path)) {
            DbgOutputA(
                kDbgLevelError,
                "DumpAllThreadsStack: the file path is not valid UTF-16, no file written\r\n");
            return;
        }
        m_file = fopen(m_path.c_str(), "wbe");
        if (m_file == nullptr) {
            DbgOutputA(kDbgLevelError, "DumpAllThreadsStack: cannot create %s: %s\r\n",
                       m_path.c_str(), strerror(errno));
        }
    }
    ~DumpFile() {
        if (m_file == nullptr) return;
        if (fclose(m_file) != 0 && m_error == 0) m_error = errno;
        if (m_error != 0) {
            DbgOutputA(kDbgLevelError, "DumpAllThreadsStack: writing %s failed: %s\r\n",
                       m_path.c_str(), strerror(m_error));
        }
    }
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    void Write(const std::string& line) {
        if (m_file == nullptr || m_error != 0) return;
        if (fwrite(line.data(), 1, line.size(), m_file) != line.size())
            m_error = errno ? errno : EIO;
    }

private:
    std::string m_path;
    FILE* m_file = nullptr;
    int m_error = 0;
};

void Emit(const std::string& line, DumpFile* file) {
    DbgOutputA(kDbgLevelInfo, "%s", line.c_str());
    if (file != nullptr) file->Write(line);
}

}  // namespace

int GetThreadRunTimeInfoIn_Win32(ThreadHandle handle, uint64_t* kernelMs, uint64_t* userMs) {
    if (kernelMs != nullptr) *kernelMs = 0;
    if (userMs != nullptr) *userMs = 0;
    const uint32_t tid = ThreadIdFromHandle(handle);
    TaskStat stat;
    if (tid == 0 || !ReadTaskStat(tid, stat)) return 0;
    if (kernelMs != nullptr) *kernelMs = TicksToMs(stat.kernelTicks);
    if (userMs != nullptr) *userMs = TicksToMs(stat.userTicks);
    return 1;
}

void DumpThreadStack() {
    try {
        for (const std::string& line : CaptureStackLines()) Emit(line, nullptr);
    } catch (...) {
        DbgOutputA(kDbgLevelError, "DumpThreadStack: out of memory\r\n");
    }
}

void DumpAllThreadsStack(const WCHAR* filePath) {
    try {
        int error = 0;
        const std::vector<uint32_t> tids = ListThreads(error);
        if (error != 0) {
            DbgOutputA(kDbgLevelWarning, "DumpAllThreadsStack: cannot list %s: %s\r\n", kTaskFolder,
                       strerror(error));
            return;
        }
        DumpFile file(filePath);
        Emit("dump thread callstack...\r\n\r\n", &file);
        const uint32_t self = static_cast<uint32_t>(gettid());
        for (const uint32_t tid : tids) {
            TaskStat stat;
            ReadTaskStat(tid, stat);  // a thread that ended meanwhile shows 0 and 0
            char line[128];
            snprintf(line, sizeof(line),
                     "THREAD ID=0x%08X, base priority=%d, delta priority=%d\r\n", tid,
                     stat.priority, stat.nice);
            Emit(line, &file);
            if (tid == self) {
                for (const std::string& frame : CaptureStackLines()) Emit(frame, &file);
            } else {
                Emit(kOtherThreadStack, &file);
            }
            snprintf(line, sizeof(line), "THREAD ID=0x%08X dump complete\r\n\r\n", tid);
            Emit(line, &file);
        }
    } catch (...) {
        DbgOutputA(kDbgLevelError, "DumpAllThreadsStack: out of memory\r\n");
    }
}
