#include "http_transfer.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "core/dbg_output.h"
#include "core/hex_text.h"
#include "core/mono_clock.h"
#include "core/size_limits.h"
#include "http_request_internal.h"

namespace {

// The first room reserved for a response body kept in memory.
constexpr uint32_t kBodyGrowthMinBytes = 0x10000;

// Where a read's or a command's body goes, and what may end the transfer early.
struct BufferSink {
    CBaseBuffer* buffer = nullptr;
    int grow = 0;  // 1: append everything (bounded); 0: bound memory, at most its free room
    const std::atomic<int>* stopFlag = nullptr;
    uint64_t startTick = 0;
    uint64_t lastDataTick = 0;
    uint64_t timeLimitMs = 0;  // 0 = none
    bool timedOut = false;
    HttpRangeCheck* rangeCheck = nullptr;
};

size_t SinkWrite(char* data, size_t size, size_t count, void* userData) {
    auto* sink = static_cast<BufferSink*>(userData);
    const size_t length = size * count;
    if (sink->rangeCheck != nullptr && !sink->rangeCheck->Accepts()) return 0;
    sink->lastDataTick = MonoTimeMs();
    CBaseBuffer* buffer = sink->buffer;
    if (sink->grow != 0) {
        if (length > kMaxHttpBodyBytes - buffer->GetAvailSize()) {
            DbgOutputA(kDbgLevelWarning, "response body beyond %u bytes refused\r\n",
                       kMaxHttpBodyBytes);
            return 0;
        }
        // The buffer grows exactly to what it is asked for: room is reserved in doubling steps.
        const uint32_t needed = buffer->GetAvailSize() + static_cast<uint32_t>(length);
        if (needed > buffer->GetBufSize()) {
            const uint32_t doubled = buffer->GetBufSize() > kMaxHttpBodyBytes / 2
                                         ? kMaxHttpBodyBytes
                                         : buffer->GetBufSize() * 2;
            if (buffer->SetBufferSize(std::max({needed, doubled, kBodyGrowthMinBytes})) == 0) {
                return 0;
            }
        }
        return buffer->AppendBuffer(data, static_cast<uint32_t>(length)) != 0 ? length : 0;
    }
    const size_t room = buffer->GetLeftSize();
    const size_t taken = std::min(room, length);
    buffer->AppendBuffer(data, static_cast<uint32_t>(taken));
    if (taken < length) {
        const bool stop = sink->stopFlag != nullptr && sink->stopFlag->load() != 0;
        DbgOutputA(kDbgLevelInfo,
                   "%s: recv data len %lu, write data len %lu, buffer left=%lu, need stop=%s\r\n",
                   "curl_write_cbuffer_func", static_cast<unsigned long>(length),
                   static_cast<unsigned long>(taken), static_cast<unsigned long>(room),
                   stop ? "TRUE" : "FALSE");
    }
    return taken;
}

int SinkProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* sink = static_cast<BufferSink*>(userData);
    if (sink->stopFlag != nullptr && sink->stopFlag->load() != 0) {
        DbgOutputA(kDbgLevelInfo, "%s: stop transfer....\r\n", "curl_progress_func");
        return 1;
    }
    if (sink->timeLimitMs != 0 && MonoTimeMs() - sink->startTick > sink->timeLimitMs) {
        DbgOutputA(kDbgLevelInfo,
                   "%s: transer timeout, startTime is %" PRIu64 ", last recv time is %" PRIu64
                   "....\r\n",
                   "curl_progress_func", sink->startTick, sink->lastDataTick);
        sink->timedOut = true;
        return 1;
    }
    return 0;
}

bool InstallSink(const HttpTransfer& transfer, BufferSink* sink) {
    return SetFunctionOption(transfer, CURLOPT_WRITEFUNCTION, &SinkWrite) &&
           SetPointerOption(transfer, CURLOPT_WRITEDATA, sink) &&
           SetLongOption(transfer, CURLOPT_NOPROGRESS, 0L) &&
           SetFunctionOption(transfer, CURLOPT_XFERINFOFUNCTION, &SinkProgress) &&
           SetPointerOption(transfer, CURLOPT_XFERINFODATA, sink);
}

