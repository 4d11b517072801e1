#include "socket_client.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/dbg_output.h"
#include "socket_address.h"
#include "socket_io.h"
#include "socket_sys_internal.h"

namespace {

const char* ModeText(int raw) {
    return raw ? "raw socket" : "packet socket";
}

}  // namespace

CSocketClient::~CSocketClient() {
    Close();
}

int CSocketClient::Create(const char* host, uint16_t port, int raw, int matchCheck,
                          IClientSocketListener* listener, uint64_t userValue, const char* name) {
    CAutoBaseLock guard(&m_lock);
    Close();
    m_cancel.store(0);
    if (host == nullptr || *host == '\0') return 0;

    const int socket = SocketCreate();
    if (socket < 0) {
        DbgOutputA(kDbgLevelError, "tcp client socket create fail, errno=%d\r\n", errno);
        return 0;
    }
    if (listener != nullptr) listener->OnClientSocketCreate(0, static_cast<uint64_t>(socket));
    if (!SocketConnect(socket, host, port, &m_cancel)) {
        DbgOutputA(kDbgLevelError, "AsyncConnect %s failed, errno=%d\r\n", host, errno);
        ShutdownSocket(socket);
        close(socket);
        return 0;
    }
    SetSocketNonBlocking(socket, true);
    m_raw = raw;
    m_matchCheck = matchCheck;
    m_listener = listener;
    m_userValue = userValue;
    m_recvState.Reset();
    m_socket.store(socket);
    m_connected.store(1);

    char threadName[kMaxThreadNameChars + 1];
    std::snprintf(threadName, sizeof(threadName), "TCPRecv_%s", name != nullptr ? name : "");
    if (!m_thread.StartThread(threadName, this, 0, 0, kSocketThreadStackBytes, 0)) {
        DbgOutputA(kDbgLevelError, "client receive thread for %s could not start\r\n", host);
        Close();
        return 0;
    }
    if (!raw) {
        uint8_t greeting[kSocketGreetingBytes];
        WriteSocketGreeting(static_cast<uint64_t>(socket), greeting);
        if (!SendData(kSocketDestGreeting, greeting, sizeof(greeting))) {
            Close();
            return 0;
        }
    }
    DbgOutputA(kDbgLevelInfo, "client connect to(%s), mSocketFD=%d, %s\r\n", host, socket,
               ModeText(raw));
    return 1;
}

void CSocketClient::Close() {
    m_cancel.store(1);
    CAutoBaseLock guard(&m_lock);
    const int socket = m_socket.load();
    if (socket >= 0) {
        DbgOutputA(kDbgLevelInfo, "client Close mSocketFD=%d\r\n", socket);
        ShutdownSocket(socket);
    }
    m_connected.store(0);
    m_thread.StopThread();
    {
        // A send in progress on another thread fails at once on the shut connection; wait for it
        // before the socket number is given back to the system.
        CAutoBaseLock sendGuard(&m_sendLock);
        if (socket >= 0) close(socket);
        m_socket.store(-1);
    }
    m_recvState.Reset();
    m_listener = nullptr;
    m_userValue = 0;
}

int CSocketClient::IsConnect() {
    return m_connected.load() != 0 ? 1 : 0;
}

uint64_t CSocketClient::GetSocketFd() {
    const int socket = m_socket.load();
    return m_connected.load() != 0 && socket >= 0 ? static_cast<uint64_t>(socket) : UINT64_MAX;
}

int CSocketClient::SendData(uint64_t destination, const void* data, int length) {
    if (data == nullptr || length <= 0) {
        DbgOutputA(kDbgLevelInfo, "CSocketClient::SendData: parameter invalid!\r\n");
        return 0;
    }
    CAutoBaseLock sendGuard(&m_sendLock);
    const int socket = m_socket.load();
    if (socket < 0 || m_connected.load() == 0) return 0;
    const int sent =
        m_raw ? SendTCPRaw(socket, data, length) : SendTCPPacket(socket, destination, data, length);
    if (!sent) {
        DbgOutputA(kDbgLevelInfo, "CSocketClient::SendData: Failed, sock=%d!!\r\n", socket);
        ShutdownSocket(socket);
        return 0;
    }
    m_sendRate.Add(static_cast<uint64_t>(length));
    return 1;
}

