// CHttpFileClient: a remote file over HTTP(S) (http_transfer.h) that is read piece by piece and
// can be repositioned.
//
// After OpenFile (which asks the size), the next bytes at the position are read in one of two
// ways:
// - continuous reading (ReadFile_Continue): a thread named "HttpRead" streams the body from the
//   position onward straight into the caller's buffer and pauses whenever that buffer is full;
//   the next read continues the same transfer. A seek to another position replaces the thread.
// - part reading (ReadFile_Part): every call asks the server for one byte range.
// Received bytes go straight into the caller's memory; the client keeps no copy.
//
// Threads: one caller thread reads (one continuous read at a time). CloseFile, PrepareClose and
// CancelRead may come from another thread during a read: the transfer then ends and the waiting
// read returns. OpenFile, CloseFile, part reads and seeks are serialised by the main lock; a
// part read stops a streaming thread first (one libcurl handle serves one transfer at a time),
// and the next continuous read starts a new one at the position.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/base_buffer.h"
#include "core/base_event.h"
#include "core/base_lock.h"
#include "core/base_thread.h"
#include "core/common_api.h"
#include "http_transfer.h"

class ORBO_COMMON_API CHttpFileClient : public IThreadFuncInterface, public IHttpDataCallback {
public:
    // A streaming transfer that receives nothing for this long is ended.
    static constexpr uint64_t kStallTimeoutMs = 30000;
    // A part read asks at most this long per range request (it goes on while bytes arrive).
    static constexpr uint64_t kPartRequestLimitMs = 10000;
    static constexpr uint64_t kSpeedWindowMs = 1000;
    static constexpr int kReadThreadStackBytes = 0x200000;

    // Closed: no handle, size 0, position 0, no speed limit.
    CHttpFileClient();
    // CloseFile.
    ~CHttpFileClient() override;
    CHttpFileClient(const CHttpFileClient&) = delete;
    CHttpFileClient& operator=(const CHttpFileClient&) = delete;

    // Closes any open file, then opens the URL with the request options of OpenHttpFile (in the
    // same order). 1 on success (position 0, speed limit removed), else 0 (closed).
    int OpenFile(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                 const char* extraHeader, long authMask, const char* userName, const char* password,
                 int useProxy, long proxyType, const char* proxyAddress, const char* proxyUserName,
                 const char* proxyPassword);
    // Marks the client as closing, so that a continuous read in progress ends soon; waits for
    // nothing. Continuous reads return 0 until the next OpenFile.
    void PrepareClose();
    // Ends any read in progress (waits for it), stops the read thread, releases the handle;
    // position 0, speed limit removed. Always 1.
    int CloseFile();

    // Reads up to length bytes at the position (fewer at the end of a file of known size) and
    // advances the position by the count returned. Waits for the bytes at most waitLimitMs
    // (0 or UINT64_MAX: without limit) and returns what arrived by then; the transfer goes on
    // and later bytes are kept for the next read. 0 at the end, when closed or closing, and when
    // the streaming ended without bytes (a failed or stalled transfer; the next read starts a new
    // one at the position).
    uint32_t ReadFile_Continue(void* buffer, uint32_t length, uint64_t waitLimitMs);
    // Reads length bytes at the position with range requests (fewer at the end of a file of known
    // size) within timeLimitMs (0 = no overall limit). Returns the count and advances the
    // position; 0 when cancelled (CancelRead), whatever bytes were written into the buffer.
    uint32_t ReadFile_Part(void* buffer, uint32_t length, uint64_t timeLimitMs);
    // Ends the transfer of a read in progress. Any thread.
    void CancelRead();
    // origin 0: from the start, 1: from the position, 2: from the end (any other origin: 0).
    // The target is kept within 0 and the known size. Returns the new position.
    int64_t SeekFile(int64_t offset, int origin);
    uint64_t GetFilePos();
    // The size in bytes; 0 when unknown or closed.
    uint64_t GetFileSize();
    // Bytes per second (0 = none): after a read, the reader sleeps when the read came in faster.
    void LimitReadSpeed(uint64_t bytesPerSecond);
    // Bytes per millisecond (= kilobytes per second) of the recent streaming or the last part
    // read.
    double GetRealTimeDownloadSpeedKBPS();
    // The average speed of the current (or last) transfer in kilobytes per second; 0 when closed.
    double GetTotalAvgDownloadSpeedKBPS();

    // The body of the "HttpRead" thread: one streaming transfer from the position.
    int ThreadLoop(uint64_t param) override;
    // The streaming transfer's receive and progress steps (on the "HttpRead" thread).
    uint32_t OnHttpDataRecvCallback(const void* data, uint32_t length, uint64_t userData) override;
    int OnHttpDataProgressCallback(uint64_t userData) override;

private:
    tagHTTPFILEINFO* GetHttpFileInfo() { return &m_fileInfo; }
    // Starts the read thread at the position; false when it cannot be started.
    bool StartHttpReadThread();
    void StopHttpReadThread();
    // Under the buffer lock: binds the caller's memory as the buffer the thread fills.
    void BindReadBuffer(void* buffer, uint32_t length);
    void ApplySpeedLimit(uint32_t result, uint64_t startTick);

    CBaseLock m_mainLock;
    tagHTTPFILEINFO m_fileInfo;  // main lock (the read thread uses it while streaming)
    std::atomic<int> m_prepareClose{0};
    std::atomic<int> m_stop{0};
    std::atomic<uint64_t> m_position{0};
    std::atomic<int> m_restart{1};
    CBaseThread m_readThread;
    CBaseLock m_bufferLock;
    CBaseBuffer m_boundBuffer;  // buffer lock
    bool m_streaming = false;   // buffer lock: the read thread's transfer has not ended
    CBaseEvent m_dataWanted;
    CBaseEvent m_bufferFull;
    CBaseEvent m_idleGate;
    std::atomic<uint64_t> m_lastDataTick{0};
    uint64_t m_windowStart = 0;  // read thread
    uint64_t m_windowBytes = 0;  // read thread
    std::atomic<double> m_realTimeSpeed{0};
    std::atomic<uint64_t> m_speedLimit{0};
    // The current streaming transfer, for its average speed.
    std::atomic<uint64_t> m_streamStartTick{0};
    std::atomic<uint64_t> m_streamBytes{0};
};
