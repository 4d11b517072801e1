// CUDPSocket: a UDP socket for broadcasts. It sends datagrams to a broadcast address and hands
// every datagram it receives from elsewhere to an IUDPSocketListener on its thread "UDP_<name>".
//
// The broadcast address is a setting of the socket: the limited broadcast address
// 255.255.255.255 by default, or any address set with SetBroadcastAddress (a subnet's broadcast
// address, or 127.255.255.255, which the loopback device delivers and which never leaves the
// machine). The socket's own broadcasts come back to it; a datagram counts as such an echo, and
// is dropped, when its source port is the socket's port and its source address is one of this
// machine's addresses.
//
// Threads: Create and Close are serialised by the object's lock; SendData and the setters may be
// called from any thread; the listener runs on the socket's thread and must not call Create or
// Close.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/base_lock.h"
#include "core/base_string.h"
#include "core/base_thread.h"
#include "core/common_api.h"
#include "socket_listener.h"

// Receive buffer size of the socket.
constexpr int kUdpReceiveBufferBytes = 0x100000;
// The machine's address list used for echo detection is read again after this long.
constexpr uint64_t kUdpAddressRefreshMs = 5000;

class ORBO_COMMON_API CUDPSocket : public IThreadFuncInterface {
public:
    CUDPSocket() = default;
    // Closes the socket.
    ~CUDPSocket() override;
    CUDPSocket(const CUDPSocket&) = delete;
    CUDPSocket& operator=(const CUDPSocket&) = delete;

    // Closes an earlier socket, makes a UDP socket ("%s create error, code = %d\r\n" with
    // "CUDPSocket::Create"), allows broadcasts and address reuse, binds it to the local address
    // (null: any) and port (0: any free port) ("%s bind error(addr=%s, port=%d), code = %d\r\n" or
    // "%s BindPort(addr=%s, port=%d) Success!\r\n" with "CUDPSocket::Bind"), sets the receive
    // buffer, stores listener and user value, starts the thread and logs "udp bind to(%d),
    // mSocketFD=%d\r\n". 1 on success; any failure closes the socket and gives 0.
    int Create(const char* localAddress, uint16_t port, IUDPSocketListener* listener,
               uint64_t userValue, const char* name);
    // Joins the thread and releases the socket.
    void Close();
    // 1 while the socket is usable (a failed send ends it).
    int IsCreated();
    // The port the socket is bound to, 0 when closed.
    uint16_t GetLocalPort();
    // The local address given to Create ("0.0.0.0" for any), at most 15 characters.
    const char* GetLocalAddress() const { return m_localAddress.GetString(); }

    // Where SendData sends: dotted IPv4 text; null or empty restores 255.255.255.255.
    void SetBroadcastAddress(const char* address);

    // Broadcasts the data to the broadcast address on the port, in datagrams of at most
    // kMaxUdpDatagramBytes. Null data or length 0: "CUDPSocket::SendData: parameter invalid!\r\n";
    // no socket: "CUDPSocket::SendData: mSocketFD is closed!!\r\n"; a failed send logs
    // "CUDPSocket::SendData: Failed, sock=%d!!\r\n" and ends the socket (its thread stops; Close
    // or Create releases it). 1 when everything was sent.
    int SendData(uint16_t port, const void* data, int length);

    int ThreadLoop(uint64_t param) override;

private:
    bool IsOwnEcho(uint32_t senderAddress, uint16_t senderPort);

    CBaseLock m_lock;
    CBaseLock m_settingsLock;
    std::atomic<int> m_socket{-1};
    std::atomic<int> m_created{0};
    uint16_t m_port = 0;
    CBaseStringA m_localAddress;
    CBaseStringA m_broadcastAddress;
    IUDPSocketListener* m_listener = nullptr;
    uint64_t m_userValue = 0;
    CBaseThread m_thread;
    // This machine's addresses (network order) and when they were read; the thread's own.
    std::vector<uint32_t> m_machineAddresses;
    uint64_t m_addressesReadAt = 0;
};
