#include "support/sim_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

constexpr size_t kMaxFirstLineBytes = 4096;

}  // namespace

std::string SimProcess::ProgramPath() {
    return BuiltProgramPath("zorvan-sim");
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
    SpawnOptions options;
    options.environment = {{"XDG_RUNTIME_DIR", runtimeDir}, {"ORBO_HOME", home}};

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + strerror(errno);
        return;
    }
    options.out = ChildStream::Descriptor(out[1]);
    const bool spawned = m_child.Start(argv, options);
    close(out[1]);
    if (!spawned) {
        m_error = m_child.Error();
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
    return m_child.Signal(signalNumber);
}

bool SimProcess::HasExited(int* status) {
    return m_child.HasExited(status);
}

std::optional<int> SimProcess::Stop(std::chrono::milliseconds deadline) {
    return m_child.Stop(SIGTERM, deadline);
}
