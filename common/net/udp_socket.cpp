#include "udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "socket_adapters.h"
#include "socket_client.h"
#include "socket_io.h"
#include "socket_sys_internal.h"

namespace {

// Datagrams one thread call takes before it looks at its stop flag again.
constexpr int kUdpDatagramsPerCall = 64;
constexpr int kMaxLocalAddressChars = 15;

}  // namespace

CUDPSocket::~CUDPSocket() {
    Close();
}

int CUDPSocket::Create(const char* localAddress, uint16_t port, IUDPSocketListener* listener,
                       uint64_t userValue, const char* name) {
    CAutoBaseLock guard(&m_lock);
    Close();
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (socket < 0) {
        DbgOutputA(kDbgLevelInfo, "%s create error, code = %d\r\n", "CUDPSocket::Create", errno);
        return 0;
    }
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    const char* addressText =
        localAddress != nullptr && *localAddress != '\0' ? localAddress : "0.0.0.0";
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, addressText, &address.sin_addr) != 1 ||
        bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        DbgOutputA(kDbgLevelInfo, "%s bind error(addr=%s, port=%d), code = %d\r\n",
                   "CUDPSocket::Bind", addressText, static_cast<int>(port), errno);
        close(socket);
        return 0;
    }
    DbgOutputA(kDbgLevelInfo, "%s BindPort(addr=%s, port=%d) Success!\r\n", "CUDPSocket::Bind",
               addressText, static_cast<int>(port));
    const int bufferBytes = kUdpReceiveBufferBytes;
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof(bufferBytes));

    m_listener = listener;
    m_userValue = userValue;
    m_localAddress.Set(addressText);
    m_localAddress.Trunk(kMaxLocalAddressChars);
    m_port = SocketLocalPort(socket);
    m_machineAddresses.clear();
    m_addressesReadAt = 0;
    m_socket.store(socket);
    m_created.store(1);

    char threadName[kMaxThreadNameChars + 1];
    std::snprintf(threadName, sizeof(threadName), "UDP_%s", name != nullptr ? name : "");
    if (!m_thread.StartThread(threadName, this, 0, 0, kSocketThreadStackBytes, 0)) {
        DbgOutputA(kDbgLevelError, "%s: thread %s could not start\r\n", "CUDPSocket::Create",
                   threadName);
        Close();
        return 0;
    }
    DbgOutputA(kDbgLevelInfo, "udp bind to(%d), mSocketFD=%d\r\n", static_cast<int>(m_port),
               socket);
    return 1;
}

void CUDPSocket::Close() {
    CAutoBaseLock guard(&m_lock);
    m_created.store(0);
    const int socket = m_socket.load();
    // Wakes the thread's poll at once (even on an unconnected UDP socket).
    ShutdownSocket(socket);
    m_thread.StopThread();
    {
        CAutoBaseLock settings(&m_settingsLock);
        if (socket >= 0) close(socket);
        m_socket.store(-1);
    }
    m_listener = nullptr;
    m_userValue = 0;
    m_port = 0;
}

int CUDPSocket::IsCreated() {
    return m_created.load() != 0 ? 1 : 0;
}

uint16_t CUDPSocket::GetLocalPort() {
    return m_created.load() != 0 ? m_port : 0;
}

void CUDPSocket::SetBroadcastAddress(const char* address) {
    CAutoBaseLock settings(&m_settingsLock);
    m_broadcastAddress.Set(address != nullptr ? address : "");
}

int CUDPSocket::SendData(uint16_t port, const void* data, int length) {
    if (data == nullptr || length <= 0) {
        DbgOutputA(kDbgLevelInfo, "CUDPSocket::SendData: parameter invalid!\r\n");
        return 0;
    }
    CAutoBaseLock settings(&m_settingsLock);
    const int socket = m_socket.load();
    if (socket < 0 || m_created.load() == 0) {
        DbgOutputA(kDbgLevelInfo, "CUDPSocket::SendData: mSocketFD is closed!!\r\n");
        return 0;
    }
    const char* target =
        m_broadcastAddress.GetLength() > 0 ? m_broadcastAddress.GetString() : nullptr;
    if (!SendUDPRaw(socket, port, data, length, target)) {
        DbgOutputA(kDbgLevelInfo, "CUDPSocket::SendData: Failed, sock=%d!!\r\n", socket);
        m_created.store(0);
        ShutdownSocket(socket);
        return 0;
    }
    return 1;
}

int CUDPSocket::ThreadLoop(uint64_t /*param*/) {
    const int socket = m_socket.load();
    if (socket < 0 || m_created.load() == 0) return 0;
    pollfd entry{socket, POLLIN, 0};
    const int ready = poll(&entry, 1, kSocketPollSliceMs);
    if (ready <= 0) return 1;
    if (entry.revents & POLLERR) {
        int pending = 0;
        socklen_t size = sizeof(pending);
        getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size);  // clears the error
    }
    for (int i = 0; i < kUdpDatagramsPerCall && m_created.load() != 0; ++i) {
        uint32_t senderAddress = 0;
        uint16_t senderPort = 0;
        std::unique_ptr<uint8_t[]> block;
        int length = 0;
        if (!RecvUDPRaw(socket, &senderAddress, &senderPort, &block, &length)) return 1;
        if (!block) break;  // nothing more waiting
        if (length <= 0 || IsOwnEcho(senderAddress, senderPort)) continue;
        if (m_listener != nullptr) m_listener->OnUDPDataReceived(m_userValue, block.get(), length);
        if (m_thread.IsThreadNeedExit()) return 0;
    }
    return 1;
}

bool CUDPSocket::IsOwnEcho(uint32_t senderAddress, uint16_t senderPort) {
    if (senderPort != m_port) return false;
    const uint64_t now = MonoTimeMs();
    if (m_addressesReadAt == 0 || now - m_addressesReadAt > kUdpAddressRefreshMs) {
        GetLocalIPv4Addresses(&m_machineAddresses);
        m_addressesReadAt = now;
    }
    return std::find(m_machineAddresses.begin(), m_machineAddresses.end(), senderAddress) !=
           m_machineAddresses.end();
}
