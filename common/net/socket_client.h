// Stream socket clients: CSocketClient connects to a server, runs a receive thread that hands
// what arrives to an IClientSocketListener, and sends data, in one of two modes chosen at Create:
//   raw mode    bytes are handed on as they arrive and sent as they are;
//   packet mode every message is one framed packet (socket_packet.h) with a destination; right
//               after connecting the client greets the server with its own socket value.
// CTCPSocketClient connects over TCP/IPv4 (socket_bluetooth.h has the Bluetooth variant); the
// derived classes supply only how the socket is made and connected.
//
// Life cycle: closed (no socket) or connected. A connection that ends (peer closed, error,
// listener refusal, failed send) returns the object to closed by itself: IsConnect() becomes 0,
// OnClientDisconnectFromServer is called and the receive thread ends; the socket is released by
// the next Close() or Create(), or the destructor.
//
// Threads: Create and Close are serialised by the object's lock; Close may be called from any
// thread, also while Create is connecting (the connect then stops within kConnectPollSliceMs).
// SendData may be called from any thread; sends are serialised, so packets never interleave.
// Listener operations run on the receive thread "TCPRecv_<name>"; to drop the connection a
// listener returns 0 rather than calling Close.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/base_lock.h"
#include "core/base_string.h"
#include "core/base_thread.h"
#include "core/common_api.h"
#include "socket_listener.h"
#include "socket_packet.h"
#include "socket_rate.h"

// Stack of every socket thread.
constexpr int kSocketThreadStackBytes = 0x400000;
// How long a socket thread waits for input before it looks at its stop flag again.
constexpr int kSocketPollSliceMs = 100;
// Time limit of a TCP client's connect.
constexpr uint32_t kTcpConnectTimeLimitMs = 5000;

class ORBO_COMMON_API CSocketClient : public IThreadFuncInterface {
public:
    CSocketClient() = default;
    // Closes the connection. Every derived class closes in its own destructor as well: the
    // receive thread calls into the object, which must still be whole until it has stopped.
    ~CSocketClient() override;
    CSocketClient(const CSocketClient&) = delete;
    CSocketClient& operator=(const CSocketClient&) = delete;

    // Closes any earlier connection, makes the socket (SocketCreate; failure: "tcp client socket
    // create fail, errno=%d\r\n", level 4), tells the listener (OnClientSocketCreate with user
    // value 0), connects (SocketConnect; failure: "AsyncConnect %s failed, errno=%d\r\n", level 4),
    // makes the socket non-blocking, stores mode, listener and user value, starts the receive
    // thread "TCPRecv_<name>", in packet mode sends the greeting, and logs "client connect to(%s),
    // mSocketFD=%d, %s\r\n". 1 when connected and greeted; 0 for an empty host or any failure.
    // With matchCheck nonzero, packets whose match code differs from the process's (when that is
    // not 0) end the connection.
    int Create(const char* host, uint16_t port, int raw, int matchCheck,
               IClientSocketListener* listener, uint64_t userValue, const char* name);
    // Stops a connect under way, shuts the connection down ("client Close mSocketFD=%d\r\n"),
    // drops a partly received packet, joins the receive thread, releases the socket and forgets
    // listener and user value. Listener calls have ended when it returns.
    void Close();

    // 1 while connected.
    int IsConnect();
    // The socket while connected; UINT64_MAX (-1) otherwise.
    uint64_t GetSocketFd();

    // Sends the data: raw mode as it is, packet mode as one packet to `destination` (a
    // kSocketDest value or a client's socket on the server). Null data or a length of 0 or less:
    // "CSocketClient::SendData: parameter invalid!\r\n" and 0. Not connected: 0. A failed send
    // logs "CSocketClient::SendData: Failed, sock=%d!!\r\n", shuts the connection down and gives 0.
    // 1 when every byte was sent. Any thread.
    int SendData(uint64_t destination, const void* data, int length);

    // The last computed rates in bytes per second (socket_rate.h). Any thread.
    int GetSendBytesPerSecond() { return m_sendRate.Get(); }
    int GetRecvBytesPerSecond() { return m_recvRate.Get(); }

    // The receive thread's body (called again and again until it returns 0).
    int ThreadLoop(uint64_t param) override;

protected:
    // A new unconnected socket, -1 on failure (errno set).
    virtual int SocketCreate() = 0;
    // Connects the socket; 1 on success. Must give up soon after *cancel becomes nonzero.
    virtual int SocketConnect(int socket, const char* host, uint16_t port,
                              const std::atomic<int>* cancel) = 0;

private:
    // Reads what is available; false when the connection must end.
    bool ReceiveAvailable(int socket);
    bool ReceivePackets(int socket);
    void EndConnection(int socket, int events);

    CBaseLock m_lock;
    CBaseLock m_sendLock;
    std::atomic<int> m_cancel{0};
    std::atomic<int> m_socket{-1};
    std::atomic<int> m_connected{0};
    int m_raw = 0;
    int m_matchCheck = 0;
    IClientSocketListener* m_listener = nullptr;
    uint64_t m_userValue = 0;
    CBaseThread m_thread;
    PacketRecvState m_recvState;
    SocketRateMeter m_sendRate;
    SocketRateMeter m_recvRate;
};

// A client over TCP/IPv4: connects with AsyncConnect and kTcpConnectTimeLimitMs; small packets
// are not delayed (TCP_NODELAY).
class ORBO_COMMON_API CTCPSocketClient : public CSocketClient {
public:
    // Closes while this class is still whole: the threads call into the object.
    ~CTCPSocketClient() override { Close(); }

protected:
    int SocketCreate() override;
    int SocketConnect(int socket, const char* host, uint16_t port,
                      const std::atomic<int>* cancel) override;
};
