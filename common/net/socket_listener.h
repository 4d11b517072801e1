// What the socket classes tell their owners, and the record a server keeps per connected client.
//
// Listeners are called on the socket objects' own threads (see socket_client.h, socket_server.h,
// udp_socket.h). The default of every operation does nothing and, where a result is expected,
// returns 1.
#pragma once

#include <cstdint>

#include "core/base_string.h"
#include "core/common_api.h"
#include "core/ptr_list_ctrl.h"
#include "socket_packet.h"

// One message received from a client and queued for the server's dispatch thread.
struct ORBO_COMMON_API tagCLIENTSOCKETBUFFER {
    int64_t destination = 0;  // -3 for raw-mode data
    std::unique_ptr<uint8_t[]> data;
    int32_t length = 0;
};

// One client connected to a server. Read it only under the server's LockClient().
struct ORBO_COMMON_API tagCLIENTSOCKETINFO {
    uint64_t socket = UINT64_MAX;
    // The number the client sent in its greeting; -1 until a greeting arrives.
    int64_t connection = -1;
    CBaseStringA peerAddress;
    uint16_t peerPort = 0;
    // Set when the connection has ended or was refused; the close thread then removes the client.
    int32_t closing = 0;
    // Raised while the server sends to this client, so the client is not removed meanwhile.
    int32_t inUse = 0;
    // Received messages (tagCLIENTSOCKETBUFFER*) in arrival order, owned by the record.
    CPtrListCtrl queue;
    // Bytes of payload waiting in the queue.
    uint64_t queuedBytes = 0;
    PacketRecvState receiveState;
    // A number unique to this connection on its server, never reused (socket numbers are).
    uint64_t serial = 0;
};

class ORBO_COMMON_API IClientSocketListener {
public:
    virtual ~IClientSocketListener() = default;
    // The socket was made; the user value is 0 here (it is stored only after the connection).
    virtual void OnClientSocketCreate(uint64_t userValue, uint64_t socket) {
        (void)userValue;
        (void)socket;
    }
    // Data from the server: a packet's payload (packet mode) or the bytes as read (raw mode).
    // 0 closes the connection.
    virtual int OnClientReceiveData(uint64_t userValue, uint64_t socket, const uint8_t* data,
                                    int length) {
        (void)userValue;
        (void)socket;
        (void)data;
        (void)length;
        return 1;
    }
    // The connection has ended (peer closed, error, refusal).
    virtual void OnClientDisconnectFromServer(uint64_t userValue, uint64_t socket) {
        (void)userValue;
        (void)socket;
    }
};

class ORBO_COMMON_API IServerSocketListener {
public:
    virtual ~IServerSocketListener() = default;
    // The listening socket was made; the user value is 0 here.
    virtual void OnServerSocketCreate(uint64_t userValue, uint64_t listeningSocket) {
        (void)userValue;
        (void)listeningSocket;
    }
    // A client connected; 0 refuses it (it is closed).
    virtual int OnServerAcceptClient(uint64_t userValue, tagCLIENTSOCKETINFO* client) {
        (void)userValue;
        (void)client;
        return 1;
    }
    // A client is being removed (its socket is still open during the call).
    virtual void OnServerCloseClient(uint64_t userValue, tagCLIENTSOCKETINFO* client) {
        (void)userValue;
        (void)client;
    }
    // A message for the server (destination -3, or any raw-mode data); 0 closes that client.
    virtual int OnServerReceiveData(uint64_t userValue, tagCLIENTSOCKETINFO* client,
                                    const uint8_t* data, int length) {
        (void)userValue;
        (void)client;
        (void)data;
        (void)length;
        return 1;
    }
};

class ORBO_COMMON_API IUDPSocketListener {
public:
    virtual ~IUDPSocketListener() = default;
    // A datagram from another socket (never the socket's own broadcast).
    virtual void OnUDPDataReceived(uint64_t userValue, const uint8_t* data, int length) {
        (void)userValue;
        (void)data;
        (void)length;
    }
};
