#include "socket_file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/date_file_name.h"
#include "core/dbg_output.h"
#include "core/file_replace.h"
#include "core/file_system.h"
#include "core/folder_list.h"
#include "core/mono_clock.h"
#include "core/path_name.h"
#include "core/path_text.h"
#include "core/ptr_array_ctrl.h"
#include "core/size_limits.h"
#include "core/unique_fd.h"
#include "socket_file_client.h"
#include "socket_file_records.h"

namespace {

constexpr int kTempRandomChars = 10;
// Upload temporary names tried before giving up (each is created exclusively).
constexpr int kTempNameAttempts = 4;
constexpr mode_t kNewFileMode = 0666;

using WidePath = WCHAR[kMaxPathChars + 1];

// The block's speed in bytes per millisecond (a block faster than 1 ms counts as 1 ms).
double BlockSpeed(uint64_t bytes, uint64_t elapsedMs) {
    return static_cast<double>(bytes) / static_cast<double>(std::max<uint64_t>(elapsedMs, 1));
}

// Tells the listener about a block and returns the speed limit it asks for (0 = none).
uint64_t Report(INetFileCopyProgressListener* listener, uint64_t userValue, uint64_t done,
                uint64_t total, uint64_t bytes, uint64_t elapsedMs) {
    if (listener == nullptr) return 0;
    uint64_t newLimit = 0;
    listener->OnNetFileCopyProgress(userValue, done, total, BlockSpeed(bytes, elapsedMs),
                                    &newLimit);
    return newLimit;
}

bool TimeIsUp(uint64_t start, uint64_t timeLimitMs) {
    return timeLimitMs != 0 && MonoTimeMs() - start > timeLimitMs;
}

// Reads until the block is full, the file ends or a read fails: the bytes read (-1 on failure).
int64_t ReadBlock(int fd, uint8_t* block, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, block + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done > 0 ? static_cast<int64_t>(done) : -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

std::vector<std::u16string> SplitNames(const CBaseStringW& list) {
    std::vector<std::u16string> names;
    std::u16string current;
    for (int i = 0; i < list.GetLength(); ++i) {
        const WCHAR unit = list.GetString()[i];
        if (unit == u';') {
            if (!current.empty()) names.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(unit);
        }
    }
    if (!current.empty()) names.push_back(std::move(current));
    return names;
}

// folder + '/' + name when the name is a plain entry name and the result fits.
bool JoinName(WCHAR* out, const WCHAR* folder, const std::u16string& name) {
    if (!IsPlainSocketFileName(name)) {
        DbgOutputW(kDbgLevelWarning, u"folder copy: name \"%ls\" in %ls refused\r\n", name.c_str(),
                   folder);
        return false;
    }
    return CombinePathNameW(out, folder, name.c_str()) != 0;
}

void LogRate(const char16_t* format, const WCHAR* path, uint64_t bytes, uint64_t start) {
    const uint64_t used = MonoTimeMs() - start;
    if (used == 0) return;
    // Bytes per millisecond, which is (decimal) kilobytes per second.
    DbgOutputW(kDbgLevelInfo, format, path, static_cast<long long>(used),
               static_cast<double>(bytes) / static_cast<double>(used));
}

int CopyFolderFromServer(CSocketFileClient* client, const WCHAR* serverFolder,
                         const WCHAR* localFolder, uint64_t timeLimitMs,
                         INetFolderCopyProgressListener* listener, uint64_t userValue, int depth) {
    if (depth > kMaxSocketFolderDepth) {
        DbgOutputW(kDbgLevelWarning, u"folder copy: %ls is deeper than %d levels, left out\r\n",
                   serverFolder, kMaxSocketFolderDepth);
        return 0;
    }
    CBaseStringW folders, files;
    if (!client->GetFolderList(serverFolder, &folders, &files)) return 0;
    int all = 1;
    for (const std::u16string& name : SplitNames(folders)) {
        WidePath local, server;
        if (!JoinName(local, localFolder, name) || !JoinName(server, serverFolder, name)) {
            all = 0;
            continue;
        }
        RecursiveCreateDirectoryW(local);
        if (listener != nullptr) listener->OnNetFolderCreated(userValue, local);
        all &= CopyFolderFromServer(client, server, local, timeLimitMs, listener, userValue,
                                    depth + 1);
    }
    for (const std::u16string& name : SplitNames(files)) {
        WidePath local, server;
        if (!JoinName(local, localFolder, name) || !JoinName(server, serverFolder, name)) {
            all = 0;
            continue;
        }
        if (listener != nullptr) listener->OnNetFileCopyBegin(userValue, server, local);
        all &= SocketFileCopyFromServer(client, server, local, timeLimitMs, listener, userValue);
    }
    return all;
}

int CopyFolderToServer(CSocketFileClient* client, const WCHAR* localFolder,
                       const WCHAR* serverFolder, uint64_t timeLimitMs,
                       INetFolderCopyProgressListener* listener, uint64_t userValue, int depth) {
    if (depth > kMaxSocketFolderDepth) {
        DbgOutputW(kDbgLevelWarning, u"folder copy: %ls is deeper than %d levels, left out\r\n",
                   localFolder, kMaxSocketFolderDepth);
        return 0;
    }
    CPtrArrayCtrl folders, files;
    if (!GetLocalFolderFileListW(localFolder, &folders, &files, nullptr, 0, 0)) return 0;
    int all = 1;
    for (int i = 0; i < folders.GetCount(); ++i) {
        const std::u16string name(static_cast<const WCHAR*>(folders.GetAt(i)));
        WidePath local, server;
        if (!JoinName(local, localFolder, name) || !JoinName(server, serverFolder, name)) {
            all = 0;
            continue;
        }
        client->MakeDirectory(server);
        if (listener != nullptr) listener->OnNetFolderCreated(userValue, server);
        all &=
            CopyFolderToServer(client, local, server, timeLimitMs, listener, userValue, depth + 1);
    }
    for (int i = 0; i < files.GetCount(); ++i) {
        const std::u16string name(static_cast<const WCHAR*>(files.GetAt(i)));
        WidePath local, server;
        if (!JoinName(local, localFolder, name) || !JoinName(server, serverFolder, name)) {
            all = 0;
            continue;
        }
        if (listener != nullptr) listener->OnNetFileCopyBegin(userValue, server, local);
        all &= SocketFileCopyToServer(client, local, server, timeLimitMs, listener, userValue);
    }
    FreeFileListW(&folders);
    FreeFileListW(&files);
    return all;
}

}  // namespace

int SocketFileCopyFromServer(CSocketFileClient* client, const WCHAR* serverPath,
                             const WCHAR* localPath, uint64_t timeLimitMs,
                             INetFileCopyProgressListener* listener, uint64_t userValue) {
    if (client == nullptr || serverPath == nullptr || localPath == nullptr) return 0;
    if (!client->OpenFile(serverPath, u"rb")) {
        DbgOutputW(kDbgLevelInfo, u"NetFile(%ls) open failed\r\n", serverPath);
        return 0;
    }
    const uint64_t size = client->GetFileSize();
    DbgOutputA(kDbgLevelInfo, "net file size is %llu\r\n", static_cast<unsigned long long>(size));
    std::string local;
    FileReplacement target;
    if (!ToSystemPath(localPath, local, "SocketFileCopyFromServer") ||
        !target.Open(local, kNewFileMode)) {
        DbgOutputW(kDbgLevelInfo, u"local file(%ls) open failed, err is:%d\r\n", localPath, errno);
        client->CloseFile();
        return 0;
    }
    std::vector<uint8_t> block(kSocketFileCopyBlockBytes);
    const uint64_t start = MonoTimeMs();
    uint64_t done = 0;
    bool failed = false;
    while (done < size && !failed) {
        if (TimeIsUp(start, timeLimitMs)) {
            DbgOutputW(kDbgLevelInfo, u"download file %ls: time limit passed\r\n", serverPath);
            failed = true;
            break;
        }
        const uint32_t want =
            static_cast<uint32_t>(std::min<uint64_t>(kSocketFileCopyBlockBytes, size - done));
        const uint64_t blockStart = MonoTimeMs();
        const uint32_t got = client->ReadFile(done, block.data(), want, timeLimitMs);
        if (got == 0) {
            DbgOutputA(kDbgLevelInfo, "Read Net File return == 0!!\r\n");
            failed = true;
        } else if (!target.Write(block.data(), got)) {
            DbgOutputW(kDbgLevelInfo, u"local file(%ls) write failed: %hs\r\n", localPath,
                       target.Error().c_str());
            failed = true;
        } else {
            done += got;
            client->LimitReadSpeed(
                Report(listener, userValue, done, size, got, MonoTimeMs() - blockStart));
        }
    }
    client->CloseFile();
    int result = 0;
    if (!failed && done == size) {
        if (target.Commit()) {
            result = 1;
        } else {
            DbgOutputW(kDbgLevelInfo, u"local file(%ls) could not be completed: %hs\r\n", localPath,
                       target.Error().c_str());
        }
    }
    LogRate(u"download file %ls, used %lldms, speed is %.2f K/s!!\r\n", serverPath, done, start);
    return result;
}

int SocketFileCopyToServer(CSocketFileClient* client, const WCHAR* localPath,
                           const WCHAR* serverPath, uint64_t timeLimitMs,
                           INetFileCopyProgressListener* listener, uint64_t userValue) {
    if (client == nullptr || localPath == nullptr || serverPath == nullptr) return 0;
    std::string local;
    UniqueFd fd;
    struct stat info {};
    if (ToSystemPath(localPath, local, "SocketFileCopyToServer")) {
        fd = UniqueFd(open(local.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    }
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        DbgOutputW(kDbgLevelInfo, u"local file(%ls) open failed, err is:%d\r\n", localPath,
                   fd.Valid() ? EISDIR : errno);
        return 0;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    DbgOutputA(kDbgLevelInfo, "local file size is %llu\r\n", static_cast<unsigned long long>(size));

    WidePath folder, tempName, tempPath;
    if (!GetFileParentDirW(folder, serverPath)) return 0;
    bool opened = false;
    for (int attempt = 0; attempt < kTempNameAttempts && !opened; ++attempt) {
        if (!GetFileNameByRandomW(tempName, u".tmp", u"FileCopy_", kTempRandomChars) ||
            !CombinePathNameW(tempPath, folder, tempName)) {
            return 0;
        }
        opened = client->OpenFile(tempPath, u"wbx") != 0;
        if (!opened && !client->IsConnect()) break;
    }
    if (!opened) {
        DbgOutputW(kDbgLevelInfo, u"NetFile(%ls) open failed\r\n", tempPath);
        return 0;
    }

    std::vector<uint8_t> block(kSocketFileCopyBlockBytes);
    const uint64_t start = MonoTimeMs();
    uint64_t sent = 0;
    while (sent < size && !TimeIsUp(start, timeLimitMs)) {
        const int64_t got = ReadBlock(fd.Get(), block.data(), block.size());
        if (got <= 0) {
            DbgOutputA(kDbgLevelInfo, "Read local File return 0!!\r\n");
            break;
        }
        const uint64_t blockStart = MonoTimeMs();
        const uint32_t count = static_cast<uint32_t>(got);
        if (client->WriteFile(sent, block.data(), count, timeLimitMs) != count) {
            DbgOutputA(kDbgLevelInfo, "Write Net File failed!!\r\n");
            break;
        }
        sent += count;
        client->LimitWriteSpeed(
            Report(listener, userValue, sent, size, count, MonoTimeMs() - blockStart));
    }
    const bool complete = sent == size;
    const bool closed = client->CloseFile() != 0;
    int result = 0;
    if (complete && closed && client->RenameFile(tempPath, serverPath)) {
        result = 1;
    } else {
        if (complete && closed) {
            DbgOutputW(kDbgLevelInfo, u"upload file %ls: rename on the server failed\r\n",
                       serverPath);
        } else if (complete) {
            DbgOutputW(kDbgLevelInfo, u"upload file %ls: closing the server file failed\r\n",
                       serverPath);
        }
        client->DeleteFileW(tempPath);
    }
    LogRate(u"upload file %ls, used %lldms, speed is %.2f K/s!!\r\n", serverPath, sent, start);
    return result;
}

int SocketFolderCopyFromServer(CSocketFileClient* client, const WCHAR* serverFolder,
                               const WCHAR* localFolder, uint64_t timeLimitMs,
                               INetFolderCopyProgressListener* listener, uint64_t userValue) {
    if (client == nullptr || serverFolder == nullptr || localFolder == nullptr) return 0;
    if (!RecursiveCreateDirectoryW(localFolder)) return 0;
    return CopyFolderFromServer(client, serverFolder, localFolder, timeLimitMs, listener, userValue,
                                0);
}

int SocketFolderCopyToServer(CSocketFileClient* client, const WCHAR* localFolder,
                             const WCHAR* serverFolder, uint64_t timeLimitMs,
                             INetFolderCopyProgressListener* listener, uint64_t userValue) {
    if (client == nullptr || localFolder == nullptr || serverFolder == nullptr) return 0;
    client->MakeDirectory(serverFolder);
    return CopyFolderToServer(client, localFolder, serverFolder, timeLimitMs, listener, userValue,
                              0);
}
