#include "sys_cmd.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "dbg_output.h"
#include "utf_convert.h"

extern char** environ;

namespace {

constexpr const char* kShellPath = "/bin/sh";
constexpr int kSignalExitBase = 128;

// Owns a descriptor; closes it once.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Splits a command line into words: blanks separate, quotes group, a backslash takes the next
// character literally (outside single quotes).
std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quote != 0) {
            if (ch == quote) {
                quote = 0;
            } else if (ch == '\\' && quote == '"' && i + 1 < line.size()) {
                word += line[++i];
            } else {
                word += ch;
            }
        } else if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (ch == '"' || ch == '\'') {
                quote = ch;
            } else if (ch == '\\' && i + 1 < line.size()) {
                word += line[++i];
            } else {
                word += ch;
            }
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// Starts the child with its standard output on `outputFd`; returns its pid or -1 (errno set).
pid_t Spawn(const std::vector<std::string>& argv, bool searchPath, int outputFd) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    pid_t pid = -1;
    const int error = searchPath
                          ? posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ)
                          : posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

int WaitExitCode(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return kSignalExitBase + WTERMSIG(status);
    return -1;
}

}  // namespace

int do_syscmd_A(const char* commandLine, int useShell, SysCmdOutputCallback callback,
                uintptr_t userData, int* exitCode) {
    if (exitCode != nullptr) *exitCode = -1;
    if (commandLine == nullptr || commandLine[0] == '\0') return 0;
    DbgOutputA(kDbgLevelInfo, "Call cmd:%s\r\n", commandLine);

    std::vector<std::string> argv;
    if (useShell) {
        argv = {kShellPath, "-c", commandLine};
    } else {
        argv = SplitWords(commandLine);
        if (argv.empty()) return 0;
    }

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        DbgOutputA(kDbgLevelInfo, "CreateProcess Failed! (pipe: %s)\r\n", std::strerror(errno));
        return 0;
    }
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);
    const pid_t pid = Spawn(argv, !useShell, writeEnd.Get());
    if (pid < 0) {
        DbgOutputA(kDbgLevelInfo, "CreateProcess Failed! (%s: %s)\r\n", argv[0].c_str(),
                   std::strerror(errno));
        return 0;
    }
    // Only the child may hold the write end now, so the read below ends when the child does.
    writeEnd.Close();

    char chunk[kSysCmdChunkBytes];
    for (;;) {
        const ssize_t got = ::read(readEnd.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (callback != nullptr) callback(userData, chunk, static_cast<int>(got));
    }
    readEnd.Close();
    const int code = WaitExitCode(pid);
    if (exitCode != nullptr) *exitCode = code;
    return 1;
}

int do_syscmd_W(const WCHAR* commandLine, int useShell, SysCmdOutputCallback callback,
                uintptr_t userData, int* exitCode) {
    if (exitCode != nullptr) *exitCode = -1;
    if (commandLine == nullptr) return 0;
    std::string narrow;
    if (!Utf16ToUtf8(std::u16string_view(commandLine), narrow)) {
        DbgOutputA(kDbgLevelInfo, "CreateProcess Failed! (command line is not valid UTF-16)\r\n");
        return 0;
    }
    return do_syscmd_A(narrow.c_str(), useShell, callback, userData, exitCode);
}
