// CMultiThreadDownload: downloads one byte range of a remote file into the same range of an
// existing local file, on a worker thread named "MT_ONEBLOCK", with a CHttpFileClient.
//
// The range lives in a caller-owned record (tagMTDOWNLOAD_BLOCK) into which the worker writes how
// many bytes of the range are in the local file, so a download that fails, is cancelled or is
// started again later continues where it stopped. A failed attempt is retried after
// kRetryDelayMs until the range is complete or the download is cancelled. Progress goes to an
// INetFileCopyProgressListener, the outcome of every attempt to an
// IMultiThreadDownloadFailedListener; both are called on the worker thread.
//
// Threads: DownloadFile, PauseDownload, ResumeDownload and CancelDownload may come from any
// thread. The worker updates copiedSize and speed of the record while it runs; read them with
// std::atomic_ref (or after the download ended). One downloader runs one worker.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/base_buffer.h"
#include "core/base_event.h"
#include "core/base_string.h"
#include "core/base_thread.h"
#include "core/common_api.h"
#include "http_file_client.h"
#include "net_file_copy_progress.h"

// The range to download and its progress (caller-owned). The first eleven fields are the request
// options of OpenHttpFile in their order; an empty string is handed on as empty text.
struct ORBO_COMMON_API tagMTDOWNLOAD_BLOCK {
    CBaseBuffer caCerts;
    CBaseStringA bearerToken;
    CBaseStringA extraHeader;
    long authMask = 0;
    CBaseStringA userName;
    CBaseStringA password;
    int useProxy = 0;
    long proxyType = 0;
    CBaseStringA proxyAddress;
    CBaseStringA proxyUserName;
    CBaseStringA proxyPassword;
    CBaseStringA url;
    CBaseStringA localPath;  // must exist: it is written in place, never created
    int64_t startPos = 0;
    int64_t endPos = 0;      // exclusive
    int64_t copiedSize = 0;  // bytes of the range already in the local file
    double speed = 0;        // bytes per millisecond of the last chunk; 0 between attempts
};

struct ORBO_COMMON_API tagMTDOWNLOAD_THREADINFO {
    tagMTDOWNLOAD_BLOCK* block = nullptr;
    CHttpFileClient client;
    CBaseThread thread;
};

// Told the outcome of every attempt that was not cancelled (complete: 1 or 0).
class ORBO_COMMON_API IMultiThreadDownloadFailedListener {
public:
    virtual ~IMultiThreadDownloadFailedListener() = default;
    virtual int OnDownloadAttemptEnd(uint64_t userData, int complete) = 0;  // result unused
};

class ORBO_COMMON_API CMultiThreadDownload : public IThreadFuncInterface {
public:
    static constexpr uint32_t kDefaultChunkBytes = 0x80000;
    static constexpr uint64_t kRetryDelayMs = 5000;
    static constexpr uint64_t kChunkWaitLimitMs = 10000;
    static constexpr int kWorkerStackBytes = 0x200000;

    CMultiThreadDownload();
    // CancelDownload.
    ~CMultiThreadDownload() override;
    CMultiThreadDownload(const CMultiThreadDownload&) = delete;
    CMultiThreadDownload& operator=(const CMultiThreadDownload&) = delete;

    // Ends any download in progress, then downloads block's range from start + copied onward on
    // the worker (chunkSize bytes per step, 0 = kDefaultChunkBytes). The block and the listeners
    // (may be null) must stay valid until the download is cancelled or waited for.
    // With wait nonzero, one attempt runs and DownloadFile returns when it has ended (no retry
    // follows; the block's copied size tells how far it got); with wait 0 it returns at once.
    // 1 when the worker was started; 0 (logged) for a null block or a range that can never
    // complete: start < 0, end <= start, or a copied size outside 0 .. end - start.
    int DownloadFile(int wait, tagMTDOWNLOAD_BLOCK* block, uint32_t chunkSize,
                     INetFileCopyProgressListener* progressListener,
                     IMultiThreadDownloadFailedListener* endListener, uint64_t userData);
    // Ends the download: a transfer in progress, a paused worker or a pending retry; forgets the
    // listeners; returns when the worker has ended. No end listener call for the cut attempt.
    void CancelDownload();
    // While started: the worker holds after its current chunk, until ResumeDownload.
    void PauseDownload();
    void ResumeDownload();
    // 1 from DownloadFile until the download is cancelled or waited for (also after the range is
    // complete), else 0.
    int IsDownloadingStart();

    // The worker's body: one attempt; nonzero to be called again for the next attempt.
    int ThreadLoop(uint64_t param) override;

private:
    // Ends a waiting download after its attempt: closes the client, joins the worker.
    void WaitForDownloadEnd();
    // One attempt on the block: 0 when the worker is done, 1 for another attempt.
    int DownloadOneBlock(tagMTDOWNLOAD_THREADINFO* info);
    // Copies the range from the open client into the open local file; true when complete.
    bool CopyChunks(tagMTDOWNLOAD_THREADINFO* info, int fd, int64_t need);

    std::atomic<int> m_started{0};
    tagMTDOWNLOAD_THREADINFO m_threadInfo;
    uint32_t m_chunkSize = kDefaultChunkBytes;
    std::atomic<int> m_cancel{0};
    CBaseEvent m_pauseGate;
    CBaseEvent m_retryEvent;
    std::atomic<INetFileCopyProgressListener*> m_progressListener{nullptr};
    std::atomic<IMultiThreadDownloadFailedListener*> m_endListener{nullptr};
    std::atomic<uint64_t> m_userData{0};
    // A waiting download: one attempt, and the worker's end is signalled.
    std::atomic<int> m_singleAttempt{0};
    CBaseEvent m_workerEnded;
};
