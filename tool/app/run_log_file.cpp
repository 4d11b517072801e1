#include "app/run_log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/date_file_name.h"
#include "core/dbg_output.h"
#include "core/file_system.h"
#include "core/program_path.h"
#include "core/size_limits.h"

namespace {

// Log files are created readable by others, as the program folder's other files.
constexpr mode_t kLogFileMode = 0644;

}  // namespace

RunLogFile::~RunLogFile() {
    Close();
}

bool RunLogFile::Open() {
    return Open(GetAppFolder(AppFolderKind::Log));
}

bool RunLogFile::Open(const std::string& folder) {
    Close();
    if (folder.empty() || RecursiveCreateDirectoryA(folder.c_str()) == 0) {
        DbgOutputA(kDbgLevelWarning, "No log file: the folder \"%s\" cannot be created\r\n",
                   folder.c_str());
        return false;
    }
    char name[kMaxPathChars + 1] = {};
    if (GetFileNameByDateA(name, kRunLogExtension, kRunLogPrefix, "", 0, 1, 0) == 0) return false;
    std::string path = folder + "/" + name;
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kLogFileMode));
    if (!fd.Valid()) {
        DbgOutputA(kDbgLevelWarning, "No log file: %s: %s\r\n", path.c_str(), std::strerror(errno));
        return false;
    }
    m_fd = std::move(fd);
    m_path = std::move(path);
    DbgOutputAddCallback(&RunLogFile::WriteLine, reinterpret_cast<uintptr_t>(this));
    DbgOutputSetTag(0, nullptr);
    DbgOutputSetTimeType(kDbgDateTime);
    DbgOutputSetIncludePIDTID(0);
    return true;
}

void RunLogFile::Close() {
    if (!m_fd.Valid()) return;
    // Once this returns no line is being written (the callbacks are serialised).
    DbgOutputDelCallback(&RunLogFile::WriteLine);
    m_fd.Close();
}

int RunLogFile::WriteLine(uintptr_t userData, uint32_t /*level*/, const char* line, int length) {
    const auto* self = reinterpret_cast<const RunLogFile*>(userData);
    if (self == nullptr || !self->m_fd.Valid() || line == nullptr) return 0;
    int done = 0;
    while (done < length) {
        const ssize_t n = write(self->m_fd.Get(), line + done, static_cast<size_t>(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        done += static_cast<int>(n);
    }
    return 1;
}
