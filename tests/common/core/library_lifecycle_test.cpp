#include <dlfcn.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "core/delay_post_msg.h"
#include "support/process_runner.h"
#include "support/wait_until.h"

namespace {

// The library file this test runs with, as the loader has it.
std::string LibraryFile() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DbgOutputA), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    char* real = realpath(info.dli_fname, nullptr);
    std::string path = real != nullptr ? real : info.dli_fname;
    std::free(real);
    return path;
}

// Long enough that only a hung unload reaches it.
constexpr std::chrono::seconds kChildDeadline{30};

// Runs this test program once more, listing its tests only: the library is loaded at start and
// unloaded at exit, with the debug output on standard error. A hung unload shows as a child
// killed at the deadline.
ProcessResult RunProgramOnce() {
    ProcessOptions options;
    options.environment = {{"ORBO_DEBUG", "1"}};
    options.deadline = kChildDeadline;
    return RunProcess({"/proc/self/exe", "--gtest_list_tests"}, options);
}

size_t Find(const std::string& text, const std::string& what, size_t from = 0) {
    return text.find(what, from);
}

TEST(LibraryLifecycle, LoadStartsTheEngineAndUnloadStopsItCleanly) {
    const std::string library = LibraryFile();
    ASSERT_FALSE(library.empty());
    const ProcessResult run = RunProgramOnce();
    ASSERT_TRUE(run.started) << run.error;
    ASSERT_FALSE(run.timedOut) << run.err;
    ASSERT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.exitCode, 0);
    const std::string& out = run.err;

    const size_t attach = Find(out, "DLL_PROCESS_ATTACH: file=" + library + "\r\n");
    ASSERT_NE(attach, std::string::npos) << out;
    const size_t created = Find(out, "name=DelayMsg\r\n", attach);
    ASSERT_NE(created, std::string::npos) << out;
    const size_t stopping = Find(out, "prepare exit thread..., name=DelayMsg", created);
    ASSERT_NE(stopping, std::string::npos) << out;
    const size_t exited = Find(out, "thread exit over, name=DelayMsg", stopping);
    ASSERT_NE(exited, std::string::npos) << out;
    const size_t detach = Find(out, "DLL_PROCESS_DETACH: file=" + library + "\r\n", exited);
    EXPECT_NE(detach, std::string::npos) << out;
    EXPECT_NE(Find(out, "[I]=> DLL_PROCESS_ATTACH"), std::string::npos) << out;  // level 2
}

TEST(LibraryLifecycle, EngineIsRunningWhileTheLibraryIsLoaded) {
    EXPECT_EQ(gDelayPostMsgEngine.GetPendingCount(), 0);
    gDelayPostMsgEngine.DelayPostMsg(0, 1, 2, 0x500, 0, 0, nullptr, 0);
    // Without hooks nothing is posted, but the running engine consumes the record.
    EXPECT_TRUE(WaitUntil([] { return gDelayPostMsgEngine.GetPendingCount() == 0; }));
}

}  // namespace
