// A program started by a test (a server, a tool, the simulator, the program under test): spawned
// with posix_spawn, watched, ended with a signal and reaped. Every other way the tests start a
// process (RunProcess, SimProcess, RunProgram) is built on it. Used by one thread.
//
// The child starts with default handling of SIGINT, SIGTERM and SIGPIPE and no blocked signals,
// whatever the test process set up, so that the signals a test sends end it as they would end
// it from a shell.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Where one of the child's standard streams goes.
struct ChildStream {
    enum class Kind { Inherit, Null, Descriptor, AppendFile };

    // Ours, as it is.
    static ChildStream Inherit() { return {}; }
    // /dev/null.
    static ChildStream Null() { return {Kind::Null, -1, {}}; }
    // A descriptor of ours (the write end of a pipe, say); the parent keeps it open.
    static ChildStream Descriptor(int fd) { return {Kind::Descriptor, fd, {}}; }
    // The file, created when missing and written at its end; an empty path: /dev/null.
    static ChildStream AppendTo(const std::string& path) {
        return path.empty() ? Null() : ChildStream{Kind::AppendFile, -1, path};
    }

    Kind kind = Kind::Inherit;
    int fd = -1;
    std::string path;
};

struct SpawnOptions {
    ChildStream in;
    ChildStream out;
    ChildStream err;
    // Variables set (or replaced) in the child's environment; the rest is ours.
    std::vector<std::pair<std::string, std::string>> environment;
    // Variables removed from the child's environment.
    std::vector<std::string> unset;
    // Working folder of the child; empty: ours.
    std::string workDir;
    // The file to run when it is not argv[0] (the child then sees argv[0] as its name).
    std::string program;
};

class ChildProcess {
public:
    static constexpr std::chrono::milliseconds kStopDeadline{5000};

    ChildProcess() = default;
    // Stop().
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (or options.program), searched in PATH when the name has no '/', with the
    // arguments. A child started before is stopped first. False with Error() when it cannot
    // start.
    bool Start(const std::vector<std::string>& argv, const SpawnOptions& options);
    // Start() with /dev/null as standard input and standard output and error appended to the
    // given files (empty: /dev/null).
    bool Spawn(const std::vector<std::string>& argv, const std::string& outFile = {},
               const std::string& errFile = {});
    // The child's id; it stays after the child ended, until the next start. -1 before a start.
    pid_t Pid() const { return m_pid; }
    // Whether it has ended (does not block); its wait status then in `status`.
    bool HasExited(int* status = nullptr);
    // Sends a signal to the child while it runs; false when it has ended or never started.
    bool Signal(int signalNumber);
    // Sends the signal (SIGTERM by default) unless the child has ended already, waits up to
    // `deadline` (then SIGKILL) and reaps it. The wait status, or nothing when nothing was
    // started.
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

// A program of this build: <ORBO_TEST_BIN_DIR>/<name> (CTest sets the variable for every test),
// else <name> beside the test program.
std::string BuiltProgramPath(const std::string& name);
