#include "multi_thread_download.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <memory>
#include <new>
#include <string>

#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "core/path_text.h"
#include "core/unique_fd.h"
#include "local_file_write.h"

namespace {

int64_t LoadCopied(tagMTDOWNLOAD_BLOCK* block) {
    return std::atomic_ref<int64_t>(block->copiedSize).load();
}

void StoreCopied(tagMTDOWNLOAD_BLOCK* block, int64_t value) {
    std::atomic_ref<int64_t>(block->copiedSize).store(value);
}

void StoreSpeed(tagMTDOWNLOAD_BLOCK* block, double value) {
    std::atomic_ref<double>(block->speed).store(value);
}

// A range that can complete: start >= 0, end > start, copied within the range.
bool IsRangeValid(tagMTDOWNLOAD_BLOCK* block) {
    const int64_t copied = LoadCopied(block);
    return block->startPos >= 0 && block->endPos > block->startPos && copied >= 0 &&
           copied <= block->endPos - block->startPos;
}

}  // namespace

CMultiThreadDownload::CMultiThreadDownload()
    : m_pauseGate(nullptr, 1), m_retryEvent(nullptr, 0), m_workerEnded(nullptr, 1) {}

CMultiThreadDownload::~CMultiThreadDownload() {
    CancelDownload();
}

int CMultiThreadDownload::DownloadFile(int wait, tagMTDOWNLOAD_BLOCK* block, uint32_t chunkSize,
                                       INetFileCopyProgressListener* progressListener,
                                       IMultiThreadDownloadFailedListener* endListener,
                                       uint64_t userData) {
    CancelDownload();
    if (block == nullptr) return 0;
    if (!IsRangeValid(block)) {
        DbgOutputA(kDbgLevelWarning,
                   "DownloadFile refused: range %" PRId64 "-%" PRId64 " with %" PRId64
                   " copied can never complete\r\n",
                   block->startPos, block->endPos, LoadCopied(block));
        return 0;
    }
    m_started = 1;
    m_chunkSize = chunkSize != 0 ? chunkSize : kDefaultChunkBytes;
    m_cancel = 0;
    m_pauseGate.Set();
    m_retryEvent.Reset();
    m_workerEnded.Reset();
    m_singleAttempt = wait != 0 ? 1 : 0;
    m_progressListener = progressListener;
    m_endListener = endListener;
    m_userData = userData;
    m_threadInfo.block = block;
    if (m_threadInfo.thread.StartThread("MT_ONEBLOCK", this,
                                        reinterpret_cast<uint64_t>(&m_threadInfo), 0,
                                        kWorkerStackBytes, 0) == 0) {
        m_started = 0;
        return 0;
    }
    if (wait != 0) WaitForDownloadEnd();
    return 1;
}

void CMultiThreadDownload::CancelDownload() {
    DbgOutputA(kDbgLevelInfo, "CancelDownload +++!!\r\n");
    m_cancel = 1;
    m_progressListener = nullptr;
    m_endListener = nullptr;
    m_userData = 0;
    m_pauseGate.Set();
    m_retryEvent.Set();
    m_threadInfo.client.CloseFile();
    m_threadInfo.thread.StopThread();
    m_workerEnded.Set();  // the worker may have been stopped before its first attempt
    m_started = 0;
    DbgOutputA(kDbgLevelInfo, "CancelDownload ---!!\r\n");
}

void CMultiThreadDownload::PauseDownload() {
    if (m_started != 0) m_pauseGate.Reset();
}

void CMultiThreadDownload::ResumeDownload() {
    if (m_started != 0) m_pauseGate.Set();
}

int CMultiThreadDownload::IsDownloadingStart() {
    return m_started;
}

void CMultiThreadDownload::WaitForDownloadEnd() {
    m_workerEnded.Wait();
    m_threadInfo.client.CloseFile();
    m_threadInfo.thread.StopThread();
    m_started = 0;
}

int CMultiThreadDownload::ThreadLoop(uint64_t param) {
    const int again = DownloadOneBlock(reinterpret_cast<tagMTDOWNLOAD_THREADINFO*>(param));
    if (again == 0) m_workerEnded.Set();
    return again;
}

