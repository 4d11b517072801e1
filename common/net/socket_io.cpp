#include "socket_io.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "core/size_limits.h"
#include "core/unique_fd.h"
#include "socket_packet.h"
#include "socket_sys_internal.h"

namespace {

// A UDP receive buffer holds the largest datagram there can be.
constexpr size_t kUdpReceiveBlock = 65536;

}  // namespace

int SendTCPPacket(int socket, uint64_t destination, const void* data, int length) {
    if (data == nullptr || length <= 0) return 0;
    if (static_cast<uint32_t>(length) > kMaxSocketPacketBytes) {
        DbgOutputA(kDbgLevelWarning,
                   "SendTCPPacket: a packet of %d bytes is beyond the limit of %u, not sent\r\n",
                   length, kMaxSocketPacketBytes);
        return 0;
    }
    SocketPacketHeader header;
    header.matchCode = static_cast<uint32_t>(GetSocketMatchCode());
    header.destination = destination;
    header.length = static_cast<uint32_t>(length);
    uint8_t headerBytes[kSocketPacketHeaderBytes];
    WriteSocketPacketHeader(header, headerBytes);

    iovec pieces[2] = {{headerBytes, sizeof(headerBytes)},
                       {const_cast<void*>(data), static_cast<size_t>(length)}};
    int error = 0;
    if (!SendVectors(socket, pieces, 2, nullptr, kSocketSendTimeLimitMs, &error)) {
        DbgOutputA(kDbgLevelInfo, "SendTCPPacket failed, error(%d) ----\r\n", error);
        return 0;
    }
    return 1;
}

int64_t SocketPacketSource::Available() {
    if (m_known > 0) return m_known;
    int count = 0;
    if (ioctl(m_socket, FIONREAD, &count) != 0) {
        m_error = errno;
        return -1;
    }
    if (count > 0) {
        m_known = count;
        return count;
    }
    const int state = PeekSocketState(m_socket, &m_error);
    return state > 0 ? 1 : state;
}

int64_t SocketPacketSource::Read(uint8_t* out, size_t count) {
    for (;;) {
        const ssize_t n = recv(m_socket, out, count, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) m_error = errno;
        m_known = n > 0 && n < m_known ? m_known - n : 0;
        return n;
    }
}

int RecvTCPPacket(int socket, int matchCheck, PacketRecvState* state) {
    SocketPacketSource source(socket);
    return RecvTCPPacket(source, matchCheck, state);
}

int RecvTCPPacket(SocketPacketSource& source, int matchCheck, PacketRecvState* state) {
    if (state == nullptr) return 0;
    return ReceivePacketStep(*state, matchCheck, source, source.Socket());
}

int SendTCPRaw(int socket, const void* data, int length) {
    if (data == nullptr || length <= 0) return 0;
    iovec piece = {const_cast<void*>(data), static_cast<size_t>(length)};
    int error = 0;
    if (!SendVectors(socket, &piece, 1, nullptr, kSocketSendTimeLimitMs, &error)) {
        DbgOutputA(kDbgLevelInfo, "send failed, error(%d):%s ----\r\n", error,
                   std::strerror(error));
        return 0;
    }
    return 1;
}

int RecvTCPRaw(int socket, std::unique_ptr<uint8_t[]>* block, int* length) {
    if (block != nullptr) block->reset();
    if (length != nullptr) *length = 0;
    int available = 0;
    int error = 0;
    if (ioctl(socket, FIONREAD, &available) != 0) {
        error = errno;
        available = -1;
    } else if (available == 0) {
        const int state = PeekSocketState(socket, &error);
        if (state == 0) return 1;
        if (state < 0) available = -1;
        if (state > 0 && ioctl(socket, FIONREAD, &available) != 0) available = -1;
    }
    if (available <= 0) {
        DbgOutputA(kDbgLevelInfo, "RecvTCPRaw socket closed, nSocketFD = %d\r\n", socket);
        return 0;
    }
    const int expect = std::min(available, kSocketRawReadBytes);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(expect)]);
    ssize_t got = -1;
    if (bytes) {
        do {
            got = recv(socket, bytes.get(), static_cast<size_t>(expect), MSG_DONTWAIT);
        } while (got < 0 && errno == EINTR);
        if (got < 0) error = errno;
    } else {
        error = ENOMEM;
    }
    if (got != expect) {
        DbgOutputA(kDbgLevelInfo,
                   "RecvTCPRaw recv invalid, socket=%d, expect:%d, actual:%d, error=%d\r\n", socket,
                   expect, static_cast<int>(got), error);
        return 0;
    }
    if (block != nullptr) *block = std::move(bytes);
    if (length != nullptr) *length = expect;
    return 1;
}

