#include "http_file_client.h"

#include <algorithm>
#include <cinttypes>
#include <climits>

#include "core/dbg_output.h"
#include "core/mono_clock.h"

CHttpFileClient::CHttpFileClient()
    : m_dataWanted(nullptr, 0), m_bufferFull(nullptr, 0), m_idleGate(nullptr, 1) {
    m_idleGate.Set();
}

CHttpFileClient::~CHttpFileClient() {
    CloseFile();
    m_boundBuffer.Delete();
}

int CHttpFileClient::OpenFile(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                              const char* extraHeader, long authMask, const char* userName,
                              const char* password, int useProxy, long proxyType,
                              const char* proxyAddress, const char* proxyUserName,
                              const char* proxyPassword) {
    static const char kFunction[] = "CHttpFileClient::OpenFile";
    const char* shownUrl = url != nullptr ? url : "";
    DbgOutputA(kDbgLevelInfo, "%s: %s\r\n", kFunction, shownUrl);
    CloseFile();
    int result = 0;
    {
        CAutoBaseLock hold(&m_mainLock);
        result =
            OpenHttpFile(&m_fileInfo, url, caCerts, bearerToken, extraHeader, authMask, userName,
                         password, useProxy, proxyType, proxyAddress, proxyUserName, proxyPassword);
        m_restart = 1;
        m_prepareClose = 0;
        m_stop = 0;
        m_position = 0;
        m_lastDataTick = 0;
        m_windowStart = 0;
        m_windowBytes = 0;
        m_realTimeSpeed = 0;
        m_speedLimit = 0;
    }
    if (result == 0) CloseFile();
    DbgOutputA(kDbgLevelInfo, "%s: %s, %s\r\n", kFunction, shownUrl,
               result != 0 ? "SUCCESS" : "FAILED!");
    return result;
}

void CHttpFileClient::PrepareClose() {
    static const char kFunction[] = "CHttpFileClient::PrepareClose";
    DbgOutputA(kDbgLevelInfo, "%s: +++\r\n", kFunction);
    m_prepareClose = 1;
    DbgOutputA(kDbgLevelInfo, "%s: ---\r\n", kFunction);
}

int CHttpFileClient::CloseFile() {
    static const char kFunction[] = "CHttpFileClient::CloseFile";
    DbgOutputA(kDbgLevelInfo, "%s: +++\r\n", kFunction);
    m_stop = 1;  // a part read in progress (it holds the main lock) ends at its next check
    {
        // Under the main lock, so that a continuous read either sees the flag or has already
        // closed the idle gate that is waited for below.
        CAutoBaseLock hold(&m_mainLock);
        m_prepareClose = 1;
        m_stop = 1;
    }
    m_idleGate.Wait();
    StopHttpReadThread();
    {
        CAutoBaseLock hold(&m_mainLock);
        if (m_fileInfo.handle != nullptr) CloseHttpFile(&m_fileInfo);
        m_position = 0;
        m_restart = 1;
        m_windowStart = 0;
        m_windowBytes = 0;
        m_realTimeSpeed = 0;
        m_speedLimit = 0;
    }
    DbgOutputA(kDbgLevelInfo, "%s: ---\r\n", kFunction);
    return 1;
}

void CHttpFileClient::BindReadBuffer(void* buffer, uint32_t length) {
    m_boundBuffer.Delete();
    m_boundBuffer.BindBuffer(buffer, length);
    m_boundBuffer.SetAvailSize(0);
    m_bufferFull.Reset();
}

