#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "support/wait_until.h"

extern char** environ;

ChildProcess::~ChildProcess() {
    Stop();
}

bool ChildProcess::Spawn(const std::vector<std::string>& argv, const std::string& outFile,
                         const std::string& errFile) {
    Stop();
    m_status.reset();
    m_error.clear();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_APPEND;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.empty() ? "/dev/null" : outFile.c_str(),
                                     flags, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.empty() ? "/dev/null" : errFile.c_str(),
                                     flags, 0644);
    std::vector<std::string> texts = argv;
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    const int rc =
        posix_spawnp(&m_pid, texts.at(0).c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        m_error = "spawn " + argv[0] + ": " + strerror(rc);
        return false;
    }
    return true;
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

std::optional<int> ChildProcess::Stop(int signalNumber, std::chrono::milliseconds deadline) {
    if (m_pid <= 0) return std::nullopt;
    if (!HasExited()) {
        kill(m_pid, signalNumber);
        if (!WaitUntil([this] { return HasExited(); }, deadline)) {
            kill(m_pid, SIGKILL);
            int value = 0;
            if (waitpid(m_pid, &value, 0) == m_pid) m_status = value;
        }
    }
    const std::optional<int> status = m_status;
    m_pid = -1;
    return status;
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
    child.Stop();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