int RecvUDPRaw(int socket, uint32_t* senderAddress, uint16_t* senderPort,
               std::unique_ptr<uint8_t[]>* block, int* length) {
    if (block != nullptr) block->reset();
    if (length != nullptr) *length = 0;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[kUdpReceiveBlock]);
    if (!bytes) {
        DbgOutputA(kDbgLevelError, "RecvUDPRaw: no memory for a datagram, socket=%d\r\n", socket);
        return 0;
    }
    sockaddr_in sender{};
    socklen_t senderSize = sizeof(sender);
    ssize_t got;
    do {
        got = recvfrom(socket, bytes.get(), kUdpReceiveBlock, MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&sender), &senderSize);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 1;
        DbgOutputA(kDbgLevelInfo, "RecvUDPRaw socket closed, nSocketFD = %d\r\n", socket);
        return 0;
    }
    if (senderAddress != nullptr) *senderAddress = sender.sin_addr.s_addr;
    if (senderPort != nullptr) *senderPort = ntohs(sender.sin_port);
    if (block != nullptr) *block = std::move(bytes);
    if (length != nullptr) *length = static_cast<int>(got);
    return 1;
}

namespace {

int SendDatagrams(int socket, uint16_t port, const void* data, int length, const char* address,
                  uint32_t timeLimitMs) {
    if (data == nullptr || length <= 0) return 0;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    const char* text = address != nullptr ? address : kUdpLimitedBroadcastAddress;
    if (inet_pton(AF_INET, text, &target.sin_addr) != 1) {
        DbgOutputA(kDbgLevelWarning, "SendUDPRaw: \"%s\" is not an IPv4 address\r\n", text);
        return 0;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    int offset = 0;
    while (offset < length) {
        const int piece = std::min(length - offset, kMaxUdpDatagramBytes);
        iovec vector = {const_cast<uint8_t*>(bytes + offset), static_cast<size_t>(piece)};
        int error = 0;
        if (!SendVectors(socket, &vector, 1, &target, timeLimitMs, &error)) {
            DbgOutputA(kDbgLevelInfo, "send failed, error(%d) ----\r\n", error);
            return 0;
        }
        offset += piece;
    }
    return 1;
}

}  // namespace

int SendUDPRaw(int socket, uint16_t port, const void* data, int length, const char* address) {
    return SendDatagrams(socket, port, data, length, address, kSocketSendTimeLimitMs);
}

int BoradcastRaw(int socket, uint16_t port, const void* data, int length, uint32_t sendTimeLimitMs,
                 const char* address) {
    UniqueFd temporary;
    if (socket == -1) {
        temporary = UniqueFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
        if (!temporary.Valid()) {
            DbgOutputA(kDbgLevelInfo, "BoradcastRaw: socket create error, code = %d\r\n", errno);
            return 0;
        }
        socket = temporary.Get();
    }
    const int on = 1;
    if (setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
        DbgOutputA(kDbgLevelInfo, "BoradcastRaw: enabling broadcasts failed, code = %d\r\n", errno);
    }
    const uint32_t limit = sendTimeLimitMs != 0 ? sendTimeLimitMs : kSocketSendTimeLimitMs;
    return SendDatagrams(socket, port, data, length, address, limit);
}
