// A helper program started by a test (a server, a tool): spawned with posix_spawn, its standard
// output and error going to files, ended with a signal and reaped. Used by one thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    static constexpr std::chrono::milliseconds kStopDeadline{5000};

    ChildProcess() = default;
    // Stop().
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (searched in PATH) with the arguments; its standard output and error are
    // appended to the given files (empty: /dev/null). False with Error() when it cannot start.
    bool Spawn(const std::vector<std::string>& argv, const std::string& outFile = {},
               const std::string& errFile = {});
    pid_t Pid() const { return m_pid; }
    // Whether it has ended (does not block); its wait status then in `status`.
    bool HasExited(int* status = nullptr);
    // Sends the signal (SIGTERM by default), waits up to `deadline` (then SIGKILL) and reaps it.
    // The wait status, or nothing when nothing runs.
    std::optional<int> Stop(int signalNumber = 15,
                            std::chrono::milliseconds deadline = kStopDeadline);
    const std::string& Error() const { return m_error; }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::string m_error;
};

// Runs a program to its end (at most `deadline`, then it is killed); its output goes to
// `logFile` (empty: /dev/null). The exit code, or -1 when it could not run or did not exit
// normally.
int RunProgram(const std::vector<std::string>& argv, const std::string& logFile = {},
               std::chrono::milliseconds deadline = std::chrono::seconds(60));

// A whole text file, or an empty text.
std::string ReadTextFile(const std::string& path);
