#include "support/process_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;

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
    SpawnOptions spawn;
    spawn.in = ChildStream::Null();
    spawn.out = ChildStream::Descriptor(out[1]);
    spawn.err = ChildStream::Descriptor(err[1]);
    spawn.environment = options.environment;
    spawn.unset = options.unset;
    spawn.workDir = options.workDir;
    ChildProcess child;
    const bool spawned = child.Start(argv, spawn);
    close(out[1]);
    close(err[1]);
    if (!spawned) {
        result.error = child.Error();
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
            child.Signal(SIGINT);
            result.interrupted = true;
        }
    };
    while (outOpen || errOpen || !exited) {
        if (!exited) exited = child.HasExited(&status);
        if (exited && !outOpen && !errOpen) break;
        const auto now = Clock::now();
        if (now >= end && !result.timedOut && !exited) {
            child.Signal(SIGKILL);
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
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}
