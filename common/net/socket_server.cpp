#include "socket_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "socket_client.h"
#include "socket_io.h"
#include "socket_sys_internal.h"

namespace {

// Bytes the receive thread takes from one client per round.
constexpr uint64_t kSocketReceiveRoundBytes = 4u << 20;
// The largest payload block a client's receive state keeps between packets.
constexpr uint32_t kKeptPayloadBlockBytes = 4u << 20;

enum ServerThread : uint64_t { kAcceptThread = 0, kRecvThread, kDispatchThread, kCloseThread };

const char* ModeText(int raw) {
    return raw ? "raw socket" : "packet socket";
}

bool IsTransientAcceptError(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK || error == ECONNABORTED ||
           error == EPROTO;
}

bool IsResourceAcceptError(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// Back to an empty receive state, keeping a payload block of moderate size for the next packet
// (a fresh block per packet costs page faults that dominate large transfers).
void KeepPayloadBlock(PacketRecvState& state) {
    std::unique_ptr<uint8_t[]> block = std::move(state.payload);
    const uint32_t capacity = state.payloadCapacity;
    state.Reset();
    if (capacity <= kKeptPayloadBlockBytes) {
        state.payload = std::move(block);
        state.payloadCapacity = capacity;
    }
}

void FreeQueue(tagCLIENTSOCKETINFO* client) {
    while (!client->queue.IsEmpty()) {
        delete static_cast<tagCLIENTSOCKETBUFFER*>(client->queue.DeleteHead());
    }
    client->queuedBytes = 0;
}

}  // namespace

CSocketServer::CSocketServer() {
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        DbgOutputA(kDbgLevelError, "CSocketServer: no wake-up descriptor, errno=%d\r\n", errno);
    }
}

CSocketServer::~CSocketServer() {
    Close();
    if (m_wakeFd >= 0) close(m_wakeFd);
}

void CSocketServer::SetListenAddress(const char* address) {
    CAutoBaseLock guard(&m_lock);
    m_listenAddress.Set(address != nullptr ? address : "");
}

int CSocketServer::Create(uint16_t port, int raw, int matchCheck, IServerSocketListener* listener,
                          uint64_t userValue, const char* name) {
    CAutoBaseLock guard(&m_lock);
    Close();
    const int socket = SocketCreate(port);
    if (socket < 0) {
        DbgOutputA(kDbgLevelError, "Create MsgServer Socket Failed, error=%d!\r\n", errno);
        Close();
        return 0;
    }
    SetSocketNonBlocking(socket, true);
    if (listener != nullptr) listener->OnServerSocketCreate(0, static_cast<uint64_t>(socket));
    m_raw = raw;
    m_matchCheck = matchCheck;
    m_listener = listener;
    m_userValue = userValue;
    m_stopping.store(0);
    m_dispatchEvent.Reset();
    m_closeEvent.Reset();
    m_listenSocket.store(socket);

    const char* suffix = name != nullptr ? name : "";
    const struct {
        CBaseThread* thread;
        const char* kind;
        ServerThread param;
    } threads[] = {{&m_acceptThread, "TCPAccept", kAcceptThread},
                   {&m_recvThread, "TCPRecv", kRecvThread},
                   {&m_dispatchThread, "TCPDispatch", kDispatchThread},
                   {&m_closeThread, "TCPClose", kCloseThread}};
    for (const auto& entry : threads) {
        char threadName[kMaxThreadNameChars + 1];
        std::snprintf(threadName, sizeof(threadName), "%s_%s", entry.kind, suffix);
        if (!entry.thread->StartThread(threadName, this, entry.param, 0, kSocketThreadStackBytes,
                                       0)) {
            DbgOutputA(kDbgLevelError, "server thread %s could not start\r\n", threadName);
            Close();
            return 0;
        }
    }
    DbgOutputA(kDbgLevelInfo, "server bind to(%d), mSocketFD=%d, %s\r\n",
               static_cast<int>(SocketLocalPort(socket)), socket, ModeText(raw));
    return 1;
}

