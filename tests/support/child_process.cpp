#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/wait_until.h"

extern char** environ;

namespace {

// Our environment with the given variables replaced or removed.
std::vector<std::string> ChildEnvironment(const SpawnOptions& options) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : options.environment) {
            if (text.rfind(name + "=", 0) == 0) replaced = true;
        }
        for (const std::string& name : options.unset) {
            if (text.rfind(name + "=", 0) == 0) replaced = true;
        }
        if (!replaced) env.push_back(text);
    }
    for (const auto& [name, value] : options.environment) env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Adds what sets up standard stream `target` to `actions`; an error number, 0 when fine.
int AddStream(posix_spawn_file_actions_t* actions, int target, const ChildStream& stream) {
    switch (stream.kind) {
        case ChildStream::Kind::Inherit:
            return 0;
        case ChildStream::Kind::Null:
            return posix_spawn_file_actions_addopen(
                actions, target, "/dev/null", target == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
        case ChildStream::Kind::Descriptor:
            return posix_spawn_file_actions_adddup2(actions, stream.fd, target);
        case ChildStream::Kind::AppendFile:
            return posix_spawn_file_actions_addopen(actions, target, stream.path.c_str(),
                                                    O_WRONLY | O_CREAT | O_APPEND, 0644);
    }
    return EINVAL;
}

// The child's file actions, owned for one spawn.
class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

// Default handling of the signals a test sends, and an empty signal mask.
class DefaultSignals {
public:
    DefaultSignals() {
        posix_spawnattr_init(&m_attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGPIPE);
        sigset_t noMask;
        sigemptyset(&noMask);
        posix_spawnattr_setsigdefault(&m_attributes, &defaults);
        posix_spawnattr_setsigmask(&m_attributes, &noMask);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~DefaultSignals() { posix_spawnattr_destroy(&m_attributes); }
    DefaultSignals(const DefaultSignals&) = delete;
    DefaultSignals& operator=(const DefaultSignals&) = delete;
    const posix_spawnattr_t* Get() const { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

}  // namespace

ChildProcess::~ChildProcess() {
    Stop();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const SpawnOptions& options) {
    Stop();
    m_pid = -1;
    m_status.reset();
    m_error.clear();
    if (argv.empty()) {
        m_error = "spawn: no program named";
        return false;
    }
    const std::string program = options.program.empty() ? argv[0] : options.program;
    FileActions actions;
    int rc = AddStream(actions.Get(), STDIN_FILENO, options.in);
    if (rc == 0) rc = AddStream(actions.Get(), STDOUT_FILENO, options.out);
    if (rc == 0) rc = AddStream(actions.Get(), STDERR_FILENO, options.err);
    if (rc == 0 && !options.workDir.empty()) {
        rc = posix_spawn_file_actions_addchdir_np(actions.Get(), options.workDir.c_str());
    }
    if (rc != 0) {
        m_error = "spawn " + program + ": cannot set up the child: " + strerror(rc);
        return false;
    }
    const DefaultSignals attributes;
    std::vector<std::string> args = argv;
    std::vector<char*> argPointers = Pointers(args);
    const bool ownEnvironment = options.environment.empty() && options.unset.empty();
    std::vector<std::string> env =
        ownEnvironment ? std::vector<std::string>{} : ChildEnvironment(options);
    std::vector<char*> envPointers = Pointers(env);
    pid_t pid = -1;
    rc = posix_spawnp(&pid, program.c_str(), actions.Get(), attributes.Get(), argPointers.data(),
                      ownEnvironment ? environ : envPointers.data());
    if (rc != 0) {
        m_error = "spawn " + program + ": " + strerror(rc);
        return false;
    }
    m_pid = pid;
    return true;
}

bool ChildProcess::Spawn(const std::vector<std::string>& argv, const std::string& outFile,
                         const std::string& errFile) {
    SpawnOptions options;
    options.in = ChildStream::Null();
    options.out = ChildStream::AppendTo(outFile);
    options.err = ChildStream::AppendTo(errFile);
    return Start(argv, options);
}

bool ChildProcess::HasExited(int* status) {
    if (m_pid <= 0) return false;
    if (!m_status) {
        int value = 0;
        if (waitpid(m_pid, &value, WNOHANG) == m_pid) m_status = value;
    }
    if (m_status && status != nullptr) *status = *m_status;
    return m_status.has_value();
}

bool ChildProcess::Signal(int signalNumber) {
    if (m_pid <= 0 || HasExited()) return false;
    return kill(m_pid, signalNumber) == 0;
}

std::optional<int> ChildProcess::Stop(int signalNumber, std::chrono::milliseconds deadline) {
    if (m_pid <= 0) return std::nullopt;
    if (!HasExited()) {
        kill(m_pid, signalNumber);
        if (!WaitUntil([this] { return HasExited(); }, deadline)) {
            kill(m_pid, SIGKILL);
            int value = 0;
            if (waitpid(m_pid, &value, 0) == m_pid) {
                m_status = value;
            } else {
                m_pid = -1;  // reaped elsewhere: its id may soon name another process
            }
        }
    }
    return m_status;
}

int RunProgram(const std::vector<std::string>& argv, const std::string& logFile,
               std::chrono::milliseconds deadline) {
    ChildProcess child;
    if (!child.Spawn(argv, logFile, logFile)) return -1;
    int status = 0;
    if (!WaitUntil([&] { return child.HasExited(&status); }, deadline)) {
        child.Stop(SIGKILL);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string BuiltProgramPath(const std::string& name) {
    const char* binDir = std::getenv("ORBO_TEST_BIN_DIR");
    if (binDir != nullptr && binDir[0] != '\0') return std::string(binDir) + "/" + name;
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / name).string();
}