uint32_t CHttpFileClient::ReadFile_Continue(void* buffer, uint32_t length, uint64_t waitLimitMs) {
    if (buffer == nullptr || length == 0) return 0;
    const uint64_t startTick = MonoTimeMs();
    {
        CAutoBaseLock hold(&m_mainLock);
        if (m_fileInfo.handle == nullptr || m_prepareClose != 0) return 0;
        uint32_t wanted = length;
        const uint64_t size = static_cast<uint64_t>(m_fileInfo.fileSize);
        const uint64_t position = m_position;
        if (size > 0) {
            if (position >= size) return 0;
            if (size - position < wanted) {
                DbgOutputA(kDbgLevelInfo, "%s: curpos=%" PRIu64 ", readlen=%" PRIu64 "\r\n",
                           "CHttpFileClient::ReadFile_Continue", position, size - position);
                wanted = static_cast<uint32_t>(size - position);
            }
        }
        m_idleGate.Reset();
        bool bound = false;
        if (m_restart == 0) {
            // The streaming thread goes on only while its transfer has not ended; the check and
            // the binding are one step for it.
            CAutoBaseLock bufferHold(&m_bufferLock);
            if (m_streaming) {
                BindReadBuffer(buffer, wanted);
                bound = true;
            }
        }
        if (!bound) {
            StopHttpReadThread();
            {
                CAutoBaseLock bufferHold(&m_bufferLock);
                BindReadBuffer(buffer, wanted);
            }
            m_restart = 0;
            m_lastDataTick = MonoTimeMs();
            if (!StartHttpReadThread()) {
                CAutoBaseLock bufferHold(&m_bufferLock);
                m_boundBuffer.Delete();
                m_idleGate.Set();
                return 0;
            }
        }
    }
    m_dataWanted.Set();
    if (waitLimitMs == 0 || waitLimitMs == UINT64_MAX) {
        m_bufferFull.Wait();
    } else {
        m_bufferFull.Wait(waitLimitMs);
    }
    uint32_t result = 0;
    {
        CAutoBaseLock bufferHold(&m_bufferLock);
        result = m_boundBuffer.GetAvailSize();
        m_position += result;
        m_boundBuffer.Delete();
    }
    m_idleGate.Set();
    ApplySpeedLimit(result, startTick);
    return result;
}

uint32_t CHttpFileClient::ReadFile_Part(void* buffer, uint32_t length, uint64_t timeLimitMs) {
    if (buffer == nullptr || length == 0) return 0;
    const uint64_t startTick = MonoTimeMs();
    // A part read from a near server often takes less than a millisecond; timed in whole
    // milliseconds it would have no speed at all.
    const uint64_t startUs = MonoTimeUs();
    uint32_t result = 0;
    {
        CAutoBaseLock hold(&m_mainLock);
        if (m_fileInfo.handle == nullptr) return 0;
        if (!m_readThread.IsThreadExit()) {
            // The handle serves one transfer at a time: the stream gives way and restarts at
            // the position on the next continuous read.
            StopHttpReadThread();
            m_restart = 1;
        }
        uint32_t wanted = length;
        const uint64_t size = static_cast<uint64_t>(m_fileInfo.fileSize);
        const uint64_t position = m_position;
        if (size > 0 && size - std::min(position, size) < wanted) {
            wanted = static_cast<uint32_t>(size - std::min(position, size));
        }
        m_stop = 0;
        uint32_t sum = 0;
        auto* bytes = static_cast<uint8_t*>(buffer);
        const uint64_t requestLimit =
            timeLimitMs != 0 ? std::min(timeLimitMs, kPartRequestLimitMs) : kPartRequestLimitMs;
        while (sum < wanted) {
            if (timeLimitMs != 0 && MonoTimeMs() - startTick > timeLimitMs) break;
            m_lastDataTick = MonoTimeMs();
            const uint32_t got = ReadHttpBody(&m_fileInfo, position + sum, bytes + sum,
                                              wanted - sum, requestLimit, &m_stop, nullptr);
            sum += got;
            if (got == 0 || m_stop != 0) break;
        }
        result = m_stop != 0 ? 0 : sum;
        m_position += result;
        const uint64_t elapsedUs = std::max<uint64_t>(MonoTimeUs() - startUs, 1);
        if (result != 0) m_realTimeSpeed = static_cast<double>(result) * 1000.0 / elapsedUs;
    }
    ApplySpeedLimit(result, startTick);
    return result;
}

void CHttpFileClient::CancelRead() {
    m_stop = 1;
}

int64_t CHttpFileClient::SeekFile(int64_t offset, int origin) {
    CAutoBaseLock hold(&m_mainLock);
    const int64_t size = m_fileInfo.fileSize;
    const int64_t position = static_cast<int64_t>(m_position.load());
    int64_t target = 0;
    bool overflow = false;
    switch (origin) {
        case 0:
            target = offset;
            break;
        case 1:
            overflow = __builtin_add_overflow(position, offset, &target);
            break;
        case 2:
            overflow = __builtin_add_overflow(size, offset, &target);
            break;
        default:
            target = 0;
            break;
    }
    if (overflow) target = offset < 0 ? 0 : INT64_MAX;
    if (target < 0) target = 0;
    if (size > 0 && target > size) target = size;
    if (static_cast<uint64_t>(target) != m_position) {
        m_position = static_cast<uint64_t>(target);
        m_restart = 1;
    }
    return target;
}

