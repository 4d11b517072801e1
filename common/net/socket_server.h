// Stream socket servers: CSocketServer listens, accepts clients and hands what they send to an
// IServerSocketListener, in raw or packet mode (see socket_client.h). In packet mode it also
// relays messages between its clients by the packet's destination:
//   kSocketDestAll (-1)      to every client, the sender included;
//   kSocketDestOthers (-2)   to every client but the sender;
//   kSocketDestServer (-3)   to OnServerReceiveData;
//   kSocketDestGreeting (-4) a greeting: its connection number is stored in the sender's record;
//   any other value          to the client whose socket on this server equals it.
// A packet a server sends to a client carries that client's socket as destination.
// CTCPSocketServer listens on TCP/IPv4 (socket_bluetooth.h has the Bluetooth variant).
//
// Threads, each "<kind>_<name>": "TCPAccept" accepts clients; "TCPRecv" reads from every client,
// hands a complete message for the listener (or a greeting) on at once and queues the others;
// "TCPDispatch" handles the queues in arrival order; "TCPClose" removes clients whose connection
// has ended. A client's messages are handled in the order they came: one that follows queued ones
// is queued behind them. The client list and every tagCLIENTSOCKETINFO are used only under the
// client lock (LockClient), which is held while OnServerReceiveData is called (on the receive
// thread, or on the dispatch thread for a message that was queued) and while the accept thread
// calls OnServerAcceptClient: a listener may call SendData, BroadcastData and CloseClient (the
// lock is re-entrant) but must not wait for another thread of the server, nor call Create or
// Close. OnServerCloseClient runs on the close thread, or on the thread that calls Close.
//
// A client that stops reading is not allowed to grow the server's memory: once
// kMaxSocketQueuedBytes of its messages wait for dispatch, the server stops reading from it until
// the queue drains.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/base_event.h"
#include "core/base_lock.h"
#include "core/base_string.h"
#include "core/base_thread.h"
#include "core/common_api.h"
#include "core/ptr_array_ctrl.h"
#include "socket_listener.h"
#include "socket_rate.h"

// Connections a server's listening socket holds before they are accepted.
constexpr int kSocketListenBacklog = 10;
// Payload bytes one client may have waiting for dispatch before the server stops reading it.
constexpr uint64_t kMaxSocketQueuedBytes = 64u << 20;

class ORBO_COMMON_API CSocketServer : public IThreadFuncInterface {
public:
    CSocketServer();
    // Closes the server. Every derived class closes in its own destructor as well: the threads
    // call into the object, which must still be whole until they have stopped.
    ~CSocketServer() override;
    CSocketServer(const CSocketServer&) = delete;
    CSocketServer& operator=(const CSocketServer&) = delete;

    // The local address the next Create listens on (dotted IPv4 text for TCP); null or empty =
    // every interface (the default). Call before Create.
    void SetListenAddress(const char* address);

    // Closes an earlier server, makes the listening socket on the port (0 = any free port;
    // failure: "Create MsgServer Socket Failed, error=%d!\r\n", level 4, and 0), tells the
    // listener (OnServerSocketCreate with user value 0), stores mode, listener and user value,
    // starts the four threads and logs "server bind to(%d), mSocketFD=%d, %s\r\n". 1 on success.
    int Create(uint16_t port, int raw, int matchCheck, IServerSocketListener* listener,
               uint64_t userValue, const char* name);
    // Stops accepting (the listening socket is shut down before it is closed, which wakes the
    // accept thread), joins all threads, removes every client (OnServerCloseClient for each) and
    // forgets listener and user value. Listener calls have ended when it returns.
    void Close();

    int IsCreated();
    // The listening socket, UINT64_MAX (-1) when closed.
    uint64_t GetServerFd();
    // The port the server listens on (useful after Create with port 0); 0 when closed.
    uint16_t GetServerPort();
    int GetClientCount();

    // The client lock, and the client at an index under it (null when out of range).
    void LockClient();
    void UnlockClient();
    tagCLIENTSOCKETINFO* GetClientSocketInfo_Locked(int index);