void CSocketServer::Close() {
    CAutoBaseLock guard(&m_lock);
    m_stopping.store(1);
    const int socket = m_listenSocket.load();
    ShutdownSocket(socket);
    m_acceptThread.StopThread();
    if (socket >= 0) close(socket);
    m_listenSocket.store(-1);

    WakeReceiver();
    m_recvThread.StopThread();
    m_dispatchEvent.Set();
    m_dispatchThread.StopThread();
    m_closeEvent.Set();
    m_closeThread.StopThread();
    {
        CAutoBaseLock clients(&m_clientLock);
        RemoveClients(true);
    }
    m_listener = nullptr;
    m_userValue = 0;
}

int CSocketServer::IsCreated() {
    return m_listenSocket.load() >= 0 ? 1 : 0;
}

uint64_t CSocketServer::GetServerFd() {
    const int socket = m_listenSocket.load();
    return socket >= 0 ? static_cast<uint64_t>(socket) : UINT64_MAX;
}

uint16_t CSocketServer::GetServerPort() {
    const int socket = m_listenSocket.load();
    return socket >= 0 ? SocketLocalPort(socket) : 0;
}

int CSocketServer::GetClientCount() {
    return m_clientCount.load();
}

void CSocketServer::LockClient() {
    m_clientLock.Lock();
}

void CSocketServer::UnlockClient() {
    m_clientLock.Unlock();
}

tagCLIENTSOCKETINFO* CSocketServer::GetClientSocketInfo_Locked(int index) {
    return static_cast<tagCLIENTSOCKETINFO*>(m_clients.GetAt(index));
}

void CSocketServer::CloseClient(uint64_t socket) {
    CAutoBaseLock clients(&m_clientLock);
    tagCLIENTSOCKETINFO* client = FindClient(socket);
    if (client != nullptr) MarkClosing(client);
}

int CSocketServer::SendData(uint64_t socket, const void* data, int length) {
    if (data == nullptr || length <= 0) {
        DbgOutputA(kDbgLevelInfo, "CSocketServer::SendData: parameter invalid!\r\n");
        return 0;
    }
    if (m_listenSocket.load() < 0) {
        DbgOutputA(kDbgLevelInfo, "CSocketServer::SendData: mServerSocketFD is closed!!\r\n");
        return 0;
    }
    CAutoBaseLock clients(&m_clientLock);
    int sent = 0;
    tagCLIENTSOCKETINFO* client = FindClient(socket);
    if (client != nullptr && !client->closing) {
        const int fd = static_cast<int>(client->socket);
        ++client->inUse;
        sent = m_raw ? SendTCPRaw(fd, data, length) : SendTCPPacket(fd, socket, data, length);
        --client->inUse;
        if (!sent) {
            DbgOutputA(kDbgLevelInfo, "socket %d send data failed\r\n", fd);
            MarkClosing(client);
        }
    }
    m_sendRate.Add(static_cast<uint64_t>(length));
    return sent;
}

void CSocketServer::BroadcastData(uint64_t exceptSocket, const void* data, int length) {
    CAutoBaseLock clients(&m_clientLock);
    const int count = m_clients.GetCount();
    for (int i = 0; i < count; ++i) {
        auto* client = static_cast<tagCLIENTSOCKETINFO*>(m_clients.GetAt(i));
        if (client == nullptr || client->closing) continue;
        if (exceptSocket != UINT64_MAX && client->socket == exceptSocket) continue;
        SendData(client->socket, data, length);
    }
}

int CSocketServer::ThreadLoop(uint64_t param) {
    if (m_stopping.load()) return 0;
    switch (param) {
        case kAcceptThread:
            return AcceptLoop();
        case kRecvThread:
            return ReceiveLoop();
        case kDispatchThread:
            return DispatchLoop();
        case kCloseThread:
            return CloseLoop();
        default:
            return 0;
    }
}

