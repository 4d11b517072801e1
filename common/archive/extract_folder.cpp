#include "extract_folder_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "core/date_file_name.h"
#include "core/dbg_output.h"
#include "core/size_limits.h"

namespace {

constexpr int kTempNameAttempts = 16;
constexpr int kTempNameRandomChars = 12;
constexpr mode_t kNewFileMode = 0666;  // the umask applies
constexpr mode_t kNewFolderMode = 0777;

std::string ErrorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

}  // namespace

ExtractFolder::~ExtractFolder() {
    RollBack();
}

bool ExtractFolder::Open(const std::string& folder) {
    RollBack();
    m_label = folder;
    m_root = UniqueFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_root.Valid()) {
        DbgOutputA(kDbgLevelWarning, "Unzip: cannot open the folder %s: %s\r\n", folder.c_str(),
                   ErrorText(errno).c_str());
        return false;
    }
    return true;
}

uint64_t ExtractFolder::FreeBytes() const {
    struct statvfs info {};
    if (!m_root.Valid() || fstatvfs(m_root.Get(), &info) != 0) return UINT64_MAX;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string ExtractFolder::Describe(const std::vector<std::string>& parts, size_t count) const {
    std::string text = m_label;
    for (size_t i = 0; i < count && i < parts.size(); ++i) text += "/" + parts[i];
    return text;
}

UniqueFd ExtractFolder::OpenBelow(const std::vector<std::string>& parts, size_t count,
                                  bool create) {
    UniqueFd current(fcntl(m_root.Get(), F_DUPFD_CLOEXEC, 0));
    for (size_t i = 0; i < count && current.Valid(); ++i) {
        const char* part = parts[i].c_str();
        if (create) {
            if (mkdirat(current.Get(), part, kNewFolderMode) == 0) {
                m_created.emplace_back(parts.begin(), parts.begin() + static_cast<long>(i) + 1);
            } else if (errno != EEXIST) {
                DbgOutputA(kDbgLevelWarning, "Unzip: cannot create the folder %s: %s\r\n",
                           Describe(parts, i + 1).c_str(), ErrorText(errno).c_str());
                return UniqueFd();
            }
        }
        // O_NOFOLLOW: a link planted below the root (by an earlier entry or anyone else) must not
        // lead the extraction elsewhere.
        UniqueFd previous = std::move(current);
        current =
            UniqueFd(openat(previous.Get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!current.Valid()) {
            const int error = errno;
            struct stat info {};
            const bool link = fstatat(previous.Get(), part, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(info.st_mode);
            DbgOutputA(
                kDbgLevelWarning, "Unzip: %s is not a folder that can be used: %s\r\n",
                Describe(parts, i + 1).c_str(),
                link ? "it is a symbolic link, which is not followed" : ErrorText(error).c_str());
        }
    }
    return current;
}

bool ExtractFolder::AddFolder(const std::vector<std::string>& parts) {
    if (!m_root.Valid()) return false;
    return OpenBelow(parts, parts.size(), true).Valid();
}

bool ExtractFolder::BeginFile(const std::vector<std::string>& parts) {
    AbandonFile();
    if (!m_root.Valid() || parts.empty()) return false;
    m_fileFolder = OpenBelow(parts, parts.size() - 1, true);
    if (!m_fileFolder.Valid()) return false;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        char temp[kMaxPathChars + 1];
        if (GetFileNameByRandomA(temp, "part", ".orbo-", kTempNameRandomChars) == 0) break;
        m_file =
            UniqueFd(openat(m_fileFolder.Get(), temp,
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode));
        if (m_file.Valid()) {
            m_current = Staged{std::vector<std::string>(parts.begin(), parts.end() - 1), temp,
                               parts.back()};
            m_writing = true;
            return true;
        }
        if (errno != EEXIST) break;
    }
    DbgOutputA(kDbgLevelWarning, "Unzip: cannot create a file in %s: %s\r\n",
               Describe(parts, parts.size() - 1).c_str(), ErrorText(errno).c_str());
    m_fileFolder.Close();
    return false;
}

bool ExtractFolder::Write(const void* data, size_t size) {
    if (!m_writing) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(m_file.Get(), bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n == 0 ? EIO : errno;
            DbgOutputA(kDbgLevelWarning, "Unzip: writing %s failed: %s\r\n",
                       Describe(m_current.folder, m_current.folder.size())
                           .append("/")
                           .append(m_current.name)
                           .c_str(),
                       ErrorText(error).c_str());
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ExtractFolder::EndFile(const timespec* modified) {
    if (!m_writing) return false;
    const std::string name =
        Describe(m_current.folder, m_current.folder.size()) + "/" + m_current.name;
    if (modified != nullptr) {
        // The access time stays as it is.
        const timespec times[2] = {{0, UTIME_OMIT}, *modified};
        if (futimens(m_file.Get(), times) != 0) {
            DbgOutputA(kDbgLevelWarning, "Unzip: setting the time of %s failed: %s\r\n",
                       name.c_str(), ErrorText(errno).c_str());
        }
    }
    // Only a successful close tells that the bytes reached the file.
    if (!m_file.Close()) {
        DbgOutputA(kDbgLevelWarning, "Unzip: closing %s failed: %s\r\n", name.c_str(),
                   ErrorText(errno).c_str());
        AbandonFile();
        return false;
    }
    m_staged.push_back(std::move(m_current));
    m_current = Staged{};
    m_fileFolder.Close();
    m_writing = false;
    return true;
}

void ExtractFolder::AbandonFile() {
    if (!m_writing) return;
    m_file.Close();
    unlinkat(m_fileFolder.Get(), m_current.temp.c_str(), 0);
    m_fileFolder.Close();
    m_current = Staged{};
    m_writing = false;
}

bool ExtractFolder::Commit() {
    AbandonFile();
    bool ok = true;
    size_t done = 0;
    for (; done < m_staged.size(); ++done) {
        const Staged& file = m_staged[done];
        UniqueFd folder = OpenBelow(file.folder, file.folder.size(), false);
        if (!folder.Valid() ||
            renameat(folder.Get(), file.temp.c_str(), folder.Get(), file.name.c_str()) != 0) {
            if (folder.Valid()) {
                DbgOutputA(kDbgLevelWarning, "Unzip: cannot put %s/%s in place: %s\r\n",
                           Describe(file.folder, file.folder.size()).c_str(), file.name.c_str(),
                           ErrorText(errno).c_str());
            }
            ok = false;
            break;
        }
    }
    m_staged.erase(m_staged.begin(), m_staged.begin() + static_cast<long>(done));
    if (ok) {
        m_created.clear();
    } else {
        RollBack();
    }
    return ok;
}

void ExtractFolder::RollBack() {
    AbandonFile();
    for (const Staged& file : m_staged) {
        UniqueFd folder = OpenBelow(file.folder, file.folder.size(), false);
        if (folder.Valid()) unlinkat(folder.Get(), file.temp.c_str(), 0);
    }
    m_staged.clear();
    // Newest first, and only while empty: a folder that holds anything stays.
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        UniqueFd parent = OpenBelow(*it, it->size() - 1, false);
        if (parent.Valid()) unlinkat(parent.Get(), it->back().c_str(), AT_REMOVEDIR);
    }
    m_created.clear();
}
