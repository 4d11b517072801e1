#include "socket_sys_internal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>

#include <algorithm>
#include <cerrno>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "socket_address.h"

namespace {

// A send waiting for room wakes at least this often to look at the clock.
constexpr int kSendPollSliceMs = 1000;

// Moves the vectors past `sent` bytes; returns the number of vectors left.
int Advance(iovec*& vectors, int count, size_t sent) {
    while (count > 0 && sent >= vectors->iov_len) {
        sent -= vectors->iov_len;
        ++vectors;
        --count;
    }
    if (count > 0 && sent > 0) {
        vectors->iov_base = static_cast<uint8_t*>(vectors->iov_base) + sent;
        vectors->iov_len -= sent;
    }
    return count;
}

}  // namespace

bool SendVectors(int socket, iovec* vectors, int count, const sockaddr_in* target,
                 uint32_t timeLimitMs, int* error) {
    const uint64_t deadline = MonoDeadlineMs(timeLimitMs);
    count = Advance(vectors, count, 0);
    while (count > 0) {
        msghdr message{};
        message.msg_iov = vectors;
        message.msg_iovlen = static_cast<size_t>(count);
        if (target != nullptr) {
            message.msg_name = const_cast<sockaddr_in*>(target);
            message.msg_namelen = sizeof(*target);
        }
        const ssize_t sent = sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            count = Advance(vectors, count, static_cast<size_t>(sent));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) {
            *error = errno;
            return false;
        }
        const uint64_t now = MonoTimeMs();
        if (now >= deadline) {
            *error = ETIMEDOUT;
            return false;
        }
        pollfd entry{socket, POLLOUT, 0};
        const int wait = static_cast<int>(std::min<uint64_t>(deadline - now, kSendPollSliceMs));
        const int ready = poll(&entry, 1, wait);
        if (ready < 0 && errno != EINTR) {
            *error = errno;
            return false;
        }
        if (ready > 0 && (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) &&
            !(entry.revents & POLLOUT)) {
            int pending = 0;
            socklen_t size = sizeof(pending);
            getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size);
            *error = pending != 0 ? pending : EPIPE;
            return false;
        }
    }
    return true;
}

int PeekSocketState(int socket, int* error) {
    uint8_t byte = 0;
    for (;;) {
        const ssize_t n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) return 1;
        if (n == 0) {
            if (error != nullptr) *error = 0;
            return -1;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        if (error != nullptr) *error = errno;
        return -1;
    }
}

int BindAndListen(int socket, const sockaddr* address, socklen_t size, int backlog,
                  const std::function<void(int error)>& logBindFailure) {
    int error = 0;
    if (bind(socket, address, size) != 0) {
        error = errno;
        logBindFailure(error);
    } else if (listen(socket, backlog) != 0) {
        error = errno;
        DbgOutputA(kDbgLevelInfo, "MsgServer Listen Failed, error=%d\r\n", error);
    } else {
        return socket;
    }
    close(socket);
    errno = error;
    return -1;
}

bool SetSocketNonBlocking(int socket, bool nonBlocking) {
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0) return false;
    const int wanted = nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return wanted == flags || fcntl(socket, F_SETFL, wanted) == 0;
}

uint16_t SocketLocalPort(int socket) {
    sockaddr_in address{};
    socklen_t size = sizeof(address);
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    if (address.sin_family != AF_INET) return 0;
    return ntohs(address.sin_port);
}

void ShutdownSocket(int socket) {
    if (socket >= 0) shutdown(socket, SHUT_RDWR);
}

void DescribeSocketPeer(int socket, CBaseStringA* address, uint16_t* port) {
    if (address != nullptr) address->Set("");
    if (port != nullptr) *port = 0;
    sockaddr_storage peer{};
    socklen_t size = sizeof(peer);
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return;
    if (peer.ss_family == AF_INET) {
        char text[INET_ADDRSTRLEN] = {};
        const uint16_t peerPort = GetPeerAddrPort(socket, text, sizeof(text));
        if (address != nullptr) address->Set(text);
        if (port != nullptr) *port = peerPort;
    } else if (peer.ss_family == AF_BLUETOOTH) {
        const auto* rfcomm = reinterpret_cast<const sockaddr_rc*>(&peer);
        const uint8_t* b = rfcomm->rc_bdaddr.b;
        if (address != nullptr) {
            address->Format("%02X:%02X:%02X:%02X:%02X:%02X", b[5], b[4], b[3], b[2], b[1], b[0]);
        }
        if (port != nullptr) *port = rfcomm->rc_channel;
    }
}
