#include "archive_download.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>

#include "core/dbg_output.h"
#include "core/hex_text.h"
#include "core/path_text.h"
#include "core/unique_fd.h"
#include "core/utf_convert.h"
#include "misc/md5.h"
#include "net/curl_library.h"
#include "net/http_file_copy.h"

namespace {

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() {
        if (!m_path.empty() && unlink(m_path.c_str()) != 0 && errno != ENOENT) {
            DbgOutputA(kDbgLevelWarning, "temporary file %s could not be removed: %s\r\n",
                       m_path.c_str(), strerror(errno));
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates <target>.XXXXXX exclusively; false (logged) when it cannot.
    bool Create(const std::string& target) {
        std::string pattern = target + ".XXXXXX";
        UniqueFd fd(mkostemp(pattern.data(), O_CLOEXEC));
        if (!fd.Valid()) {
            DbgOutputA(kDbgLevelWarning, "temporary file beside %s cannot be created: %s\r\n",
                       target.c_str(), strerror(errno));
            return false;
        }
        m_path = pattern;
        return true;
    }
    const std::string& Path() const { return m_path; }
    void Release() { m_path.clear(); }

private:
    std::string m_path;
};

// Hands the progress on with the expected size as the total, and stops a copy whose server
// announces another size or sends more than expected.
class SizeGuard : public INetFileCopyProgressListener {
public:
    explicit SizeGuard(const ArchiveDownloadRequest& request) : m_request(request) {}

    int OnNetFileCopyProgress(uint64_t, uint64_t doneBytes, uint64_t totalBytes, double bytesPerMs,
                              uint64_t* newSpeedLimit) override {
        if (totalBytes != 0) m_totalKnown = true;
        if ((totalBytes != 0 && totalBytes != m_request.expectedSize) ||
            doneBytes > m_request.expectedSize) {
            DbgOutputA(kDbgLevelWarning,
                       "%s: the server sends %" PRIu64 " bytes (so far %" PRIu64
                       "), the index says %" PRIu64 "; stopped\r\n",
                       m_request.address.c_str(), totalBytes, doneBytes, m_request.expectedSize);
            m_stopped = true;
            return 0;
        }
        if (m_request.listener == nullptr) return 1;
        if (m_request.listener->OnNetFileCopyProgress(m_request.userData, doneBytes,
                                                      m_request.expectedSize, bytesPerMs,
                                                      newSpeedLimit) == 0) {
            DbgOutputA(kDbgLevelInfo, "%s: download cancelled\r\n", m_request.address.c_str());
            m_stopped = true;
            return 0;
        }
        return 1;
    }

    bool Stopped() const { return m_stopped; }
    bool TotalKnown() const { return m_totalKnown; }

private:
    const ArchiveDownloadRequest& m_request;
    bool m_stopped = false;
    bool m_totalKnown = false;
};

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool SyncPath(const std::string& path, int flags) {
    UniqueFd fd(open(path.c_str(), flags | O_CLOEXEC));
    return fd.Valid() && fsync(fd.Get()) == 0 && fd.Close();
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool DownloadVerifiedArchive(const ArchiveDownloadRequest& request, std::string* actualMd5) {
    const char* address = request.address.c_str();
    std::string target;
    if (!ToSystemPath(request.localPath.c_str(), target, "DownloadVerifiedArchive") ||
        target.empty()) {
        DbgOutputA(kDbgLevelWarning, "%s: no usable local path \"%s\"\r\n", address,
                   request.localPath.c_str());
        return false;
    }
    if (InitSysLibCURL() == 0) {
        DbgOutputA(kDbgLevelError, "%s: libcurl cannot be loaded\r\n", address);
        return false;
    }
    TemporaryFile temporary;
    if (!temporary.Create(target)) return false;

    SizeGuard guard(request);
    CHttpFileClient client;
    const int copied = HttpFileCopyFromServer(
        &client, address, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0, 0, nullptr, nullptr,
        nullptr, temporary.Path().c_str(), request.timeLimitMs, &guard, 0);
    // A server that gives no length cannot be told complete by the copy; the size and digest
    // checks below decide for it.
    if (guard.Stopped() || (copied == 0 && guard.TotalKnown())) {
        DbgOutputA(kDbgLevelWarning, "%s could not be copied to %s\r\n", address, target.c_str());
        return false;
    }

    struct stat info {};
    if (stat(temporary.Path().c_str(), &info) != 0) {
        DbgOutputA(kDbgLevelWarning, "%s: %s\r\n", temporary.Path().c_str(), strerror(errno));
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) != request.expectedSize) {
        DbgOutputA(kDbgLevelWarning,
                   "%s: %" PRIu64 " bytes arrived, the index says %" PRIu64 "; refused\r\n",
                   address, static_cast<uint64_t>(info.st_size), request.expectedSize);
        return false;
    }
    std::u16string widePath;
    uint8_t digest[MD5::kDigestBytes];
    if (!Utf8ToUtf16(temporary.Path(), widePath) || GetFileMD5(widePath.c_str(), digest) == 0) {
        DbgOutputA(kDbgLevelWarning, "%s: the downloaded file cannot be digested\r\n",
                   temporary.Path().c_str());
        return false;
    }
    CBaseStringA digestText;
    BufferToHexStringA(digest, MD5::kDigestBytes, &digestText, 0, 0);
    const std::string actual = digestText.GetString();
    if (actualMd5 != nullptr) *actualMd5 = actual;
    if (actual != LowerCase(request.expectedMd5)) {
        DbgOutputA(kDbgLevelWarning, "%s: MD5 %s does not match the expected %s; refused\r\n",
                   address, actual.c_str(), request.expectedMd5.c_str());
        return false;
    }
    if (!SyncPath(temporary.Path(), O_RDONLY)) {
        DbgOutputA(kDbgLevelWarning, "%s cannot be flushed to the disk: %s\r\n",
                   temporary.Path().c_str(), strerror(errno));
        return false;
    }
    if (rename(temporary.Path().c_str(), target.c_str()) != 0) {
        DbgOutputA(kDbgLevelWarning, "%s cannot be renamed to %s: %s\r\n", temporary.Path().c_str(),
                   target.c_str(), strerror(errno));
        return false;
    }
    temporary.Release();
    // The rename itself reaches the disk with the folder.
    SyncPath(FolderOf(target), O_RDONLY | O_DIRECTORY);
    DbgOutputA(kDbgLevelInfo, "%s downloaded to %s (%" PRIu64 " bytes, MD5 %s)\r\n", address,
               target.c_str(), request.expectedSize, actual.c_str());
    return true;
}
