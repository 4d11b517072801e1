#include "socket_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "socket_sys_internal.h"

namespace {

constexpr int kDottedParts = 4;
constexpr uint32_t kMaxPartValue = 255;

// Parses dotted text into its four values; false unless IsValidSocketAddrV4's rules hold.
bool ParseDotted(const char* text, uint32_t parts[kDottedParts]) {
    if (text == nullptr) return false;
    int index = 0;
    uint32_t value = 0;
    for (const char* p = text;; ++p) {
        if (*p == '.' || *p == '\0') {
            if (index >= kDottedParts) return false;
            parts[index++] = value;
            value = 0;
            if (*p == '\0') break;
            continue;
        }
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (value > kMaxPartValue) return false;
    }
    return index == kDottedParts && parts[0] != 0;
}

}  // namespace

int IsValidSocketAddrV4(const char* text) {
    uint32_t parts[kDottedParts];
    return ParseDotted(text, parts) ? 1 : 0;
}

int IPAddrStringToUINT32(const char* text, uint32_t* out) {
    uint32_t parts[kDottedParts];
    const bool valid = ParseDotted(text, parts);
    if (out != nullptr) {
        *out = valid ? htonl(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]) : 0;
    }
    return valid ? 1 : 0;
}

int ResolveHostname(const char* host, CBaseStringA* out) {
    if (host == nullptr || *host == '\0') return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* list = nullptr;
    const int failed = getaddrinfo(host, nullptr, &hints, &list);
    if (failed != 0) {
        DbgOutputA(kDbgLevelInfo, "resolve hostname:%s failed: %s\r\n", host, gai_strerror(failed));
        return 0;
    }
    int found = 0;
    for (const addrinfo* entry = list; entry != nullptr && !found; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET) continue;
        if (entry->ai_socktype != SOCK_STREAM && entry->ai_socktype != 0) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text)) == nullptr) continue;
        if (!IsValidSocketAddrV4(text)) continue;
        if (out != nullptr) out->Set(text);
        DbgOutputA(kDbgLevelInfo, "resolve hostname:%s, ip:%s\r\n", host, text);
        found = 1;
    }
    freeaddrinfo(list);
    return found;
}

int AsyncConnect(int socket, const char* host, uint16_t port, uint32_t timeLimitMs,
                 const std::atomic<int>* cancel) {
    if (host == nullptr || *host == '\0') return 0;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    if (!IPAddrStringToUINT32(host, &target.sin_addr.s_addr)) {
        CBaseStringA resolved;
        if (!ResolveHostname(host, &resolved) ||
            !IPAddrStringToUINT32(resolved.GetString(), &target.sin_addr.s_addr)) {
            return 0;
        }
    }
    if (!SetSocketNonBlocking(socket, true)) return 0;
    int result = 0;
    if (connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) == 0) {
        result = 1;
    } else if (errno == EINPROGRESS || errno == EINTR) {
        int slices = static_cast<int>(timeLimitMs / kConnectPollSliceMs);
        if (slices < 1) slices = 1;
        for (int i = 0; i < slices; ++i) {
            if (cancel != nullptr && cancel->load() != 0) {
                DbgOutputA(kDbgLevelWarning, "%s: cancel connect\r\n", "AsyncConnect");
                break;
            }
            pollfd entry{socket, POLLOUT, 0};
            const int ready = poll(&entry, 1, kConnectPollSliceMs);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) break;
            if (ready == 0) continue;
            int pending = 0;
            socklen_t size = sizeof(pending);
            if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending == 0) {
                result = 1;
            } else {
                errno = pending;
            }
            break;
        }
        if (!result && errno == EINPROGRESS) errno = ETIMEDOUT;
    }
    const int savedErrno = errno;
    SetSocketNonBlocking(socket, false);
    errno = savedErrno;
    return result;
}

uint16_t GetPeerAddrPort(int socket, char* out, int size) {
    sockaddr_in peer{};
    socklen_t peerSize = sizeof(peer);
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
        peer.sin_family != AF_INET) {
        DbgOutputA(kDbgLevelError, "getpeername of socket %d error:%d\r\n", socket, errno);
        if (out != nullptr && size > 0) *out = '\0';
        return 0;
    }
    if (out != nullptr && size > 0) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
        std::snprintf(out, static_cast<size_t>(size), "%s", text);
    }
    return ntohs(peer.sin_port);
}

int IsSocketClosed(int socket) {
    pollfd entry{socket, POLLIN | POLLRDHUP, 0};
    if (poll(&entry, 1, 0) < 0) return 1;
    if (entry.revents & (POLLERR | POLLHUP | POLLNVAL | POLLRDHUP)) return 1;
    return 0;
}
