#include "firmware/firmware_fetch.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "archive/unzipper.h"
#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/file_system.h"
#include "core/folder_list.h"
#include "core/program_path.h"
#include "core/ptr_array_ctrl.h"
#include "core/size_limits.h"
#include "core/text_format.h"
#include "core/text_split.h"
#include "resources/string_table.h"
#include "upgrade/upgrade_interface.h"

namespace {

// Longest version text taken as a folder name.
constexpr size_t kMaxVersionTextBytes = 64;
// The longest image name a version folder must have room for ("APP31.bin").
constexpr size_t kLongestImageNameBytes = 9;
// The service offers one product line; the window passes -1 for it.
constexpr int kServiceProduct = -1;
// Unpacked versions are readable by everyone, as firmware images are no secret.
constexpr mode_t kVersionFolderMode = 0755;
// A fetch's own archive while it is downloaded and unpacked: hidden, so listings skip it.
constexpr const char* kFetchArchivePrefix = ".download-";
constexpr const char* kFetchArchiveSuffix = ".zip";

// Hands the client's progress on as percent and text; the speed limit is left untouched and the
// download never stopped from here.
class FetchProgressListener : public INetFileCopyProgressListener {
public:
    explicit FetchProgressListener(IFirmwareFetchProgress* progress) : m_progress(progress) {}

    int OnNetFileCopyProgress(uint64_t, uint64_t doneBytes, uint64_t totalBytes, double bytesPerMs,
                              uint64_t*) override {
        if (m_progress != nullptr) {
            const int percent = FirmwareFetchPercent(doneBytes, totalBytes);
            m_progress->OnFirmwareFetchProgress(percent, doneBytes, totalBytes, bytesPerMs,
                                                FirmwareFetchProgressText(percent, bytesPerMs));
        }
        return 1;
    }

private:
    IFirmwareFetchProgress* m_progress;
};

// A folder removed with its contents unless it was given away.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder() { Remove(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Create(const std::string& parent, const char* prefix) {
        std::string pattern = parent + "/" + prefix + "XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            DbgOutputA(kDbgLevelWarning, "fetch: no folder %s can be created: %s\r\n",
                       pattern.c_str(), strerror(errno));
            return false;
        }
        m_path = pattern;
        return true;
    }
    const std::string& Path() const { return m_path; }
    void Release() { m_path.clear(); }
    void Remove() {
        if (m_path.empty()) return;
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
        if (error) {
            DbgOutputA(kDbgLevelWarning, "fetch: %s could not be removed: %s\r\n", m_path.c_str(),
                       error.message().c_str());
        }
        m_path.clear();
    }

private:
    std::string m_path;
};

// A file of its own in a folder, removed unless it was given away.
class ScratchFile {
public:
    ScratchFile() = default;
    ~ScratchFile() {
        if (!m_path.empty()) unlink(m_path.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool Create(const std::string& parent, const char* prefix, const char* suffix) {
        std::string pattern = parent + "/" + prefix + "XXXXXX" + suffix;
        const int fd = mkostemps(pattern.data(), static_cast<int>(strlen(suffix)), O_CLOEXEC);
        if (fd < 0) {
            DbgOutputA(kDbgLevelWarning, "fetch: no file %s can be created: %s\r\n",
                       pattern.c_str(), strerror(errno));
            return false;
        }
        close(fd);
        m_path = pattern;
        return true;
    }
    const std::string& Path() const { return m_path; }
    void Release() { m_path.clear(); }

private:
    std::string m_path;
};

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HoldsBinImage(const std::string& folder) {
    CPtrArrayCtrl files;
    const bool listed = GetLocalFolderFileListA(folder.c_str(), nullptr, &files, ".bin", 0, 1) != 0;
    bool found = false;
    for (int i = 0; listed && i < files.GetCount() && !found; ++i) {
        found = IsRegularFile(static_cast<const char*>(files.GetAt(i)));
    }
    FreeFileListA(&files);
    return found;
}

// Puts the unpacked folder in place of the version folder: an atomic exchange where the file
// system offers one, else the old folder moved aside first (and back if the new one cannot
// follow). The old contents end up in `unpacked`'s folder, removed by its owner.
bool ReplaceVersionFolder(ScratchFolder& unpacked, const std::string& imageFolder,
                          const std::string& versionFolder) {
    const std::string& fresh = unpacked.Path();
    if (rename(fresh.c_str(), versionFolder.c_str()) == 0) {
        unpacked.Release();
        return true;
    }
    if (errno != EEXIST && errno != ENOTEMPTY && errno != EISDIR && errno != ENOTDIR) {
        DbgOutputA(kDbgLevelWarning, "fetch: %s cannot become %s: %s\r\n", fresh.c_str(),
                   versionFolder.c_str(), strerror(errno));
        return false;
    }
    if (renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, versionFolder.c_str(), RENAME_EXCHANGE) == 0) {
        return true;  // the scratch folder now holds the old version, removed with it
    }
    ScratchFolder aside;
    if (!aside.Create(imageFolder, ".old-")) return false;
    const std::string old = aside.Path() + "/version";
    if (rename(versionFolder.c_str(), old.c_str()) != 0) {
        DbgOutputA(kDbgLevelWarning, "fetch: %s cannot be moved aside: %s\r\n",
                   versionFolder.c_str(), strerror(errno));
        return false;
    }
    if (rename(fresh.c_str(), versionFolder.c_str()) != 0) {
        DbgOutputA(kDbgLevelWarning, "fetch: %s cannot become %s: %s\r\n", fresh.c_str(),
                   versionFolder.c_str(), strerror(errno));
        rename(old.c_str(), versionFolder.c_str());
        return false;
    }
    unpacked.Release();
    return true;
}

FirmwareFetchResult Failed(FirmwareFetchResult result, FirmwareServiceStatus status) {
    result.status = status;
    result.versionFolder.clear();
    return result;
}

}  // namespace

