#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "core/delay_post_msg.h"
#include "support/wait_until.h"

extern char** environ;

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

struct ChildRun {
    bool exited = false;
    int exitCode = -1;
    std::string errorOutput;
};

// Runs this test program once more, listing its tests only: the library is loaded at start and
// unloaded at exit, with the debug output on standard error.
ChildRun RunProgramOnce() {
    ChildRun run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("ORBO_DEBUG=", 0) != 0) env.emplace_back(*e);
    }
    env.emplace_back("ORBO_DEBUG=1");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char list[] = "--gtest_list_tests";
    char* argv[] = {self, list, nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return run;
    }
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) run.errorOutput.append(buffer, got);
    close(fds[0]);
    int status = 0;
    // The pipe closed when the child ended (or closed its standard error); a hung unload shows as
    // a child that never ends.
    const bool ended =
        WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(30));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return run;
    }
    run.exited = WIFEXITED(status);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

size_t Find(const std::string& text, const std::string& what, size_t from = 0) {
    return text.find(what, from);
}

TEST(LibraryLifecycle, LoadStartsTheEngineAndUnloadStopsItCleanly) {
    const std::string library = LibraryFile();
    ASSERT_FALSE(library.empty());
    const ChildRun run = RunProgramOnce();
    ASSERT_TRUE(run.exited) << run.errorOutput;
    EXPECT_EQ(run.exitCode, 0);
    const std::string& out = run.errorOutput;

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