uint64_t CHttpFileClient::GetFilePos() {
    return m_position;
}

uint64_t CHttpFileClient::GetFileSize() {
    CAutoBaseLock hold(&m_mainLock);
    return static_cast<uint64_t>(m_fileInfo.fileSize);
}

void CHttpFileClient::LimitReadSpeed(uint64_t bytesPerSecond) {
    m_speedLimit = bytesPerSecond;
}

double CHttpFileClient::GetRealTimeDownloadSpeedKBPS() {
    return m_realTimeSpeed;
}

double CHttpFileClient::GetTotalAvgDownloadSpeedKBPS() {
    CAutoBaseLock hold(&m_mainLock);
    if (m_fileInfo.handle == nullptr) return 0;
    if (!m_readThread.IsThreadExit()) {
        // libcurl's figures may not be read while its transfer runs on the read thread.
        const uint64_t elapsed = MonoTimeMs() - m_streamStartTick;
        return elapsed > 0 ? static_cast<double>(m_streamBytes.load()) / elapsed : 0;
    }
    return GetHttpDownloadSpeedBPS(m_fileInfo.handle) * 0.001;
}

bool CHttpFileClient::StartHttpReadThread() {
    m_stop = 0;
    m_dataWanted.Reset();
    m_bufferFull.Reset();
    {
        CAutoBaseLock bufferHold(&m_bufferLock);
        m_streaming = true;
        m_bufferFull.Reset();
    }
    if (m_readThread.StartThread("HttpRead", this, 0, 0, kReadThreadStackBytes, 0) == 0) {
        CAutoBaseLock bufferHold(&m_bufferLock);
        m_streaming = false;
        return false;
    }
    return true;
}

void CHttpFileClient::StopHttpReadThread() {
    m_stop = 1;
    m_dataWanted.Set();
    m_readThread.StopThread();
}

int CHttpFileClient::ThreadLoop(uint64_t) {
    m_windowStart = MonoTimeMs();
    m_windowBytes = 0;
    m_streamStartTick = m_windowStart;
    m_streamBytes = 0;
    ReadHttpBodyWithCustomCallback(&m_fileInfo, m_position, this, 0);
    CAutoBaseLock bufferHold(&m_bufferLock);
    m_streaming = false;
    m_bufferFull.Set();
    return 0;
}

uint32_t CHttpFileClient::OnHttpDataRecvCallback(const void* data, uint32_t length, uint64_t) {
    m_windowBytes += length;
    m_streamBytes += length;
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t remaining = length;
    while (m_prepareClose == 0 && m_stop == 0 && remaining > 0) {
        {
            CAutoBaseLock bufferHold(&m_bufferLock);
            const uint32_t taken = std::min(m_boundBuffer.GetLeftSize(), remaining);
            if (taken > 0) m_boundBuffer.AppendBuffer(bytes, taken);
            bytes += taken;
            remaining -= taken;
            if (m_boundBuffer.GetLeftSize() == 0) m_bufferFull.Set();
        }
        if (remaining == 0) break;
        const uint64_t now = MonoTimeMs();
        if (now - m_windowStart > kSpeedWindowMs) {
            m_realTimeSpeed = static_cast<double>(m_windowBytes) / (now - m_windowStart);
            m_windowStart = now;
            m_windowBytes = 0;
        }
        m_dataWanted.Wait();
    }
    m_lastDataTick = MonoTimeMs();
    // Bytes dropped because the client is closing still count as taken: the progress check
    // ends the transfer.
    return length;
}

int CHttpFileClient::OnHttpDataProgressCallback(uint64_t) {
    if (m_prepareClose != 0 || m_stop != 0) return 1;
    if (MonoTimeMs() - m_lastDataTick > kStallTimeoutMs) {
        DbgOutputA(kDbgLevelInfo, "%s: transer timeout....\r\n",
                   "CHttpFileClient::OnHttpDataProgressCallback");
        return 1;
    }
    return 0;
}

void CHttpFileClient::ApplySpeedLimit(uint32_t result, uint64_t startTick) {
    const uint64_t limit = m_speedLimit;
    if (limit == 0) return;
    const uint64_t budget = static_cast<uint64_t>(result) * 1000 / limit;
    if (budget > MonoTimeMs() - startTick) SleepMs(budget);
}