int FirmwareServiceMessageId(FirmwareServiceStatus status) {
    switch (status) {
        case FirmwareServiceStatus::Ok:
        case FirmwareServiceStatus::NoVersion:
            return 0;
        case FirmwareServiceStatus::LogonFailed:
            return kStrServiceLogonFailed;
        case FirmwareServiceStatus::VersionListFailed:
        case FirmwareServiceStatus::BadVersionText:
        case FirmwareServiceStatus::VersionInfoFailed:
            return kStrServiceVersionFailed;
        case FirmwareServiceStatus::FolderFailed:
        case FirmwareServiceStatus::DownloadFailed:
            return kStrServiceDownloadFailed;
        case FirmwareServiceStatus::UnpackFailed:
            return kStrBinFileError;
    }
    return kStrServiceDownloadFailed;
}

FirmwareServiceStatus ListNewerFirmwareVersions(const std::string& sensorVersion,
                                                std::vector<std::string>& versions) {
    versions.clear();
    CBaseStringA current(sensorVersion.c_str());
    current.RemoveCharList("v", 1, 1);
    if (Orbo_Upgrade_Logon() == 0) return FirmwareServiceStatus::LogonFailed;
    CBaseStringA list;
    if (Orbo_Upgrade_GetHistoryVersion(kServiceProduct, &list) == 0) {
        return FirmwareServiceStatus::VersionListFailed;
    }
    CPtrArrayCtrl pieces;
    char* block = DevideStringByCharListA(list.GetString(), -1, ";", 1, 1, &pieces, 0);
    for (int i = 0; i < pieces.GetCount(); ++i) {
        const char* piece = static_cast<const char*>(pieces.GetAt(i));
        if (Orbo_Upgrade_CompareVersion(piece, current.GetString(), 0) > 0) {
            versions.emplace_back(piece);
        }
    }
    Internal_DelArrayA(block);
    DbgOutputA(kDbgLevelInfo, "firmware versions newer than \"%s\": %zu of \"%s\"\r\n",
               current.GetString(), versions.size(), list.GetString());
    return FirmwareServiceStatus::Ok;
}

bool IsSafeFirmwareVersionText(std::string_view version) {
    if (version.empty() || version.size() > kMaxVersionTextBytes) return false;
    if (version.front() == '.' || version.find("..") != std::string_view::npos) return false;
    return std::none_of(version.begin(), version.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
    });
}

int FirmwareFetchPercent(uint64_t doneBytes, uint64_t totalBytes) {
    if (totalBytes == 0) return -1;
    if (doneBytes >= totalBytes) return 100;
    return static_cast<int>(static_cast<unsigned __int128>(doneBytes) * 100 / totalBytes);
}

std::string FirmwareFetchProgressText(int percent, double bytesPerMs) {
    std::string text;
    FormatText(text, LoadStringText(kStrServiceProgress), percent < 0 ? 0 : percent, bytesPerMs);
    return text;
}