int CSocketServer::AcceptLoop() {
    const int listening = m_listenSocket.load();
    if (listening < 0) return 0;
    pollfd entry{listening, POLLIN, 0};
    const int ready = poll(&entry, 1, kSocketPollSliceMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return 1;
    const int socket = ready > 0 && !m_stopping.load() ? SocketAccept(listening) : -1;
    if (socket < 0) {
        const int error = ready < 0 ? errno : (m_stopping.load() ? EINVAL : errno);
        if (!m_stopping.load() && !(entry.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            if (IsTransientAcceptError(error)) return 1;
            if (IsResourceAcceptError(error)) {
                DbgOutputA(kDbgLevelWarning, "%s Accept: out of resources, error=%d\r\n",
                           m_acceptThread.GetThreadName(), error);
                SleepMs(kSocketPollSliceMs);
                return 1;
            }
        }
        DbgOutputA(kDbgLevelInfo, "%s Accept failed, exit accept thread!\r\n",
                   m_acceptThread.GetThreadName());
        return 0;
    }
    SetSocketNonBlocking(socket, true);
    auto client = std::make_unique<tagCLIENTSOCKETINFO>();
    client->socket = static_cast<uint64_t>(socket);
    DescribeSocketPeer(socket, &client->peerAddress, &client->peerPort);
    DbgOutputA(kDbgLevelInfo, "%s Accept, socket is %d, ip is(%s:%d)!\r\n",
               m_acceptThread.GetThreadName(), socket, client->peerAddress.GetString(),
               static_cast<int>(client->peerPort));

    CAutoBaseLock clients(&m_clientLock);
    client->serial = m_nextSerial++;
    tagCLIENTSOCKETINFO* record = client.get();
    if (m_clients.AddData(record) < 0) {
        DbgOutputA(kDbgLevelError, "no room for client socket %d, closing it\r\n", socket);
        ShutdownSocket(socket);
        close(socket);
        return 1;
    }
    client.release();
    m_clientCount.store(m_clients.GetCount());
    DbgOutputA(kDbgLevelInfo, "Total %d client connected!\r\n", m_clients.GetCount());
    if (m_listener != nullptr && !m_listener->OnServerAcceptClient(m_userValue, record)) {
        MarkClosing(record);
    }
    WakeReceiver();
    return 1;
}

int CSocketServer::ReceiveLoop() {
    struct Watched {
        uint64_t socket;
        uint64_t serial;
    };
    std::vector<pollfd> entries;
    std::vector<Watched> watched;
    entries.push_back({m_wakeFd, POLLIN, 0});
    {
        CAutoBaseLock clients(&m_clientLock);
        const int count = m_clients.GetCount();
        for (int i = 0; i < count; ++i) {
            auto* client = static_cast<tagCLIENTSOCKETINFO*>(m_clients.GetAt(i));
            if (client == nullptr || client->closing) continue;
            // A client whose queue is full is still watched for its end, not for its data.
            const short events =
                client->queuedBytes < kMaxSocketQueuedBytes ? POLLIN | POLLRDHUP : 0;
            entries.push_back({static_cast<int>(client->socket), events, 0});
            watched.push_back({client->socket, client->serial});
        }
    }
    const int ready = poll(entries.data(), entries.size(), kSocketPollSliceMs);
    if (ready < 0) {
        if (errno != EINTR) {
            DbgOutputA(kDbgLevelInfo, "%s WSAPoll error=%d\r\n", m_recvThread.GetThreadName(),
                       errno);
        }
        return 1;
    }
    if (entries[0].revents & POLLIN) {
        uint64_t count = 0;
        while (read(m_wakeFd, &count, sizeof(count)) > 0) {
        }
    }
    if (m_stopping.load()) return 0;
    if (ready == 0) return 1;

    bool queued = false;
    bool closing = false;
    CAutoBaseLock clients(&m_clientLock);
    for (size_t i = 1; i < entries.size(); ++i) {
        const short events = entries[i].revents;
        if (events == 0) continue;
        tagCLIENTSOCKETINFO* client = FindClient(watched[i - 1].socket);
        if (client == nullptr || client->serial != watched[i - 1].serial) {
            DbgOutputA(kDbgLevelInfo, "cannot find client socket by fd:%d\r\n", entries[i].fd);
            continue;
        }
        if (client->closing) continue;
        bool alive = true;
        if (events & (POLLIN | POLLRDHUP)) {
            const uint64_t before = client->queuedBytes;
            const int countBefore = client->queue.GetCount();
            alive = ReceiveFromClient(client);
            queued =
                queued || client->queue.GetCount() != countBefore || client->queuedBytes != before;
        }
        if (events & (POLLERR | POLLHUP | POLLNVAL)) alive = false;
        if (!alive) {
            MarkClosing(client);
            closing = true;
        }
    }
    if (queued) m_dispatchEvent.Set();
    if (closing) m_closeEvent.Set();
    return 1;
}

bool CSocketServer::ReceiveFromClient(tagCLIENTSOCKETINFO* client) {
    const int socket = static_cast<int>(client->socket);
    if (m_raw) {
        std::unique_ptr<uint8_t[]> block;
        int length = 0;
        if (!RecvTCPRaw(socket, &block, &length)) return false;
        if (block && length > 0) {
            m_recvRate.Add(static_cast<uint64_t>(length));
            QueueMessage(client, static_cast<int64_t>(kSocketDestServer), std::move(block), length);
        }
        return true;
    }
    PacketRecvState& state = client->receiveState;
    // One round takes a bounded amount from each client, so the dispatch thread (which needs the
    // client lock) and the other clients get their turn while a fast sender keeps sending.
    uint64_t taken = 0;
    SocketPacketSource source(socket);
    while (client->queuedBytes < kMaxSocketQueuedBytes && taken < kSocketReceiveRoundBytes &&
           !m_stopping.load()) {
        const int32_t headerBefore = state.headerBytes;
        const int32_t payloadBefore = state.payloadBytes;
        if (!RecvTCPPacket(source, m_matchCheck, &state)) return false;
        taken += static_cast<uint64_t>((state.headerBytes - headerBefore) +
                                       (state.payloadBytes - payloadBefore));
        if (state.complete) {
            const int length = static_cast<int>(state.PayloadLength());
            const auto destination = static_cast<int64_t>(state.Destination());
            if (length > 0) m_recvRate.Add(static_cast<uint64_t>(length));
            if (length > 0 && IsDispatchedOnReceipt(client, destination)) {
                // No thread hop, and the payload block serves the next packet too.
                Dispatch(client, destination, state.payload.get(), length);
                KeepPayloadBlock(state);
                if (client->closing) return false;
                continue;
            }
            std::unique_ptr<uint8_t[]> payload = std::move(state.payload);
            state.Reset();
            if (length > 0) QueueMessage(client, destination, std::move(payload), length);
            continue;
        }
        if (state.headerBytes == headerBefore && state.payloadBytes == payloadBefore) break;
    }
    return true;
}

void CSocketServer::QueueMessage(tagCLIENTSOCKETINFO* client, int64_t destination,
                                 std::unique_ptr<uint8_t[]> data, int length) {
    auto message = std::make_unique<tagCLIENTSOCKETBUFFER>();
    message->destination = destination;
    message->data = std::move(data);
    message->length = length;
    if (client->queue.AddData(message.get()) < 0) {
        DbgOutputA(kDbgLevelError, "no room to queue a message of socket %llu, dropping it\r\n",
                   static_cast<unsigned long long>(client->socket));
        MarkClosing(client);
        return;
    }
    message.release();
    client->queuedBytes += static_cast<uint64_t>(length);
}

int CSocketServer::DispatchLoop() {
    m_dispatchEvent.Wait(static_cast<uint64_t>(kSocketPollSliceMs));
    if (m_stopping.load()) return 0;
    bool closing = false;
    bool drained = false;
    CAutoBaseLock clients(&m_clientLock);
    const int count = m_clients.GetCount();
    for (int i = 0; i < count; ++i) {
        auto* client = static_cast<tagCLIENTSOCKETINFO*>(m_clients.GetAt(i));
        if (client == nullptr) continue;
        drained = drained || client->queuedBytes >= kMaxSocketQueuedBytes;
        while (!client->queue.IsEmpty()) {
            std::unique_ptr<tagCLIENTSOCKETBUFFER> message(
                static_cast<tagCLIENTSOCKETBUFFER*>(client->queue.DeleteHead()));
            client->queuedBytes -= static_cast<uint64_t>(message->length);
            Dispatch(client, message->destination, message->data.get(), message->length);
        }
        closing = closing || client->closing;
    }
    if (closing) m_closeEvent.Set();
    // A client that was held back for a full queue can be read again.
    if (drained) WakeReceiver();
    return 1;
}

bool CSocketServer::IsDispatchedOnReceipt(tagCLIENTSOCKETINFO* client, int64_t destination) {
    const auto to = static_cast<uint64_t>(destination);
    return client->queue.IsEmpty() && (to == kSocketDestServer || to == kSocketDestGreeting);
}

void CSocketServer::Dispatch(tagCLIENTSOCKETINFO* sender, int64_t to, const uint8_t* data,
                             int length) {
    const auto destination = static_cast<uint64_t>(to);
    if (destination == kSocketDestAll) {
        BroadcastData(UINT64_MAX, data, length);
    } else if (destination == kSocketDestOthers) {
        BroadcastData(sender->socket, data, length);
    } else if (destination == kSocketDestServer) {
        if (m_listener != nullptr &&
            !m_listener->OnServerReceiveData(m_userValue, sender, data, length)) {
            MarkClosing(sender);
        }
    } else if (destination == kSocketDestGreeting) {
        uint64_t connection = 0;
        if (ReadSocketGreeting(data, static_cast<size_t>(length), &connection)) {
            sender->connection = static_cast<int64_t>(connection);
        }
    } else if (!SendData(destination, data, length)) {
        DbgOutputA(kDbgLevelWarning, "no client socket %llu for a packet from socket %llu\r\n",
                   static_cast<unsigned long long>(destination),
                   static_cast<unsigned long long>(sender->socket));
    }
}

int CSocketServer::CloseLoop() {
    m_closeEvent.Wait(static_cast<uint64_t>(kSocketPollSliceMs));
    if (m_stopping.load()) return 0;
    CAutoBaseLock clients(&m_clientLock);
    RemoveClients(false);
    return 1;
}

void CSocketServer::MarkClosing(tagCLIENTSOCKETINFO* client) {
    if (!client->closing) ShutdownSocket(static_cast<int>(client->socket));
    client->closing = 1;
    m_closeEvent.Set();
}

void CSocketServer::RemoveClients(bool all) {
    for (int i = m_clients.GetCount() - 1; i >= 0; --i) {
        auto* client = static_cast<tagCLIENTSOCKETINFO*>(m_clients.GetAt(i));
        if (client == nullptr) continue;
        // Messages a client sent before it left are still dispatched before it goes.
        if (!all && (!client->closing || client->inUse > 0 || !client->queue.IsEmpty())) continue;
        const int socket = static_cast<int>(client->socket);
        DbgOutputA(kDbgLevelInfo, "Client Socket close, socket=%d\r\n", socket);
        if (m_listener != nullptr) m_listener->OnServerCloseClient(m_userValue, client);
        FreeQueue(client);
        ShutdownSocket(socket);
        close(socket);
        m_clients.DeleteAt(i);
        delete client;
        m_clientCount.store(m_clients.GetCount());
        DbgOutputA(kDbgLevelInfo, "Total %d client connected!\r\n", m_clients.GetCount());
    }
}

tagCLIENTSOCKETINFO* CSocketServer::FindClient(uint64_t socket) {
    const int count = m_clients.GetCount();
    for (int i = 0; i < count; ++i) {
        auto* client = static_cast<tagCLIENTSOCKETINFO*>(m_clients.GetAt(i));
        if (client != nullptr && client->socket == socket) return client;
    }
    return nullptr;
}

void CSocketServer::WakeReceiver() {
    if (m_wakeFd < 0) return;
    const uint64_t one = 1;
    const ssize_t written = write(m_wakeFd, &one, sizeof(one));
    (void)written;  // a full counter already wakes the poll
}

int CTCPSocketServer::SocketCreate(uint16_t port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) return -1;
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const char* listenAddress = ListenAddress();
    if (*listenAddress != '\0' && inet_pton(AF_INET, listenAddress, &address.sin_addr) != 1) {
        DbgOutputA(kDbgLevelError, "Server listen address \"%s\" is not an IPv4 address\r\n",
                   listenAddress);
        close(socket);
        errno = EINVAL;
        return -1;
    }
    return BindAndListen(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address),
                         kSocketListenBacklog, [port](int error) {
                             DbgOutputA(kDbgLevelInfo, "Server Bind Port : %d Failed, error=%d\r\n",
                                        static_cast<int>(port), error);
                         });
}

int CTCPSocketServer::SocketAccept(int listeningSocket) {
    const int socket = accept4(listeningSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (socket >= 0) {
        const int on = 1;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    }
    return socket;
}
