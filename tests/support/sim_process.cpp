#include "support/sim_process.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"
#include "support/wait_until.h"

extern char** environ;

namespace {

constexpr size_t kMaxFirstLineBytes = 4096;

// The environment of the child: ours, with the given variables replaced.
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& set) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : set) {
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

}  // namespace

std::string SimProcess::ProgramPath() {
    const char* binDir = std::getenv("ORBO_TEST_BIN_DIR");
    if (binDir != nullptr && binDir[0] != '\0') return std::string(binDir) + "/zorvan-sim";
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / "zorvan-sim").string();
}

SimProcess::SimProcess(const std::vector<std::string>& args, const std::string& flashDir)
    : m_dir(std::make_unique<TempDir>()) {
    const std::string runtimeDir = RuntimeDir();
    const std::string home = m_dir->File("home");
    std::filesystem::create_directories(runtimeDir);
    std::filesystem::permissions(runtimeDir, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(home);
    m_flashDir = flashDir.empty() ? m_dir->File("flash") : flashDir;

    std::vector<std::string> argv{ProgramPath(), "--flash-dir", m_flashDir};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env =
        ChildEnvironment({{"XDG_RUNTIME_DIR", runtimeDir}, {"ORBO_HOME", home}});

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(env);
    const int rc = posix_spawn(&m_pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                               envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        m_pid = -1;
        m_error = "spawn " + argv[0] + ": " + strerror(rc);
        close(out[0]);
        return;
    }
    ReadPortPath(out[0]);
    close(out[0]);  // the simulator writes nothing more to standard output
}

bool SimProcess::ReadPortPath(int fd) {
    const auto end = std::chrono::steady_clock::now() + kStartDeadline;
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            m_error = "no port path within the start deadline";
            return false;
        }
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            m_error = std::string("poll: ") + strerror(errno);
            return false;
        }
        char chunk[256];
        const ssize_t n = read(fd, chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = "the simulator ended before printing its port path";
            return false;
        }
        line.append(chunk, static_cast<size_t>(n));
        const size_t newline = line.find('\n');
        if (newline != std::string::npos) {
            m_portPath = line.substr(0, newline);
            return true;
        }
        if (line.size() > kMaxFirstLineBytes) {
            m_error = "the first line is not a port path";
            return false;
        }
    }
}

SimProcess::~SimProcess() {
    Stop();
}

std::string SimProcess::RuntimeDir() const {
    return m_dir->File("run");
}

bool SimProcess::Signal(int signalNumber) {
    if (m_pid <= 0 || HasExited()) return false;
    return kill(m_pid, signalNumber) == 0;
}

bool SimProcess::HasExited(int* status) {
    if (m_pid <= 0) return false;
    if (!m_status) {
        int value = 0;
        const pid_t done = waitpid(m_pid, &value, WNOHANG);
        if (done == m_pid) m_status = value;
    }
    if (m_status && status != nullptr) *status = *m_status;
    return m_status.has_value();
}

std::optional<int> SimProcess::Stop(std::chrono::milliseconds deadline) {
    if (m_pid <= 0) return std::nullopt;
    if (!HasExited()) {
        kill(m_pid, SIGTERM);
        if (!WaitUntil([this] { return HasExited(); }, deadline)) {
            kill(m_pid, SIGKILL);
            int value = 0;
            if (waitpid(m_pid, &value, 0) == m_pid) m_status = value;
        }
    }
    return m_status;
}
