#include "http_request_internal.h"

#include <strings.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "core/base_buffer.h"
#include "core/dbg_output.h"

namespace {

bool HasLineBreak(const char* text) {
    return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

void CopyGiven(const char* text, bool* has, std::string* out) {
    *has = text != nullptr;
    out->assign(text != nullptr ? text : "");
}

bool SetTextOption(const HttpTransfer& transfer, CURLoption option, const std::string& text) {
    return SetPointerOption(transfer, option, text.c_str());
}

bool ApplyHeaders(HttpTransfer& transfer) {
    if (transfer.headers != nullptr) {
        transfer.lib->slistFreeAll(transfer.headers);
        transfer.headers = nullptr;
    }
    std::vector<std::string> lines;
    if (!transfer.options.bearerToken.empty()) {
        lines.push_back("Authorization:Bearer " + transfer.options.bearerToken);
        lines.push_back("Expect:");  // an empty Expect header: no "100-continue" round trip
    }
    if (!transfer.options.extraHeader.empty()) lines.push_back(transfer.options.extraHeader);
    for (const std::string& line : lines) {
        curl_slist* grown = transfer.lib->slistAppend(transfer.headers, line.c_str());
        if (grown == nullptr) return false;
        transfer.headers = grown;
    }
    return transfer.headers == nullptr ||
           SetPointerOption(transfer, CURLOPT_HTTPHEADER, transfer.headers);
}

bool ApplyProxy(const HttpTransfer& transfer) {
    const HttpRequestOptions& options = transfer.options;
    if (options.useProxy == 0) {
        // The caller said "no proxy": proxy variables of the environment must not decide.
        return SetPointerOption(transfer, CURLOPT_PROXY, "");
    }
    bool ok = SetLongOption(transfer, CURLOPT_PROXYTYPE, options.proxyType) &&
              SetTextOption(transfer, CURLOPT_PROXY, options.proxyAddress);
    if (ok && options.hasProxyUserName) {
        ok = SetTextOption(transfer, CURLOPT_PROXYUSERNAME, options.proxyUserName);
    }
    if (ok && options.hasProxyPassword) {
        ok = SetTextOption(transfer, CURLOPT_PROXYPASSWORD, options.proxyPassword);
    }
    return ok;
}

bool ApplyAuthentication(const HttpTransfer& transfer) {
    const HttpRequestOptions& options = transfer.options;
    if (options.authMask == 0) return true;
    bool ok = SetLongOption(transfer, CURLOPT_HTTPAUTH, options.authMask);
    if (ok && options.hasUserName) ok = SetTextOption(transfer, CURLOPT_USERNAME, options.userName);
    if (ok && options.hasPassword) ok = SetTextOption(transfer, CURLOPT_PASSWORD, options.password);
    return ok;
}

bool ApplyCertificates(const HttpTransfer& transfer) {
    bool ok = SetLongOption(transfer, CURLOPT_SSL_VERIFYPEER, 1L) &&
              SetLongOption(transfer, CURLOPT_SSL_VERIFYHOST, 2L);
    if (ok && !transfer.options.caCerts.empty()) {
        // The given authorities and nothing else: libcurl copies the block.
        curl_blob blob{};
        blob.data = const_cast<uint8_t*>(transfer.options.caCerts.data());
        blob.len = transfer.options.caCerts.size();
        blob.flags = CURL_BLOB_COPY;
        ok = SetPointerOption(transfer, CURLOPT_CAINFO_BLOB, &blob) &&
             SetPointerOption(transfer, CURLOPT_CAINFO, nullptr) &&
             SetPointerOption(transfer, CURLOPT_CAPATH, nullptr);
    }
    return ok;
}

bool ApplyRedirects(const HttpTransfer& transfer) {
    if (!SetLongOption(transfer, CURLOPT_FOLLOWLOCATION, 1L) ||
        !SetLongOption(transfer, CURLOPT_MAXREDIRS, kMaxHttpRedirects)) {
        return false;
    }
    if (SetPointerOption(transfer, CURLOPT_REDIR_PROTOCOLS_STR, "http,https")) return true;
        // Libraries before 7.85 know only the bit mask.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return SetLongOption(transfer, CURLOPT_REDIR_PROTOCOLS,
                         static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#pragma GCC diagnostic pop
}

}  // namespace

bool CollectHttpRequestOptions(const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
                               const char* extraHeader, long authMask, const char* userName,
                               const char* password, int useProxy, long proxyType,
                               const char* proxyAddress, const char* proxyUserName,
                               const char* proxyPassword, HttpRequestOptions* out) {
    if (HasLineBreak(bearerToken) || HasLineBreak(extraHeader)) {
        DbgOutputA(kDbgLevelWarning, "<%s> refused: a header text holds a line break\r\n",
                   url != nullptr ? url : "");
        return false;
    }
    HttpRequestOptions options;
    if (caCerts != nullptr && caCerts->GetBuffer() != nullptr && caCerts->GetAvailSize() > 0) {
        options.caCerts.assign(caCerts->GetBuffer(),
                               caCerts->GetBuffer() + caCerts->GetAvailSize());
    }
    options.bearerToken = bearerToken != nullptr ? bearerToken : "";
    options.extraHeader = extraHeader != nullptr ? extraHeader : "";
    options.authMask = authMask;
    CopyGiven(userName, &options.hasUserName, &options.userName);
    CopyGiven(password, &options.hasPassword, &options.password);
    options.useProxy = useProxy;
    options.proxyType = proxyType;
    options.proxyAddress = proxyAddress != nullptr ? proxyAddress : "";
    CopyGiven(proxyUserName, &options.hasProxyUserName, &options.proxyUserName);
    CopyGiven(proxyPassword, &options.hasProxyPassword, &options.proxyPassword);
    *out = std::move(options);
    return true;
}

HttpTransfer::~HttpTransfer() {
    if (handle != nullptr) lib->easyCleanup(handle);
    if (headers != nullptr) lib->slistFreeAll(headers);
}

std::unique_ptr<HttpTransfer> CreateHttpTransfer(const CurlLibrary* lib, const char* url,
                                                 HttpRequestOptions options,
                                                 const char* initFailedLine) {
    CURL* curl = lib->easyInit();
    if (curl == nullptr) {
        DbgOutputA(kDbgLevelInfo, "%s", initFailedLine);
        return nullptr;
    }
    auto transfer = std::make_unique<HttpTransfer>(lib, curl);
    transfer->url = url;
    transfer->options = std::move(options);
    return transfer;
}

bool PrepareHttpTransfer(HttpTransfer& transfer) {
    transfer.lib->easyReset(transfer.handle);
    transfer.errorText[0] = '\0';
    const bool ok = SetPointerOption(transfer, CURLOPT_ERRORBUFFER, transfer.errorText) &&
                    SetPointerOption(transfer, CURLOPT_URL, transfer.url.c_str()) &&
                    ApplyHeaders(transfer) && ApplyProxy(transfer) &&
                    ApplyAuthentication(transfer) && ApplyCertificates(transfer) &&
                    ApplyRedirects(transfer) && SetLongOption(transfer, CURLOPT_NOSIGNAL, 1L);
    if (!ok) {
        DbgOutputA(kDbgLevelWarning, "<%s> request options refused by libcurl\r\n",
                   transfer.url.c_str());
    }
    return ok;
}

std::string HttpErrorText(const HttpTransfer& transfer, CURLcode code) {
    std::string text = transfer.lib->easyStrError(code);
    if (transfer.errorText[0] != '\0') {
        text += " (";
        text += transfer.errorText;
        text += ")";
    }
    return text;
}

bool SetLongOption(const HttpTransfer& transfer, CURLoption option, long value) {
    return transfer.lib->easySetOpt(transfer.handle, option, value) == CURLE_OK;
}

bool SetOffOption(const HttpTransfer& transfer, CURLoption option, curl_off_t value) {
    return transfer.lib->easySetOpt(transfer.handle, option, value) == CURLE_OK;
}

bool SetPointerOption(const HttpTransfer& transfer, CURLoption option, const void* value) {
    return transfer.lib->easySetOpt(transfer.handle, option, value) == CURLE_OK;
}

long HttpResponseCode(const HttpTransfer& transfer, long fallback) {
    long code = 0;
    if (transfer.lib->easyGetInfo(transfer.handle, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK ||
        code == 0) {
        return fallback;
    }
    return code;
}

bool HttpRangeCheck::Install() {
    return SetFunctionOption(m_transfer, CURLOPT_HEADERFUNCTION, &HttpRangeCheck::OnHeader) &&
           SetPointerOption(m_transfer, CURLOPT_HEADERDATA, this);
}

size_t HttpRangeCheck::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* check = static_cast<HttpRangeCheck*>(self);
    const size_t length = size * count;
    const std::string line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        check->m_contentRangeStart = -1;  // a new response (after a redirect or an interim one)
    } else if (strncasecmp(line.c_str(), "Content-Range:", 14) == 0) {
        const char* value = line.c_str() + 14;
        while (*value == ' ' || *value == '\t') ++value;
        if (strncasecmp(value, "bytes ", 6) == 0) {
            char* end = nullptr;
            const unsigned long long start = std::strtoull(value + 6, &end, 10);
            if (end != value + 6 && *end == '-') {
                check->m_contentRangeStart = static_cast<int64_t>(start);
            }
        }
    }
    return length;
}

bool HttpRangeCheck::Accepts() {
    if (m_decided) return m_accepted;
    m_decided = true;
    const char* scheme = nullptr;
    m_transfer.lib->easyGetInfo(m_transfer.handle, CURLINFO_SCHEME, &scheme);
    const bool overHttp =
        scheme == nullptr || strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0;
    const long code = HttpResponseCode(m_transfer, 0);
    if (!overHttp) {
        m_accepted = true;
    } else if (code == 206) {
        m_accepted = m_contentRangeStart == static_cast<int64_t>(m_offset);
    } else if (code == 200) {
        m_accepted = m_offset == 0;
    }
    if (!m_accepted) {
        DbgOutputA(kDbgLevelWarning,
                   "<%s> range from %" PRIu64 " refused: response %ld, content range start %" PRId64
                   "\r\n",
                   m_transfer.url.c_str(), m_offset, code, m_contentRangeStart);
    }
    return m_accepted;
}
