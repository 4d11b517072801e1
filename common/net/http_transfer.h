// HTTP and HTTPS transfers over libcurl (loaded at run time: curl_library.h): opening a remote
// file (asking its size), reading byte ranges of it into a caller's buffer or through a
// callback, and GET and POST requests whose response body is collected in a CBaseBuffer.
//
// Every function first checks that libcurl is loaded; without it it writes
// "MUST Init LibCURL first!\r\n" (level 3) and fails. Every failure writes one line.
//
// Request options, shared by OpenHttpFile and the GET and POST commands in this order: CA
// certificates (a PEM block; null or empty: the system's certificate store), bearer token (null
// or empty: none), extra header line (null or empty: none), HTTP authentication mask (CURLAUTH_*
// bits, 0 = none), user name, password, use proxy (0: no proxy at all, whatever the
// environment says), proxy type (CURLPROXY_*), proxy address, proxy user name, proxy password.
// Certificates are always checked (peer and host name). Redirects are followed, to http and
// https addresses only. A token or header text with a line break is refused.
//
// A handle (tagHTTPFILEINFO) is used by one thread at a time; the functions share nothing else
// but the loaded library.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/base_buffer.h"
#include "core/base_string.h"
#include "core/common_api.h"

// The open transfer of a file; opaque outside the transfer functions.
struct HttpTransfer;

// Owns its handle (released by CloseHttpFile), so it is not copied.
struct ORBO_COMMON_API tagHTTPFILEINFO {
    tagHTTPFILEINFO() = default;
    tagHTTPFILEINFO(const tagHTTPFILEINFO&) = delete;
    tagHTTPFILEINFO& operator=(const tagHTTPFILEINFO&) = delete;

    HttpTransfer* handle = nullptr;  // null when none is open
    CBaseStringA url;
    int64_t fileSize = 0;  // bytes; 0 when unknown
};

// Receives the body of ReadHttpBodyWithCustomCallback, on the transferring thread.
class ORBO_COMMON_API IHttpDataCallback {
public:
    virtual ~IHttpDataCallback() = default;
    // The bytes taken; fewer than given aborts the transfer.
    virtual uint32_t OnHttpDataRecvCallback(const void* data, uint32_t length,
                                            uint64_t userData) = 0;
    // Called regularly (also while no data arrives); nonzero aborts the transfer.
    virtual int OnHttpDataProgressCallback(uint64_t userData) = 0;
};

// Time limits of the transfers, in milliseconds.
constexpr long kHttpConnectTimeoutMs = 10000;
constexpr long kHttpRequestTimeoutMs = 10000;  // the open request and GET/POST in all
constexpr uint64_t kHttpCommandTimeLimitMs = 30000;
constexpr long kHttpKeepAliveIdleSeconds = 120;
constexpr long kHttpKeepAliveIntervalSeconds = 60;

// Asks for the file's headers (connection and total time-out 10 s) and keeps the handle for
// reading. 1 on success: fileInfo holds the handle, the URL and the size (0 when the server sends
// no length). 0 when the request fails ("<%s> open failed: %s\r\n"), the answer is 400 or more
// ("<%s> response: %ld\r\n") or the length cannot be asked ("GetFileSize failed: %s\r\n");
// fileInfo then holds no handle. A handle already in fileInfo is closed first.
ORBO_COMMON_API int OpenHttpFile(tagHTTPFILEINFO* fileInfo, const char* url,
                                 const CBaseBuffer* caCerts, const char* bearerToken,
                                 const char* extraHeader, long authMask, const char* userName,
                                 const char* password, int useProxy, long proxyType,
                                 const char* proxyAddress, const char* proxyUserName,
                                 const char* proxyPassword);

// Releases the handle; the URL becomes empty and the size 0. Null or closed: nothing.
ORBO_COMMON_API void CloseHttpFile(tagHTTPFILEINFO* fileInfo);

// Reads the bytes offset .. offset + length - 1 into buffer and returns how many arrived (the
// transfer ends early at the end of the file, when stopFlag (may be null) becomes nonzero, or
// when timeLimitMs (0 = none) has passed since the call began; *timedOut (may be null) is then
// set to 1, as on libcurl's own time-out). Over http(s) only a body that starts at offset is
// taken (a 206 with that range, or a 200 when offset is 0): a server that ignores the range
// gives 0 instead of the wrong bytes. 0 without an open handle, a buffer or a length.
ORBO_COMMON_API uint32_t ReadHttpBody(tagHTTPFILEINFO* fileInfo, uint64_t offset, void* buffer,
                                      uint32_t length, uint64_t timeLimitMs,
                                      const std::atomic<int>* stopFlag, int* timedOut);

// Streams the rest of the file from offset to the callback (user value handed on) until the end,
// an error, or an abort by the callback. The same check of the answer as ReadHttpBody applies.
// 1 when the body ended normally, 0 otherwise (an abort by the callback is not logged).
ORBO_COMMON_API int ReadHttpBodyWithCustomCallback(tagHTTPFILEINFO* fileInfo, uint64_t offset,
                                                   IHttpDataCallback* callback, uint64_t userData);

// GET: the response body is appended to outBody (at most kMaxHttpBodyBytes in all). 1 when the
// transfer succeeded with an answer below 400; 0 otherwise (outBody may hold part of a body).
// Connection and total time-outs 10 s.
ORBO_COMMON_API int PerformHttpGetCommand(const char* url, const CBaseBuffer* caCerts,
                                          const char* bearerToken, const char* extraHeader,
                                          long authMask, const char* userName, const char* password,
                                          int useProxy, long proxyType, const char* proxyAddress,
                                          const char* proxyUserName, const char* proxyPassword,
                                          CBaseBuffer* outBody);

// POST of requestBody's available bytes (may be empty); otherwise as the GET.
ORBO_COMMON_API int PerformHttpPostCommand(const char* url, const CBaseBuffer* caCerts,
                                           const char* bearerToken, const char* extraHeader,
                                           long authMask, const char* userName,
                                           const char* password, int useProxy, long proxyType,
                                           const char* proxyAddress, const char* proxyUserName,
                                           const char* proxyPassword,
                                           const CBaseBuffer* requestBody, CBaseBuffer* outBody);

// GET of the URL without options; the body, a hexadecimal MD5 text, becomes the 16-byte digest.
// 1 only when the GET succeeded and the body held 16 bytes of hexadecimal digits; otherwise 0
// and the digest is 16 zero bytes.
ORBO_COMMON_API int GetHttpFileMD5(const char* url, uint8_t digest[16]);

// The average download speed in bytes per second of the handle's last transfer; 0 when unknown.
ORBO_COMMON_API double GetHttpDownloadSpeedBPS(HttpTransfer* handle);