FirmwareFetchResult FetchFirmwareVersion(const std::string& version, const std::string& imageFolder,
                                         IFirmwareFetchProgress* progress) {
    FirmwareFetchResult result;
    result.version = version;
    if (version.empty()) return Failed(result, FirmwareServiceStatus::NoVersion);
    if (!IsSafeFirmwareVersionText(version)) {
        DbgOutputA(kDbgLevelWarning, "fetch: the version text \"%s\" cannot name a folder\r\n",
                   version.c_str());
        return Failed(result, FirmwareServiceStatus::BadVersionText);
    }
    if (Orbo_Upgrade_Logon() == 0) return Failed(result, FirmwareServiceStatus::LogonFailed);
    CBaseStringA name, archiveUrl, md5, size, dateNotes;
    if (Orbo_Upgrade_GetVersionInfo(kServiceProduct, version.c_str(), &name, &archiveUrl, &md5,
                                    &size, &dateNotes) == 0) {
        return Failed(result, FirmwareServiceStatus::VersionInfoFailed);
    }
    result.version = name.GetString();
    if (!IsSafeFirmwareVersionText(result.version)) {
        DbgOutputA(kDbgLevelWarning,
                   "fetch: the service's version text \"%s\" cannot name a folder\r\n",
                   result.version.c_str());
        return Failed(result, FirmwareServiceStatus::BadVersionText);
    }

    const std::string root =
        imageFolder.empty() ? GetAppFolder(AppFolderKind::FirmwareImage) : imageFolder;
    const std::string versionFolder = root + "/" + result.version;
    result.archivePath = root + "/" + kFirmwareArchiveName;
    if (root.empty() ||
        versionFolder.size() + 1 + kLongestImageNameBytes > static_cast<size_t>(kMaxPathChars) ||
        RecursiveCreateDirectoryA(root.c_str()) == 0) {
        DbgOutputA(kDbgLevelWarning, "fetch: no usable image folder for %s in \"%s\"\r\n",
                   result.version.c_str(), root.c_str());
        return Failed(result, FirmwareServiceStatus::FolderFailed);
    }
    // A failed fetch must not leave the archive of another one to be taken for it.
    if (unlink(result.archivePath.c_str()) != 0 && errno != ENOENT) {
        DbgOutputA(kDbgLevelWarning, "fetch: the old %s cannot be removed: %s\r\n",
                   result.archivePath.c_str(), strerror(errno));
        return Failed(result, FirmwareServiceStatus::FolderFailed);
    }
    // Each fetch downloads and unpacks a file of its own, so that another fetch into the same
    // folder (a second tool, zorvan-cli) never replaces or removes the archive being read.
    ScratchFile archive;
    if (!archive.Create(root, kFetchArchivePrefix, kFetchArchiveSuffix)) {
        return Failed(result, FirmwareServiceStatus::FolderFailed);
    }

    FetchProgressListener listener(progress);
    CBaseStringA expectedMd5(md5.GetString());
    if (Orbo_Upgrade_DownloadFile(archiveUrl.GetString(), archive.Path().c_str(), &expectedMd5, 0,
                                  &listener, 0) == 0) {
        return Failed(result, FirmwareServiceStatus::DownloadFailed);
    }

    ScratchFolder unpacked;
    if (!unpacked.Create(root, ".fetch-"))
        return Failed(result, FirmwareServiceStatus::FolderFailed);
    if (!CUnzipper::Unzip(archive.Path().c_str(), unpacked.Path().c_str(), true)) {
        DbgOutputA(kDbgLevelWarning, "fetch: %s does not unpack\r\n", archive.Path().c_str());
        return Failed(result, FirmwareServiceStatus::UnpackFailed);
    }
    if (!HoldsBinImage(unpacked.Path())) {
        DbgOutputA(kDbgLevelWarning, "fetch: %s holds no .bin image\r\n", archive.Path().c_str());
        return Failed(result, FirmwareServiceStatus::UnpackFailed);
    }
    chmod(unpacked.Path().c_str(), kVersionFolderMode);
    if (!ReplaceVersionFolder(unpacked, root, versionFolder)) {
        return Failed(result, FirmwareServiceStatus::FolderFailed);
    }
    // The archive of the last fetch that ended, put in place whole.
    if (rename(archive.Path().c_str(), result.archivePath.c_str()) == 0) {
        archive.Release();
    } else {
        DbgOutputA(kDbgLevelWarning, "fetch: %s cannot become %s: %s\r\n", archive.Path().c_str(),
                   result.archivePath.c_str(), strerror(errno));
    }
    result.status = FirmwareServiceStatus::Ok;
    result.versionFolder = versionFolder;
    DbgOutputA(kDbgLevelInfo, "fetch: version %s unpacked into %s\r\n", result.version.c_str(),
               versionFolder.c_str());
    return result;
}

std::string FirmwareImagePath(const std::string& versionFolder, int partition, bool anyImage) {
    if (partition >= 0) {
        std::string path;
        FormatText(path, "%s/APP%d.bin", versionFolder.c_str(), partition);
        if (IsRegularFile(path)) return path;
    }
    if (!anyImage) return {};
    CPtrArrayCtrl files;
    std::string first;
    if (GetLocalFolderFileListA(versionFolder.c_str(), nullptr, &files, ".bin", 0, 1) != 0 &&
        files.GetCount() > 0) {
        first = static_cast<const char*>(files.GetAt(0));
    }
    FreeFileListA(&files);
    return first;
}