// A kept handle, made ready for one read: fresh options, no total time-out, keep-alive probes.
bool PrepareForReading(HttpTransfer& transfer) {
    return PrepareHttpTransfer(transfer) &&
           SetLongOption(transfer, CURLOPT_CONNECTTIMEOUT_MS, kHttpConnectTimeoutMs) &&
           SetLongOption(transfer, CURLOPT_TIMEOUT_MS, 0L) &&
           SetLongOption(transfer, CURLOPT_TCP_KEEPALIVE, 1L) &&
           SetLongOption(transfer, CURLOPT_TCP_KEEPIDLE, kHttpKeepAliveIdleSeconds) &&
           SetLongOption(transfer, CURLOPT_TCP_KEEPINTVL, kHttpKeepAliveIntervalSeconds);
}

// The custom callback's adapter for libcurl.
struct CallbackSink {
    IHttpDataCallback* callback;
    uint64_t userData;
    HttpRangeCheck* rangeCheck;
};

size_t CallbackWrite(char* data, size_t size, size_t count, void* userData) {
    auto* sink = static_cast<CallbackSink*>(userData);
    const size_t length = size * count;
    if (!sink->rangeCheck->Accepts()) return 0;
    return sink->callback->OnHttpDataRecvCallback(data, static_cast<uint32_t>(length),
                                                  sink->userData);
}

int CallbackProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* sink = static_cast<CallbackSink*>(userData);
    return sink->callback->OnHttpDataProgressCallback(sink->userData) != 0 ? 1 : 0;
}

// GET (requestBody null) or POST.
int PerformHttpCommand(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                       const char* extraHeader, long authMask, const char* userName,
                       const char* password, int useProxy, long proxyType, const char* proxyAddress,
                       const char* proxyUserName, const char* proxyPassword, bool post,
                       const CBaseBuffer* requestBody, CBaseBuffer* outBody) {
    const CurlLibrary* lib = RequireCurlLibrary();
    if (lib == nullptr) return 0;
    if (url == nullptr || url[0] == '\0' || outBody == nullptr ||
        (post && requestBody == nullptr)) {
        return 0;
    }
    HttpRequestOptions options;
    if (!CollectHttpRequestOptions(url, caCerts, bearerToken, extraHeader, authMask, userName,
                                   password, useProxy, proxyType, proxyAddress, proxyUserName,
                                   proxyPassword, &options)) {
        return 0;
    }
    std::unique_ptr<HttpTransfer> transfer =
        CreateHttpTransfer(lib, url, std::move(options),
                           post ? "curl_easy_init failed\r\n" : "gfnCurlEasyInit failed\r\n");
    if (transfer == nullptr) return 0;

    BufferSink sink;
    sink.buffer = outBody;
    sink.grow = 1;
    sink.startTick = sink.lastDataTick = MonoTimeMs();
    sink.timeLimitMs = kHttpCommandTimeLimitMs;
    bool ready = PrepareHttpTransfer(*transfer) && InstallSink(*transfer, &sink) &&
                 SetLongOption(*transfer, CURLOPT_CONNECTTIMEOUT_MS, kHttpConnectTimeoutMs) &&
                 SetLongOption(*transfer, CURLOPT_TIMEOUT_MS, kHttpRequestTimeoutMs);
    if (ready && post) {
        const uint32_t size = requestBody->GetBuffer() != nullptr ? requestBody->GetAvailSize() : 0;
        ready = SetLongOption(*transfer, CURLOPT_POST, 1L) &&
                SetOffOption(*transfer, CURLOPT_POSTFIELDSIZE_LARGE, size) &&
                SetPointerOption(*transfer, CURLOPT_POSTFIELDS,
                                 size > 0 ? static_cast<const void*>(requestBody->GetBuffer())
                                          : static_cast<const void*>(""));
    }
    if (!ready) return 0;

    const CURLcode result = transfer->lib->easyPerform(transfer->handle);
    if (result != CURLE_OK) {
        DbgOutputA(kDbgLevelInfo, "<%s> open failed: %s\r\n", url,
                   HttpErrorText(*transfer, result).c_str());
        return 0;
    }
    const long code = HttpResponseCode(*transfer, 200);
    if (code >= 400) {
        DbgOutputA(kDbgLevelInfo, "<%s> response: %ld\r\n", url, code);
        return 0;
    }
    return 1;
}

}  // namespace

