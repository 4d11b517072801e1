#include "dbg_output.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "size_limits.h"
#include "text_format.h"
#include "utf_convert.h"

namespace {

// A callback that logs from inside a callback reaches the other callbacks, but nesting deeper
// than this (callbacks logging back and forth) stops reaching any.
constexpr int kMaxCallbackNesting = 4;

struct CallbackEntry {
    DbgOutputCallback callback;
    uintptr_t userData;
};

struct DebugOutputState {
    std::atomic<int> tagEnabled{1};
    std::atomic<int> timeType{kDbgTimeOfDay};
    std::atomic<int> includeIds{1};
    std::atomic<int> displayType{kDbgDisplayDebugger};
    std::mutex tagLock;  // the tag is text: read and written whole
    std::string tag = "Orbo_LOG";
    std::recursive_mutex callbackLock;
    std::vector<CallbackEntry> callbacks;
};

// Constructed on first use and never destroyed, so that lines written while the process exits
// (by other libraries' destructors) still find it.
DebugOutputState& State() {
    static DebugOutputState* state = new DebugOutputState;
    return *state;
}

// The callbacks this thread is running right now, innermost last. Plain data without a
// destructor: lines written while the process exits, after this thread's thread-local objects
// are gone (the library's unload line), still find it intact.
struct RunningCallbacks {
    DbgOutputCallback callbacks[kMaxCallbackNesting];
    int depth;

    bool Contains(DbgOutputCallback callback) const {
        return std::find(callbacks, callbacks + depth, callback) != callbacks + depth;
    }
};
static_assert(std::is_trivially_destructible_v<RunningCallbacks>);
thread_local RunningCallbacks tRunning;

char LevelLetter(uint32_t level) {
    static constexpr char kLetters[] = {' ', 'D', 'I', 'W', 'E'};
    return level < sizeof kLetters ? kLetters[level] : '?';
}

void AppendTimeStamp(std::string& line, int timeType) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const int millis = static_cast<int>(now.tv_nsec / 1000000);
    char stamp[64];
    if (timeType == kDbgTimeOfDay) {
        std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min,
                      local.tm_sec, millis);
    } else {
        std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d.%03d ",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, millis);
    }
    line += stamp;
}

std::string BuildLine(uint32_t level, const std::string& message) {
    DebugOutputState& state = State();
    std::string line;
    line.reserve(message.size() + 64);
    if (state.tagEnabled.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> guard(state.tagLock);
        line += state.tag;
        line += ' ';
    }
    const int timeType = state.timeType.load(std::memory_order_relaxed);
    if (timeType == kDbgTimeOfDay || timeType == kDbgDateTime) AppendTimeStamp(line, timeType);
    if (state.includeIds.load(std::memory_order_relaxed)) {
        char ids[64];
        std::snprintf(ids, sizeof ids, "(pid:%5d, lwp:%5d) ", static_cast<int>(getpid()),
                      static_cast<int>(syscall(SYS_gettid)));
        line += ids;
    }
    line += '[';
    line += LevelLetter(level);
    line += "]=> ";
    line += message;
    return line;
}

void WriteAll(int fd, const std::string& line) {
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t written = write(fd, line.data() + done, line.size() - done);
        if (written <= 0) return;
        done += static_cast<size_t>(written);
    }
}

void Display(const std::string& line) {
    const int displayType = State().displayType.load(std::memory_order_relaxed);
    if (displayType == kDbgDisplayDebugger) {
        // One write per line, so that lines of several threads never mix within a line.
        if (std::getenv("ORBO_DEBUG") != nullptr) WriteAll(STDERR_FILENO, line);
    } else if (displayType == kDbgDisplayStdout) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
}

void CallCallbacks(uint32_t level, const std::string& line) {
    DebugOutputState& state = State();
    if (tRunning.depth >= kMaxCallbackNesting) return;
    std::lock_guard<std::recursive_mutex> guard(state.callbackLock);
    const size_t count = state.callbacks.size();
    for (size_t i = 0; i < count && i < state.callbacks.size(); ++i) {
        const CallbackEntry entry = state.callbacks[i];
        if (tRunning.Contains(entry.callback)) continue;  // it is writing this very line
        tRunning.callbacks[tRunning.depth++] = entry.callback;
        entry.callback(entry.userData, level, line.c_str(), static_cast<int>(line.size()));
        --tRunning.depth;
    }
}

void WriteLine(uint32_t level, const std::string& message) {
    const std::string line = BuildLine(level, message);
    Display(line);
    CallCallbacks(level, line);
}

}  // namespace

void DbgOutputA(uint32_t level, const char* format, ...) {
    std::string message;
    va_list args;
    va_start(args, format);
    const bool ok = FormatTextV(message, format, args);
    va_end(args);
    if (!ok) message = std::string("(unformattable debug line) ") + (format ? format : "(null)");
    WriteLine(level, message);
}

void DbgOutputW(uint32_t level, const WCHAR* format, ...) {
    std::u16string wide;
    va_list args;
    va_start(args, format);
    const bool ok = FormatTextV(wide, format, args);
    va_end(args);
    std::string message = Utf16ToUtf8Lossy(wide);
    if (!ok) {
        message = "(unformattable debug line) " +
                  Utf16ToUtf8Lossy(std::u16string_view(format, WideLength(format)));
    }
    WriteLine(level, message);
}

void DbgOutputSetTag(int enabled, const char* tag) {
    DebugOutputState& state = State();
    state.tagEnabled.store(enabled, std::memory_order_relaxed);
    std::lock_guard<std::mutex> guard(state.tagLock);
    state.tag = tag ? std::string(tag).substr(0, kMaxDebugTagChars) : std::string();
}

void DbgOutputSetTimeType(int timeType) { State().timeType.store(timeType); }

void DbgOutputSetIncludePIDTID(int include) { State().includeIds.store(include); }

void DbgOutputSetDisplayType(int displayType) { State().displayType.store(displayType); }

void DbgOutputAddCallback(DbgOutputCallback callback, uintptr_t userData) {
    if (callback == nullptr) return;
    DebugOutputState& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.callbackLock);
    for (CallbackEntry& entry : state.callbacks) {
        if (entry.callback == callback) {
            entry.userData = userData;
            return;
        }
    }
    state.callbacks.push_back({callback, userData});
}

void DbgOutputDelCallback(DbgOutputCallback callback) {
    DebugOutputState& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.callbackLock);
    std::erase_if(state.callbacks,
                  [callback](const CallbackEntry& entry) { return entry.callback == callback; });
}

void DbgOutputDelAllCallback() {
    DebugOutputState& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.callbackLock);
    state.callbacks.clear();
}