int CSocketClient::ThreadLoop(uint64_t /*param*/) {
    const int socket = m_socket.load();
    if (socket < 0 || m_connected.load() == 0) return 0;
    pollfd entry{socket, POLLIN | POLLRDHUP, 0};
    const int ready = poll(&entry, 1, kSocketPollSliceMs);
    if (ready == 0) return 1;
    if (ready < 0) {
        if (errno != EINTR) {
            DbgOutputA(kDbgLevelInfo, "%s WSAPoll error=%d\r\n", m_thread.GetThreadName(), errno);
        }
        return 1;
    }
    bool alive = true;
    if (entry.revents & (POLLIN | POLLRDHUP)) {
        alive = ReceiveAvailable(socket);
        // A listener may have closed the object from this thread: touch nothing more then.
        if (m_thread.IsThreadNeedExit()) return 0;
    }
    if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) alive = false;
    if (alive) return 1;
    EndConnection(socket, entry.revents);
    return 0;
}

bool CSocketClient::ReceiveAvailable(int socket) {
    if (!m_raw) return ReceivePackets(socket);
    std::unique_ptr<uint8_t[]> block;
    int length = 0;
    if (!RecvTCPRaw(socket, &block, &length)) {
        DbgOutputA(kDbgLevelError, "client RecvTCPRaw failed mSocketFD=%d\r\n", socket);
        return false;
    }
    if (!block || length <= 0) return true;
    m_recvRate.Add(static_cast<uint64_t>(length));
    if (m_listener != nullptr &&
        !m_listener->OnClientReceiveData(m_userValue, static_cast<uint64_t>(socket), block.get(),
                                         length)) {
        if (m_thread.IsThreadNeedExit()) return true;
        ShutdownSocket(socket);
    }
    return true;
}

bool CSocketClient::ReceivePackets(int socket) {
    for (;;) {
        if (m_thread.IsThreadNeedExit()) return true;
        const int32_t headerBefore = m_recvState.headerBytes;
        const int32_t payloadBefore = m_recvState.payloadBytes;
        if (!RecvTCPPacket(socket, m_matchCheck, &m_recvState)) return false;
        if (m_recvState.complete) {
            const int length = static_cast<int>(m_recvState.PayloadLength());
            std::unique_ptr<uint8_t[]> payload = std::move(m_recvState.payload);
            m_recvState.Reset();
            if (length > 0) {
                m_recvRate.Add(static_cast<uint64_t>(length));
                if (m_listener != nullptr &&
                    !m_listener->OnClientReceiveData(m_userValue, static_cast<uint64_t>(socket),
                                                     payload.get(), length)) {
                    if (m_thread.IsThreadNeedExit()) return true;
                    ShutdownSocket(socket);
                    return true;
                }
                if (m_thread.IsThreadNeedExit()) return true;
            }
            continue;
        }
        if (m_recvState.headerBytes == headerBefore && m_recvState.payloadBytes == payloadBefore) {
            return true;  // nothing more available for now
        }
    }
}

void CSocketClient::EndConnection(int socket, int events) {
    DbgOutputA(kDbgLevelInfo, "socket %d recv event:%04x\r\n", socket, events);
    m_connected.store(0);
    if (m_listener != nullptr) {
        m_listener->OnClientDisconnectFromServer(m_userValue, static_cast<uint64_t>(socket));
    }
    ShutdownSocket(socket);
}

int CTCPSocketClient::SocketCreate() {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket >= 0) {
        const int on = 1;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    }
    return socket;
}

int CTCPSocketClient::SocketConnect(int socket, const char* host, uint16_t port,
                                    const std::atomic<int>* cancel) {
    return AsyncConnect(socket, host, port, kTcpConnectTimeLimitMs, cancel);
}
