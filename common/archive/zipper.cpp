#include "zipper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "archive/archive_paths_internal.h"
#include "archive/zip_entry_name_internal.h"
#include "core/date_file_name.h"
#include "core/dbg_output.h"
#include "core/file_data.h"
#include "core/folder_list.h"
#include "core/path_name.h"
#include "core/path_text.h"
#include "core/ptr_array_ctrl.h"
#include "core/size_limits.h"
#include "core/unique_fd.h"

namespace {

constexpr size_t kCopyBlockBytes = 64 * 1024;
constexpr int kTempNameAttempts = 16;
constexpr int kTempNameRandomChars = 12;
constexpr uLong kVersionMadeByUnix = (3u << 8) | 20u;  // host Unix, format 2.0
constexpr uLong kFlagUtf8Name = 0x800;
constexpr uLong kDirectoryAttribute = 0x10;
constexpr uLong kReadOnlyAttribute = 0x01;
constexpr int kUnixModeShift = 16;
constexpr int kFirstDosYear = 1980;
constexpr int kLastDosYear = 2107;

std::string ErrorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

zipFile Handle(void* zip) {
    return static_cast<zipFile>(zip);
}

// The file's modification time in local time, kept within what a DOS date can hold.
tm_zip ZipDate(const struct stat& info) {
    std::tm local{};
    const time_t when = info.st_mtim.tv_sec;
    tm_zip out{0, 0, 0, 1, 0, kFirstDosYear};
    if (localtime_r(&when, &local) == nullptr) return out;
    const int year = local.tm_year + 1900;
    if (year < kFirstDosYear) return out;
    if (year > kLastDosYear) return tm_zip{58, 59, 23, 31, 11, kLastDosYear};
    return tm_zip{static_cast<uInt>(local.tm_sec > 59 ? 59 : local.tm_sec),
                  static_cast<uInt>(local.tm_min),
                  static_cast<uInt>(local.tm_hour),
                  static_cast<uInt>(local.tm_mday),
                  static_cast<uInt>(local.tm_mon),
                  static_cast<uInt>(year)};
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A relative path as an entry name: '/' separators, leading "./" parts dropped.
std::string RelativeEntryName(const char* path) {
    std::string name = NormalizedEntryName(path);
    while (name.compare(0, 2, "./") == 0) name.erase(0, 2);
    return name;
}

// The path below the root, or an empty text when it is not inside it.
std::string InsideRoot(const std::string& path, const std::string& root) {
    if (root.empty()) return std::string();
    const char* relative = GetFileRelativePathA(path.c_str(), root.c_str());
    if (relative == path.c_str()) return std::string();
    return relative;
}

std::string ShortName(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t cut = trimmed.find_last_of('/');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The names in a listing, sorted, and the listing freed.
std::vector<std::string> TakeNames(CPtrArrayCtrl& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i) names.emplace_back(static_cast<char*>(list.GetAt(i)));
    FreeFileListA(&list);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

CZipper::CZipper(const char* archivePath, const char* rootFolder, bool append) {
    if (archivePath != nullptr) OpenZip(archivePath, rootFolder, append);
}

CZipper::~CZipper() {
    CloseZip();
}

bool CZipper::OpenZip(const char* archivePath, const char* rootFolder, bool append) {
    CloseZip();
    m_archive = AbsoluteFromWorkingFolder(archivePath, "CZipper::OpenZip");
    if (m_archive.empty()) return false;
    char folder[kMaxPathChars + 1];
    GetFileParentDirA(folder, m_archive.c_str());
    if (rootFolder == nullptr) {
        m_root = folder;
    } else if (rootFolder[0] != '\0') {
        m_root = AbsoluteFromWorkingFolder(rootFolder, "CZipper::OpenZip");
        if (m_root.empty()) {
            Abandon();
            return false;
        }
    }
    if (!m_root.empty() && m_root.back() != '/') m_root += '/';

    // The temporary file is made here, so that it is ours alone; minizip then writes over it.
    for (int attempt = 0; attempt < kTempNameAttempts && m_temp.empty(); ++attempt) {
        char name[kMaxPathChars + 1];
        char temp[kMaxPathChars + 1];
        if (!GetFileNameByRandomA(name, "part", ".orbo-", kTempNameRandomChars) ||
            !CombinePathNameA(temp, folder, name)) {
            break;
        }
        UniqueFd fd(open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.Valid()) {
            m_temp = temp;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (m_temp.empty()) {
        DbgOutputA(kDbgLevelWarning, "CZipper: cannot create a file beside %s: %s\r\n",
                   m_archive.c_str(), ErrorText(errno).c_str());
        m_archive.clear();
        m_root.clear();
        return false;
    }
    struct stat old {};
    const bool keep = append && stat(m_archive.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (keep && (!CopyFileWithCallback(m_archive.c_str(), m_temp.c_str(), nullptr, 0) ||
                 chmod(m_temp.c_str(), old.st_mode & 07777) != 0)) {
        DbgOutputA(kDbgLevelWarning, "CZipper: cannot copy %s to add to it\r\n", m_archive.c_str());
        Abandon();
        return false;
    }
    m_zip = zipOpen64(m_temp.c_str(), keep ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE);
    if (m_zip == nullptr) {
        DbgOutputA(kDbgLevelWarning, "CZipper: %s cannot be %s\r\n", m_archive.c_str(),
                   keep ? "read as a zip archive to add to it" : "created");
        Abandon();
        return false;
    }
    return true;
}

void CZipper::Abandon() {
    if (m_zip != nullptr) zipClose(Handle(m_zip), nullptr);
    m_zip = nullptr;
    if (!m_temp.empty()) unlink(m_temp.c_str());
    m_temp.clear();
    m_archive.clear();
    m_root.clear();
    m_spoiled = false;
    m_info = Z_FileInfo{};
}

bool CZipper::CloseZip() {
    if (m_zip == nullptr) {
        Abandon();
        return false;
    }
    bool ok = zipClose(Handle(m_zip), nullptr) == ZIP_OK;
    m_zip = nullptr;
    if (!ok) {
        DbgOutputA(kDbgLevelWarning, "CZipper: writing the directory of %s failed\r\n",
                   m_archive.c_str());
    } else if (m_spoiled) {
        DbgOutputA(kDbgLevelWarning, "CZipper: %s is not written: an entry failed part-way\r\n",
                   m_archive.c_str());
        ok = false;
    }
    if (ok) {
        // The archive reaches the disk before it takes its name.
        UniqueFd fd(open(m_temp.c_str(), O_RDONLY | O_CLOEXEC));
        ok = fd.Valid() && fsync(fd.Get()) == 0 && fd.Close() &&
             rename(m_temp.c_str(), m_archive.c_str()) == 0;
        if (ok) {
            m_temp.clear();
        } else {
            DbgOutputA(kDbgLevelWarning, "CZipper: putting %s in place failed: %s\r\n",
                       m_archive.c_str(), ErrorText(errno).c_str());
        }
    }
    Abandon();
    return ok;
}

std::string CZipper::SourcePath(const char* path) const {
    std::string source;
    if (IsPathSeparator(path[0]) || m_root.empty()) {
        if (!ToSystemPath(path, source, "CZipper")) return std::string();
        return source;
    }
    char joined[kMaxPathChars + 1];
    if (!CombinePathNameA(joined, m_root.c_str(), path)) return std::string();
    return joined;
}

bool CZipper::StartEntry(const std::string& entryName, const struct stat& info, bool folder) {
    zip_fileinfo entry{};
    entry.tmz_date = ZipDate(info);
    entry.dosDate = 0;
    entry.internal_fa = 0;
    entry.external_fa = (static_cast<uLong>(info.st_mode & 0xFFFF) << kUnixModeShift) |
                        (folder ? kDirectoryAttribute : 0) |
                        ((info.st_mode & S_IWUSR) == 0 ? kReadOnlyAttribute : 0);
    const int result = zipOpenNewFileInZip4_64(
        Handle(m_zip), entryName.c_str(), &entry, nullptr, 0, nullptr, 0, nullptr,
        folder ? 0 : Z_DEFLATED, folder ? 0 : Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
        Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeByUnix, IsAscii(entryName) ? 0 : kFlagUtf8Name,
        0);
    if (result != ZIP_OK) {
        DbgOutputA(kDbgLevelWarning, "CZipper: %s: starting the entry %s failed (error %d)\r\n",
                   m_archive.c_str(), entryName.c_str(), result);
        m_spoiled = true;
        return false;
    }
    return true;
}

bool CZipper::AddFile(const std::string& source, const std::string& entryName) {
    if (!IsSafeEntryName(entryName) || HasTrailingSeparator(entryName)) {
        DbgOutputA(kDbgLevelWarning, "CZipper: the entry name %s is refused\r\n",
                   entryName.c_str());
        return false;
    }
    // Non-blocking, so that a pipe is refused below instead of waiting for a writer.
    UniqueFd file(open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.Valid() || fstat(file.Get(), &info) != 0) {
        DbgOutputA(kDbgLevelWarning, "CZipper: cannot read %s: %s\r\n", source.c_str(),
                   ErrorText(errno).c_str());
        return false;
    }
    if (!S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > kMaxZipEntryBytes) {
        DbgOutputA(kDbgLevelWarning, "CZipper: %s is %s\r\n", source.c_str(),
                   S_ISREG(info.st_mode) ? "too large for an entry" : "not a regular file");
        return false;
    }
    if (!StartEntry(entryName, info, false)) return false;
    std::vector<uint8_t> block(kCopyBlockBytes);
    uint64_t total = 0;
    bool ok = true;
    for (;;) {
        const ssize_t n = read(file.Get(), block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            DbgOutputA(kDbgLevelWarning, "CZipper: reading %s failed: %s\r\n", source.c_str(),
                       ErrorText(errno).c_str());
            ok = false;
            break;
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        if (total > kMaxZipEntryBytes) {
            DbgOutputA(kDbgLevelWarning, "CZipper: %s grew too large while being read\r\n",
                       source.c_str());
            ok = false;
            break;
        }
        if (zipWriteInFileInZip(Handle(m_zip), block.data(), static_cast<unsigned>(n)) != ZIP_OK) {
            DbgOutputA(kDbgLevelWarning, "CZipper: writing %s into %s failed\r\n", source.c_str(),
                       m_archive.c_str());
            ok = false;
            break;
        }
    }
    if (zipCloseFileInZip(Handle(m_zip)) != ZIP_OK) ok = false;
    if (!ok) {
        // The entry is in the archive with what was read; only a new attempt can mend that.
        m_spoiled = true;
        return false;
    }
    ++m_info.fileCount;
    m_info.totalBytes += total;
    return true;
}

bool CZipper::AddFileToZip(const char* path, bool ignorePath) {
    if (m_zip == nullptr || path == nullptr || path[0] == '\0') return false;
    DbgOutputA(kDbgLevelInfo, "CZipper::AddFileToZip(%s)\n", path);
    const std::string source = SourcePath(path);
    if (source.empty()) return false;
    std::string entryName;
    if (ignorePath) {
        entryName = ShortName(source);
    } else if (IsPathSeparator(path[0])) {
        entryName = InsideRoot(source, m_root);
        if (entryName.empty()) {
            DbgOutputA(kDbgLevelWarning, "CZipper: %s is outside the root folder %s\r\n", path,
                       m_root.c_str());
            return false;
        }
    } else {
        entryName = RelativeEntryName(path);
    }
    return AddFile(source, entryName);
}

bool CZipper::AddFileToZip(const char* path, const char* folderInArchive) {
    if (m_zip == nullptr || path == nullptr || path[0] == '\0') return false;
    DbgOutputA(kDbgLevelInfo, "CZipper::AddFileToZip(%s)\n", path);
    std::string folder =
        folderInArchive == nullptr ? std::string() : RelativeEntryName(folderInArchive);
    if (folder.find(':') != std::string::npos) {
        DbgOutputA(kDbgLevelWarning, "CZipper: the folder name %s is refused\r\n", folder.c_str());
        return false;
    }
    const std::string source = SourcePath(path);
    if (source.empty()) return false;
    folder = WithoutTrailingSeparators(folder);
    const std::string name = ShortName(source);
    return AddFile(source, folder.empty() || folder == "/" ? name : folder + "/" + name);
}

bool CZipper::AddFolderToZip(const char* path, bool ignorePath) {
    if (m_zip == nullptr || path == nullptr || path[0] == '\0') return false;
    const std::string source = SourcePath(path);
    if (source.empty()) return false;
    m_openFolders.clear();
    return AddFolder(WithoutTrailingSeparators(source), ignorePath);
}

bool CZipper::AddFolder(const std::string& path, bool ignorePath) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        DbgOutputA(kDbgLevelWarning, "CZipper: %s is not a folder that can be read\r\n",
                   path.c_str());
        return false;
    }
    const auto identity = std::make_pair(info.st_dev, info.st_ino);
    if (m_openFolders.count(identity) != 0) {
        DbgOutputA(kDbgLevelWarning, "CZipper: %s leads back into a folder being added\r\n",
                   path.c_str());
        return false;
    }
    std::string entryName;
    if (ignorePath) {
        entryName = ShortName(path);
        const size_t dot = entryName.find_last_of('.');
        if (dot != std::string::npos) entryName.erase(dot);
    } else if (IsPathSeparator(path[0])) {
        entryName = InsideRoot(path, m_root);
    } else {
        entryName = RelativeEntryName(path.c_str());
    }
    if (!IsSafeEntryName(entryName)) {
        DbgOutputA(kDbgLevelWarning, "CZipper: the folder %s gives no usable entry name%s\r\n",
                   path.c_str(), ignorePath ? "" : " (is it outside the root folder?)");
        return false;
    }
    if (!StartEntry(entryName + "/", info, true)) return false;
    if (zipCloseFileInZip(Handle(m_zip)) != ZIP_OK) {
        m_spoiled = true;
        return false;
    }
    ++m_info.folderCount;

    CPtrArrayCtrl folderList;
    CPtrArrayCtrl fileList;
    if (!GetLocalFolderFileListA(path.c_str(), &folderList, &fileList, nullptr, 0, 1)) {
        DbgOutputA(kDbgLevelWarning, "CZipper: cannot list %s\r\n", path.c_str());
        return false;
    }
    const std::vector<std::string> folders = TakeNames(folderList);
    const std::vector<std::string> files = TakeNames(fileList);
    m_openFolders.insert(identity);
    bool ok = true;
    for (const std::string& folder : folders) ok = AddFolder(folder, ignorePath) && ok;
    for (const std::string& file : files) ok = AddFileToZip(file.c_str(), ignorePath) && ok;
    m_openFolders.erase(identity);
    return ok;
}

bool CZipper::ZipFile(const char* path) {
    const std::string file = AbsoluteFromWorkingFolder(path, "CZipper::ZipFile");
    if (file.empty()) return false;
    char archive[kMaxPathChars + 1];
    std::strcpy(archive, file.c_str());
    if (!SetFileExtNameA(archive, sizeof(archive), ".zip")) return false;
    CZipper zipper;
    if (!zipper.OpenZip(archive, nullptr, false)) return false;
    if (!zipper.AddFileToZip(file.c_str(), false)) {
        zipper.Abandon();
        return false;
    }
    return zipper.CloseZip();
}

bool CZipper::ZipFolder(const char* path, bool ignorePath) {
    const std::string folder =
        WithoutTrailingSeparators(AbsoluteFromWorkingFolder(path, "CZipper::ZipFolder"));
    if (folder.empty() || folder == "/") return false;
    CZipper zipper;
    if (!zipper.OpenZip((folder + ".zip").c_str(), nullptr, false)) return false;
    if (!zipper.AddFolderToZip(folder.c_str(), ignorePath)) {
        zipper.Abandon();
        return false;
    }
    return zipper.CloseZip();
}