int OpenHttpFile(tagHTTPFILEINFO* fileInfo, const char* url, const CBaseBuffer* caCerts,
                 const char* bearerToken, const char* extraHeader, long authMask,
                 const char* userName, const char* password, int useProxy, long proxyType,
                 const char* proxyAddress, const char* proxyUserName, const char* proxyPassword) {
    const CurlLibrary* lib = RequireCurlLibrary();
    if (lib == nullptr || fileInfo == nullptr) return 0;
    CloseHttpFile(fileInfo);
    if (url == nullptr || url[0] == '\0') return 0;
    HttpRequestOptions options;
    if (!CollectHttpRequestOptions(url, caCerts, bearerToken, extraHeader, authMask, userName,
                                   password, useProxy, proxyType, proxyAddress, proxyUserName,
                                   proxyPassword, &options)) {
        return 0;
    }
    std::unique_ptr<HttpTransfer> transfer =
        CreateHttpTransfer(lib, url, std::move(options), "gfnCurlEasyInit failed\r\n");
    if (transfer == nullptr) return 0;

    if (!PrepareHttpTransfer(*transfer) || !SetLongOption(*transfer, CURLOPT_NOBODY, 1L) ||
        !SetLongOption(*transfer, CURLOPT_CONNECTTIMEOUT_MS, kHttpConnectTimeoutMs) ||
        !SetLongOption(*transfer, CURLOPT_TIMEOUT_MS, kHttpRequestTimeoutMs)) {
        return 0;
    }
    const CURLcode result = lib->easyPerform(transfer->handle);
    if (result != CURLE_OK) {
        DbgOutputA(kDbgLevelInfo, "<%s> open failed: %s\r\n", url,
                   HttpErrorText(*transfer, result).c_str());
        return 0;
    }
    const long code = HttpResponseCode(*transfer, 200);
    if (code >= 400) {
        DbgOutputA(kDbgLevelInfo, "<%s> response: %ld\r\n", url, code);
        return 0;
    }
    curl_off_t length = -1;
    const CURLcode infoResult =
        lib->easyGetInfo(transfer->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (infoResult != CURLE_OK) {
        DbgOutputA(kDbgLevelInfo, "GetFileSize failed: %s\r\n",
                   HttpErrorText(*transfer, infoResult).c_str());
        return 0;
    }
    fileInfo->fileSize = length < 0 ? 0 : static_cast<int64_t>(length);
    fileInfo->url.Set(url);
    fileInfo->handle = transfer.release();
    DbgOutputA(kDbgLevelInfo, "%s: %lld\r\n", "OpenHttpFile",
               static_cast<long long>(fileInfo->fileSize));
    return 1;
}

void CloseHttpFile(tagHTTPFILEINFO* fileInfo) {
    const CurlLibrary* lib = RequireCurlLibrary();
    if (fileInfo == nullptr) return;
    std::unique_ptr<HttpTransfer> transfer(fileInfo->handle);
    fileInfo->handle = nullptr;
    fileInfo->url.Set("");
    fileInfo->fileSize = 0;
    if (transfer != nullptr && lib == nullptr) {
        // The library went away under the handle: its functions can no longer be called.
        transfer->handle = nullptr;
        transfer->headers = nullptr;
    }
}

uint32_t ReadHttpBody(tagHTTPFILEINFO* fileInfo, uint64_t offset, void* buffer, uint32_t length,
                      uint64_t timeLimitMs, const std::atomic<int>* stopFlag, int* timedOut) {
    if (RequireCurlLibrary() == nullptr) return 0;
    if (fileInfo == nullptr || fileInfo->handle == nullptr || buffer == nullptr || length == 0) {
        return 0;
    }
    HttpTransfer& transfer = *fileInfo->handle;
    if (offset > static_cast<uint64_t>(INT64_MAX) - length) {
        DbgOutputA(kDbgLevelWarning, "<%s> range from %" PRIu64 " refused: beyond any file\r\n",
                   transfer.url.c_str(), offset);
        return 0;
    }
    CBaseBuffer bound;
    bound.BindBuffer(buffer, length);
    bound.SetAvailSize(0);

    BufferSink sink;
    sink.buffer = &bound;
    sink.stopFlag = stopFlag;
    sink.startTick = sink.lastDataTick = MonoTimeMs();
    sink.timeLimitMs = timeLimitMs;
    HttpRangeCheck rangeCheck(transfer, offset);
    sink.rangeCheck = &rangeCheck;

    char range[64];
    snprintf(range, sizeof(range), "%" PRIu64 "-%" PRIu64, offset, offset + length - 1);
    if (!PrepareForReading(transfer) || !SetPointerOption(transfer, CURLOPT_RANGE, range) ||
        !InstallSink(transfer, &sink) || !rangeCheck.Install()) {
        return 0;
    }
    const CURLcode result = transfer.lib->easyPerform(transfer.handle);
    const uint32_t got = bound.GetAvailSize();
    if (result != CURLE_OK) {
        DbgOutputA(kDbgLevelInfo, "readfile failed, read count=%ld: %s\r\n", static_cast<long>(got),
                   HttpErrorText(transfer, result).c_str());
        if ((result == CURLE_OPERATION_TIMEDOUT || sink.timedOut) && timedOut != nullptr) {
            *timedOut = 1;
        }
    }
    return got;
}

int ReadHttpBodyWithCustomCallback(tagHTTPFILEINFO* fileInfo, uint64_t offset,
                                   IHttpDataCallback* callback, uint64_t userData) {
    if (RequireCurlLibrary() == nullptr) return 0;
    if (fileInfo == nullptr || fileInfo->handle == nullptr || callback == nullptr) return 0;
    HttpTransfer& transfer = *fileInfo->handle;
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        DbgOutputA(kDbgLevelWarning, "<%s> stream from %" PRIu64 " refused: beyond any file\r\n",
                   transfer.url.c_str(), offset);
        return 0;
    }
    HttpRangeCheck rangeCheck(transfer, offset);
    CallbackSink sink{callback, userData, &rangeCheck};
    if (!PrepareForReading(transfer) ||
        !SetOffOption(transfer, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(offset)) ||
        !SetFunctionOption(transfer, CURLOPT_WRITEFUNCTION, &CallbackWrite) ||
        !SetPointerOption(transfer, CURLOPT_WRITEDATA, &sink) ||
        !SetLongOption(transfer, CURLOPT_NOPROGRESS, 0L) ||
        !SetFunctionOption(transfer, CURLOPT_XFERINFOFUNCTION, &CallbackProgress) ||
        !SetPointerOption(transfer, CURLOPT_XFERINFODATA, &sink) || !rangeCheck.Install()) {
        return 0;
    }
    const CURLcode result = transfer.lib->easyPerform(transfer.handle);
    if (result != CURLE_OK && result != CURLE_ABORTED_BY_CALLBACK) {
        DbgOutputA(kDbgLevelInfo, "ReadHttpBodyWithCustomCallback failed, res=%ld: %s\r\n",
                   static_cast<long>(result), HttpErrorText(transfer, result).c_str());
    }
    return result == CURLE_OK ? 1 : 0;
}