    // Shuts that client's connection down; the server then removes it.
    void CloseClient(uint64_t socket);
    // Sends to the client with that socket (raw, or a packet with the socket as destination).
    // Null data or a length of 0 or less: "CSocketServer::SendData: parameter invalid!\r\n", 0.
    // Closed server: "CSocketServer::SendData: mServerSocketFD is closed!!\r\n", 0. A failed send
    // logs "socket %d send data failed\r\n" and shuts that client down. 1 only when the client
    // was found and every byte was sent.
    int SendData(uint64_t socket, const void* data, int length);
    // SendData to every client except the one with socket `exceptSocket` (UINT64_MAX: none).
    void BroadcastData(uint64_t exceptSocket, const void* data, int length);

    int GetSendBytesPerSecond() { return m_sendRate.Get(); }
    int GetRecvBytesPerSecond() { return m_recvRate.Get(); }

    // The body of the four threads; param tells them apart.
    int ThreadLoop(uint64_t param) override;

protected:
    // A listening socket on the port, -1 on failure (errno set).
    virtual int SocketCreate(uint16_t port) = 0;
    // Accepts one waiting connection (the listening socket is non-blocking): its socket, or -1
    // with errno set.
    virtual int SocketAccept(int listeningSocket) = 0;
    // The address set with SetListenAddress (empty = every interface).
    const char* ListenAddress() const { return m_listenAddress.GetString(); }

private:
    int AcceptLoop();
    int ReceiveLoop();
    int DispatchLoop();
    int CloseLoop();
    // Reads what a client has sent and queues its complete messages; false when the connection
    // must end. Client lock held.
    bool ReceiveFromClient(tagCLIENTSOCKETINFO* client);
    void QueueMessage(tagCLIENTSOCKETINFO* client, int64_t destination,
                      std::unique_ptr<uint8_t[]> data, int length);
    // True when a complete message goes to Dispatch at once, on the receive thread: one for the
    // listener or a greeting, with nothing of its sender still queued (order is kept).
    static bool IsDispatchedOnReceipt(tagCLIENTSOCKETINFO* client, int64_t destination);
    void Dispatch(tagCLIENTSOCKETINFO* sender, int64_t destination, const uint8_t* data,
                  int length);
    // Marks a client closing and shuts its connection down. Client lock held.
    void MarkClosing(tagCLIENTSOCKETINFO* client);
    // Removes the clients that are closing and idle (every client with `all`). Client lock held.
    void RemoveClients(bool all);
    tagCLIENTSOCKETINFO* FindClient(uint64_t socket);
    void WakeReceiver();

    CBaseLock m_lock;
    CBaseLock m_clientLock;
    CBaseStringA m_listenAddress;
    std::atomic<int> m_listenSocket{-1};
    std::atomic<int> m_stopping{0};
    int m_raw = 0;
    int m_matchCheck = 0;
    IServerSocketListener* m_listener = nullptr;
    uint64_t m_userValue = 0;
    CBaseThread m_acceptThread;
    CBaseThread m_recvThread;
    CBaseThread m_dispatchThread;
    CBaseThread m_closeThread;
    CBaseEvent m_dispatchEvent;
    CBaseEvent m_closeEvent;
    // Wakes the receive thread's poll when a client arrives or the server closes.
    int m_wakeFd = -1;
    CPtrArrayCtrl m_clients;  // tagCLIENTSOCKETINFO*, owned
    std::atomic<int> m_clientCount{0};
    uint64_t m_nextSerial = 1;
    SocketRateMeter m_sendRate;
    SocketRateMeter m_recvRate;
};

// A server over TCP/IPv4: SO_REUSEADDR, bound to the port on every interface (or the address of
// SetListenAddress; failure: "Server Bind Port : %d Failed, error=%d\r\n"), backlog
// kSocketListenBacklog; accepted connections do not delay small packets (TCP_NODELAY).
class ORBO_COMMON_API CTCPSocketServer : public CSocketServer {
public:
    // Closes while this class is still whole: the threads call into the object.
    ~CTCPSocketServer() override { Close(); }

protected:
    int SocketCreate(uint16_t port) override;
    int SocketAccept(int listeningSocket) override;
};
