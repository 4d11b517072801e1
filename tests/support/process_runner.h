// Running a program for a test and collecting what it did: its standard output and error, its
// exit status, whether it had to be killed at the deadline. Optionally a SIGINT once its output
// shows something (or after a time), to test how a program stops on Ctrl-C.
//
// The child gets /dev/null as standard input and this process's environment with the given
// variables replaced (started as ChildProcess starts it). Used by one thread.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ProcessOptions {
    // Variables set (or replaced) in the child's environment.
    std::vector<std::pair<std::string, std::string>> environment;
    // Variables removed from the child's environment.
    std::vector<std::string> unset;
    // Working folder of the child; empty: ours.
    std::string workDir;
    // The child is killed (SIGKILL) when it runs longer; the result then says timedOut.
    std::chrono::milliseconds deadline{60000};
    // A SIGINT is sent once when this returns true for the output collected so far
    // (standard output, standard error).
    std::function<bool(const std::string& out, const std::string& err)> interruptWhen;
    // A SIGINT is sent once after this time.
    std::optional<std::chrono::milliseconds> interruptAfter;
};

struct ProcessResult {
    bool started = false;  // false: `error` says why
    std::string error;
    int exitCode = -1;  // the exit status; -1 when the child ended by a signal
    int signal = 0;     // the signal that ended it, 0 when it exited
    bool timedOut = false;
    bool interrupted = false;  // a SIGINT was sent
    std::string out;
    std::string err;
};

// Runs argv[0] (a path, or a name searched in PATH) with the arguments and waits for its end (or
// the deadline).
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// The lines of a text, without their line ends (a last line without one counts too).
std::vector<std::string> SplitLines(const std::string& text);