int PerformHttpGetCommand(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                          const char* extraHeader, long authMask, const char* userName,
                          const char* password, int useProxy, long proxyType,
                          const char* proxyAddress, const char* proxyUserName,
                          const char* proxyPassword, CBaseBuffer* outBody) {
    return PerformHttpCommand(url, caCerts, bearerToken, extraHeader, authMask, userName, password,
                              useProxy, proxyType, proxyAddress, proxyUserName, proxyPassword,
                              false, nullptr, outBody);
}

int PerformHttpPostCommand(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                           const char* extraHeader, long authMask, const char* userName,
                           const char* password, int useProxy, long proxyType,
                           const char* proxyAddress, const char* proxyUserName,
                           const char* proxyPassword, const CBaseBuffer* requestBody,
                           CBaseBuffer* outBody) {
    return PerformHttpCommand(url, caCerts, bearerToken, extraHeader, authMask, userName, password,
                              useProxy, proxyType, proxyAddress, proxyUserName, proxyPassword, true,
                              requestBody, outBody);
}

int GetHttpFileMD5(const char* url, uint8_t digest[16]) {
    if (digest == nullptr) return 0;
    std::memset(digest, 0, 16);
    CBaseBuffer body;
    if (PerformHttpGetCommand(url, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0, 0, nullptr,
                              nullptr, nullptr, &body) == 0) {
        return 0;
    }
    uint8_t parsed[16] = {};
    const int stored = body.GetBuffer() == nullptr
                           ? 0
                           : HexStringToBufferA(reinterpret_cast<const char*>(body.GetBuffer()),
                                                static_cast<int>(body.GetAvailSize()), parsed, 16);
    if (stored != 16) {
        DbgOutputA(kDbgLevelWarning, "<%s> holds no MD5 digest (%d bytes of hexadecimal)\r\n", url,
                   stored);
        return 0;
    }
    std::memcpy(digest, parsed, 16);
    return 1;
}

double GetHttpDownloadSpeedBPS(HttpTransfer* handle) {
    if (RequireCurlLibrary() == nullptr || handle == nullptr) return 0;
    curl_off_t speed = 0;
    if (handle->lib->easyGetInfo(handle->handle, CURLINFO_SPEED_DOWNLOAD_T, &speed) != CURLE_OK) {
        return 0;
    }
    return static_cast<double>(speed);
}
