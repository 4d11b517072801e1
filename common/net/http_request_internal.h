// Inside the HTTP transfer functions: one libcurl easy handle with the request options it was
// opened with, and the steps every request shares (headers, proxy, authentication, certificate
// checking, redirects). Not part of the exported contract; used by http_transfer.cpp.
//
// Every read on a kept handle starts with PrepareHttpTransfer, which resets the handle and
// applies the stored options again, so options of one read (a range, a resume offset, a body
// request) never carry over into the next; live connections survive the reset.
//
// A handle is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "curl_library.h"

class CBaseBuffer;

// Redirects followed at most; only to http and https addresses.
constexpr long kMaxHttpRedirects = 20;

// The request options of the transfer functions, copied so that a kept handle can apply them
// again on every read. Texts that were not given (null) are marked absent.
struct HttpRequestOptions {
    std::vector<uint8_t> caCerts;  // empty: the system's certificate store
    std::string bearerToken;       // empty: no Authorization header
    std::string extraHeader;       // empty: none
    long authMask = 0;
    bool hasUserName = false;
    std::string userName;
    bool hasPassword = false;
    std::string password;
    int useProxy = 0;
    long proxyType = 0;
    std::string proxyAddress;
    bool hasProxyUserName = false;
    std::string proxyUserName;
    bool hasProxyPassword = false;
    std::string proxyPassword;
};

// Copies the caller's option arguments. False (with a line naming the URL) when a header text
// holds a line break, which would smuggle further header lines into the request.
bool CollectHttpRequestOptions(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                               const char* extraHeader, long authMask, const char* userName,
                               const char* password, int useProxy, long proxyType,
                               const char* proxyAddress, const char* proxyUserName,
                               const char* proxyPassword, HttpRequestOptions* out);

// The open transfer handle of tagHTTPFILEINFO.
struct HttpTransfer {
    HttpTransfer(const CurlLibrary* library, CURL* curl) : lib(library), handle(curl) {}
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    const CurlLibrary* lib;
    CURL* handle;
    std::string url;
    HttpRequestOptions options;
    curl_slist* headers = nullptr;  // owned; libcurl only points at it
    char errorText[CURL_ERROR_SIZE] = {};
};

// A new handle, or null after writing `initFailedLine` (a complete log line).
std::unique_ptr<HttpTransfer> CreateHttpTransfer(const CurlLibrary* lib, const char* url,
                                                 HttpRequestOptions options,
                                                 const char* initFailedLine);

// Resets the handle and applies the URL and the stored options: headers, proxy (or explicitly
// none), authentication, certificate checking (always on: against the CA buffer when one was
// given, else against the system's store), redirects limited to http/https, no signals.
// False (logged) when libcurl refuses one of them.
bool PrepareHttpTransfer(HttpTransfer& transfer);

// libcurl's text for a result, with the handle's detail text when it has one.
std::string HttpErrorText(const HttpTransfer& transfer, CURLcode code);

// Typed setters: the easy interface reached through a function pointer has no type checks, so
// every option goes through the setter of its argument type. True when libcurl accepted it.
bool SetLongOption(const HttpTransfer& transfer, CURLoption option, long value);
bool SetOffOption(const HttpTransfer& transfer, CURLoption option, curl_off_t value);
bool SetPointerOption(const HttpTransfer& transfer, CURLoption option, const void* value);
template <typename F>
bool SetFunctionOption(const HttpTransfer& transfer, CURLoption option, F* function) {
    return transfer.lib->easySetOpt(transfer.handle, option, function) == CURLE_OK;
}

// The response code of the last transfer; `fallback` when none was reported (file addresses).
long HttpResponseCode(const HttpTransfer& transfer, long fallback);

// Range reads over http(s) accept only bodies that really start at the asked offset.
//
// A server that ignores Range answers 200 with the whole body; taking it as the asked range
// would hand over the wrong bytes. The check records the Content-Range of the final response
// (through the header callback) and, at the first body bytes, accepts: any scheme other than
// http/https (libcurl handles ranges of files itself); a 206 whose Content-Range starts at the
// offset; a 200 when the offset is 0 (its first bytes are the asked ones). Anything else is
// refused with a line naming the URL and the answer.
class HttpRangeCheck {
public:
    HttpRangeCheck(const HttpTransfer& transfer, uint64_t offset)
        : m_transfer(transfer), m_offset(offset) {}

    // Installs the header callback on the transfer.
    bool Install();
    // At every body block: true when the body may be taken.
    bool Accepts();

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);

    const HttpTransfer& m_transfer;
    uint64_t m_offset;
    bool m_decided = false;
    bool m_accepted = false;
    int64_t m_contentRangeStart = -1;  // -1: no Content-Range in the current response
};
