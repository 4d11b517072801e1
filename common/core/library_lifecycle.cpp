// What the library does when it is loaded into a process and unloaded again: the delayed posting
// engine runs for exactly that span.
//
// The engine and the object below are constructed before every other static object of the
// library (they depend only on state that is built on first use), and destroyed in reverse order:
// the engine is stopped and the unload line written before the engine object itself goes.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "dbg_output.h"
#include "delay_post_msg.h"
#include "size_limits.h"

CDelayPostMsgEngine gDelayPostMsgEngine __attribute__((init_priority(1000)));

namespace {

// How long loading the library waits for the delayed posting thread to be up.
constexpr uint64_t kEngineStartWaitMs = 2000;

// The library's own file, as loaded (resolved to a full path where possible).
std::string LibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || info.dli_fname == nullptr) {
        return "(unknown)";
    }
    std::string path = info.dli_fname;
    if (char* real = realpath(info.dli_fname, nullptr)) {
        path = real;
        std::free(real);
    }
    if (path.size() > static_cast<size_t>(kMaxPathChars)) path.resize(kMaxPathChars);
    return path;
}

class LibraryLifecycle {
public:
    LibraryLifecycle() : m_path(LibraryPath()) {
        DbgOutputA(kDbgLevelInfo, "DLL_PROCESS_ATTACH: file=%s\r\n", m_path.c_str());
        gDelayPostMsgEngine.Start();
        // The engine thread's start lines then come before any line of the program's own.
        gDelayPostMsgEngine.WaitUntilLooping(kEngineStartWaitMs);
    }
    ~LibraryLifecycle() {
        gDelayPostMsgEngine.Stop();
        DbgOutputA(kDbgLevelInfo, "DLL_PROCESS_DETACH: file=%s\r\n", m_path.c_str());
    }
    LibraryLifecycle(const LibraryLifecycle&) = delete;
    LibraryLifecycle& operator=(const LibraryLifecycle&) = delete;

private:
    std::string m_path;
};

LibraryLifecycle gLifecycle __attribute__((init_priority(1001)));

}  // namespace
