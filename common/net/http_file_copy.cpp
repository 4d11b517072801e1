#include "http_file_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <cinttypes>
#include <memory>
#include <new>
#include <string>

#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "core/path_text.h"
#include "core/unique_fd.h"
#include "local_file_write.h"

int HttpFileCopyFromServer(CHttpFileClient* client, const char* url, const CBaseBuffer* caCerts,
                           const char* bearerToken, const char* extraHeader, long authMask,
                           const char* userName, const char* password, int useProxy, long proxyType,
                           const char* proxyAddress, const char* proxyUserName,
                           const char* proxyPassword, const char* localPath, uint64_t timeLimitMs,
                           INetFileCopyProgressListener* listener, uint64_t userData) {
    if (client == nullptr) return 0;
    const char* shownUrl = url != nullptr ? url : "";
    const char* shownPath = localPath != nullptr ? localPath : "";
    const uint64_t startTick = MonoTimeMs();
    int result = 0;
    uint64_t total = 0;

    std::string systemPath;
    UniqueFd file;
    if (ToSystemPath(localPath, systemPath, "HttpFileCopyFromServer")) {
        file = UniqueFd(open(systemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    } else {
        errno = ENAMETOOLONG;
    }
    if (!file.Valid()) {
        DbgOutputA(kDbgLevelInfo, "local file(%s) open failed, err is:%s\r\n", shownPath,
                   strerror(errno));
    } else if (client->OpenFile(url, caCerts, bearerToken, extraHeader, authMask, userName,
                                password, useProxy, proxyType, proxyAddress, proxyUserName,
                                proxyPassword) == 0) {
        DbgOutputA(kDbgLevelInfo, "NetFile(%s) open failed\r\n", shownUrl);
    } else {
        const uint64_t size = client->GetFileSize();
        DbgOutputA(kDbgLevelInfo, "net file size is %" PRIu64 "\r\n", size);
        std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kHttpFileCopyBlockBytes]);
        if (block == nullptr) {
            DbgOutputA(kDbgLevelError, "HttpFileCopyFromServer: no memory for a %u-byte block\r\n",
                       kHttpFileCopyBlockBytes);
        }
        const uint64_t loopStart = MonoTimeMs();
        while (block != nullptr) {
            if (size > 0 && total >= size) {
                result = 1;
                break;
            }
            if (timeLimitMs != 0 && MonoTimeMs() - loopStart > timeLimitMs) break;
            const uint64_t blockStart = MonoTimeMs();
            const uint32_t got =
                client->ReadFile_Continue(block.get(), kHttpFileCopyBlockBytes, timeLimitMs);
            if (got == 0) {
                DbgOutputA(kDbgLevelInfo, "Read Net File return == 0!!\r\n");
                break;
            }
            const size_t written = WriteAllToFile(file.Get(), block.get(), got);
            total += written;
            if (written < got) {
                DbgOutputA(kDbgLevelInfo,
                           "local file(%s) write failed after %" PRIu64 " bytes, err is:%s\r\n",
                           shownPath, total, strerror(errno));
                break;
            }
            if (listener != nullptr) {
                const uint64_t elapsed = MonoTimeMs() - blockStart;
                const double speed = elapsed > 0 ? static_cast<double>(got) / elapsed : 0;
                uint64_t newLimit = 0;
                const int goOn =
                    listener->OnNetFileCopyProgress(userData, total, size, speed, &newLimit);
                if (goOn == 0) break;
                client->LimitReadSpeed(newLimit);
            }
        }
    }
    if (file.Valid() && !file.Close()) {
        DbgOutputA(kDbgLevelInfo, "local file(%s) close failed, err is:%s\r\n", shownPath,
                   strerror(errno));
        result = 0;
    }
    client->CloseFile();
    const uint64_t elapsed = MonoTimeMs() - startTick;
    if (elapsed > 0) {
        DbgOutputA(kDbgLevelInfo, "download file %s, used %" PRIu64 "ms, speed is %.2f K/s!!\r\n",
                   shownUrl, elapsed, static_cast<double>(total) / elapsed);
    }
    return result;
}
