#include "support/process_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& set,
    const std::vector<std::string>& unset) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : set) {
            if (text.rfind(name + "=", 0) == 0) replaced = true;
        }
        for (const std::string& name : unset) {
            if (text.rfind(name + "=", 0) == 0) replaced = true;
        }
        if (!replaced) env.push_back(text);
    }
    for (const auto& [name, value] : set) env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads what is there; false at the end of the stream (or an error).
bool Drain(int fd, std::string& into) {
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            into.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        return false;
    }
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ProcessResult result;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC | O_NONBLOCK) != 0) {
        result.error = std::string("pipe: ") + strerror(errno);
        return result;
    }
    if (pipe2(err, O_CLOEXEC | O_NONBLOCK) != 0) {
        result.error = std::string("pipe: ") + strerror(errno);
        close(out[0]);
        close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (!options.workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.workDir.c_str());
    }
    // The child starts with default signal handling whatever the test process set up.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    sigset_t noMask;
    sigemptyset(&noMask);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = ChildEnvironment(options.environment, options.unset);
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(env);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args.empty() ? "" : args[0].c_str(), &actions, &attributes,
                               argPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        result.error = "spawn " + (args.empty() ? std::string() : args[0]) + ": " + strerror(rc);
        close(out[0]);
        close(err[0]);
        return result;
    }
    result.started = true;

    const auto start = Clock::now();
    const auto end = start + options.deadline;
    bool outOpen = true;
    bool errOpen = true;
    bool exited = false;
    int status = 0;
    auto interrupt = [&] {
        if (!result.interrupted && !exited) {
            kill(pid, SIGINT);
            result.interrupted = true;
        }
    };
    while (outOpen || errOpen || !exited) {
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) exited = true;
        if (exited && !outOpen && !errOpen) break;
        const auto now = Clock::now();
        if (now >= end && !result.timedOut && !exited) {
            kill(pid, SIGKILL);
            result.timedOut = true;
        }
        if (options.interruptAfter && now - start >= *options.interruptAfter) interrupt();
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        // Short slices: the child's end is noticed by waitpid, not by the pipes (a grandchild
        // may keep them open).
        poll(fds, 2, 10);
        if (outOpen) outOpen = Drain(out[0], result.out);
        if (errOpen) errOpen = Drain(err[0], result.err);
        if (options.interruptWhen && options.interruptWhen(result.out, result.err)) interrupt();
        if (exited && result.timedOut) break;
        if (exited && Clock::now() >= end) break;  // pipes held open by someone else
    }
    close(out[0]);
    close(err[0]);
    if (!exited) waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}