bool CMultiThreadDownload::CopyChunks(tagMTDOWNLOAD_THREADINFO* info, int fd, int64_t need) {
    tagMTDOWNLOAD_BLOCK* block = info->block;
    const uint32_t chunkSize = m_chunkSize;
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[chunkSize]);
    if (chunk == nullptr) {
        DbgOutputA(kDbgLevelError, "MT_ONEBLOCK: no memory for a %u-byte chunk\r\n", chunkSize);
        return false;
    }
    const int64_t resumeAt = block->startPos + LoadCopied(block);
    if (info->client.SeekFile(resumeAt, 0) != resumeAt) {
        DbgOutputA(kDbgLevelInfo, "net file(%s) ends before the resume position %" PRId64 "!!\r\n",
                   block->url.GetString(), resumeAt);
        return false;
    }
    uint64_t tick = MonoTimeMs();
    int64_t copied = LoadCopied(block);
    while (copied < need) {
        if (m_cancel != 0) {
            DbgOutputA(kDbgLevelInfo, "force stopping!!\r\n");
            break;
        }
        const uint32_t wanted = static_cast<uint32_t>(std::min<int64_t>(need - copied, chunkSize));
        const uint32_t got = info->client.ReadFile_Continue(chunk.get(), wanted, kChunkWaitLimitMs);
        if (got == 0) {
            DbgOutputA(kDbgLevelInfo, "Read Net File return == 0!!\r\n");
            break;
        }
        const size_t written = WriteAllToFile(fd, chunk.get(), got);
        copied += static_cast<int64_t>(written);
        StoreCopied(block, copied);
        if (written < got) {
            DbgOutputA(kDbgLevelInfo, "local file(%s) write failed, err is:%s\r\n",
                       block->localPath.GetString(), strerror(errno));
            break;
        }
        if (m_cancel != 0) {
            DbgOutputA(kDbgLevelInfo, "force stopping!!\r\n");
            break;
        }
        const uint64_t now = MonoTimeMs();
        if (now > tick) {
            StoreSpeed(block, static_cast<double>(got) / (now - tick));
            tick = now;
        }
        INetFileCopyProgressListener* listener = m_progressListener;
        if (listener != nullptr) {
            uint64_t newLimit = 0;
            listener->OnNetFileCopyProgress(m_userData, static_cast<uint64_t>(copied),
                                            static_cast<uint64_t>(need), block->speed, &newLimit);
            info->client.LimitReadSpeed(newLimit);
        }
        m_pauseGate.Wait();
    }
    return copied == need;
}

int CMultiThreadDownload::DownloadOneBlock(tagMTDOWNLOAD_THREADINFO* info) {
    if (info == nullptr || info->block == nullptr) return 0;
    tagMTDOWNLOAD_BLOCK* block = info->block;
    if (!IsRangeValid(block)) {
        DbgOutputA(kDbgLevelWarning, "MT_ONEBLOCK: range %" PRId64 "-%" PRId64 " refused\r\n",
                   block->startPos, block->endPos);
        return 0;
    }
    const int64_t need = block->endPos - block->startPos;
    const int64_t copiedAtStart = LoadCopied(block);
    if (copiedAtStart == need) return 0;

    bool complete = false;
    const char* url = block->url.GetString();
    const char* localPath = block->localPath.GetString();
    if (info->client.OpenFile(
            url, &block->caCerts, block->bearerToken.GetString(), block->extraHeader.GetString(),
            block->authMask, block->userName.GetString(), block->password.GetString(),
            block->useProxy, block->proxyType, block->proxyAddress.GetString(),
            block->proxyUserName.GetString(), block->proxyPassword.GetString()) == 0) {
        DbgOutputA(kDbgLevelInfo, "NetFile(%s) open failed\r\n", url);
    } else {
        std::string systemPath;
        UniqueFd file;
        if (ToSystemPath(localPath, systemPath, "MT_ONEBLOCK")) {
            file = UniqueFd(open(systemPath.c_str(), O_RDWR | O_CLOEXEC));
        } else {
            errno = ENAMETOOLONG;
        }
        const off_t offset = static_cast<off_t>(block->startPos + copiedAtStart);
        if (!file.Valid()) {
            DbgOutputA(kDbgLevelInfo, "local file(%s) open failed, err is:%s\r\n", localPath,
                       strerror(errno));
        } else if (lseek(file.Get(), offset, SEEK_SET) != offset) {
            DbgOutputA(kDbgLevelInfo, "local file(%s) seek failed, err is:%s\r\n", localPath,
                       strerror(errno));
        } else {
            DbgOutputA(kDbgLevelInfo,
                       "StartPos = %" PRId64 ", Copied Size = %" PRId64 ", total need=%" PRId64
                       "!!\r\n",
                       block->startPos, copiedAtStart, need);
            complete = CopyChunks(info, file.Get(), need);
        }
        if (file.Valid() && !file.Close()) {
            // What this attempt wrote may not be in the file: the next attempt writes it again.
            DbgOutputA(kDbgLevelInfo, "local file(%s) close failed, err is:%s\r\n", localPath,
                       strerror(errno));
            StoreCopied(block, copiedAtStart);
            complete = false;
        }
    }
    info->client.CloseFile();
    StoreSpeed(block, 0);
    IMultiThreadDownloadFailedListener* endListener = m_endListener;
    if (m_cancel == 0 && endListener != nullptr) {
        endListener->OnDownloadAttemptEnd(m_userData, complete ? 1 : 0);
    }
    if (complete || m_singleAttempt != 0 || m_cancel != 0) return 0;
    m_retryEvent.WaitUS(kRetryDelayMs * 1000);
    return m_cancel == 0 ? 1 : 0;
}
