// A zorvan-sim of this build, started for one test: its own temporary folder serves as
// XDG_RUNTIME_DIR (so its port link is private to the test), as ORBO_HOME and for the flashed
// images (--flash-dir). The constructor waits (with a deadline) for the port path the simulator
// prints on its first line; the destructor ends it with SIGTERM (SIGKILL if it does not end)
// and reaps it.
//
// The program is <ORBO_TEST_BIN_DIR>/zorvan-sim (CTest sets the variable for every test), else
// zorvan-sim beside the test program. Used by one thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"

class TempDir;

class SimProcess {
public:
    static constexpr std::chrono::milliseconds kStartDeadline{10000};
    static constexpr std::chrono::milliseconds kStopDeadline{5000};

    // Starts the simulator with `args` after its --flash-dir. `flashDir` empty: a folder inside
    // the process's temporary folder; otherwise that folder (to share images between runs).
    explicit SimProcess(const std::vector<std::string>& args = {},
                        const std::string& flashDir = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True when the simulator runs and printed its port path.
    bool Started() const { return !m_portPath.empty(); }
    // What went wrong when it did not start.
    const std::string& Error() const { return m_error; }
    const std::string& PortPath() const { return m_portPath; }
    const std::string& FlashDir() const { return m_flashDir; }
    // The folder given as XDG_RUNTIME_DIR (the port link lies in its "orbo-serial").
    std::string RuntimeDir() const;
    pid_t Pid() const { return m_child.Pid(); }

    // Sends a signal to the simulator (while it runs).
    bool Signal(int signalNumber);
    // Whether it has ended; its wait status then in `status`. Does not block.
    bool HasExited(int* status = nullptr);
    // SIGTERM, then waits up to `deadline` (SIGKILL after that); the wait status, or nothing
    // when it never ran.
    std::optional<int> Stop(std::chrono::milliseconds deadline = kStopDeadline);

    // The simulator program this fixture runs.
    static std::string ProgramPath();

private:
    bool ReadPortPath(int fd);

    std::unique_ptr<TempDir> m_dir;
    std::string m_flashDir;
    std::string m_portPath;
    std::string m_error;
    ChildProcess m_child;
};
