// Sending and receiving on sockets: framed packets and raw bytes on stream sockets, datagrams on
// UDP sockets. The functions work on blocking and non-blocking sockets alike.
//
// Sends never raise SIGPIPE. A send waits for room in the socket (up to kSocketSendTimeLimitMs
// in all) instead of handing over part of a packet: a send either puts every byte on the
// connection or fails, after which the connection is out of step and must be shut down.
// Receives never wait. A readable stream socket with nothing to read has ended: that is reported
// as a closed connection, never as "nothing yet", so no receive loop spins on a dead peer.
//
// Several threads must not send on one socket at once (the socket classes serialise their
// sends); any thread may call these functions.
#pragma once

#include <cstdint>
#include <memory>

#include "core/common_api.h"
#include "socket_packet.h"

// Total time one send may wait for room in the socket.
constexpr uint32_t kSocketSendTimeLimitMs = 60000;
// The largest UDP payload over IPv4: longer data goes out in pieces of this size.
constexpr int kMaxUdpDatagramBytes = 65507;
// The default destination of UDP broadcasts: the limited broadcast address.
constexpr const char* kUdpLimitedBroadcastAddress = "255.255.255.255";

// Sends one packet (header with the process's match code and the destination, then the data).
// 0 for null data, a length of 0 or less or beyond kMaxSocketPacketBytes; 0 with "SendTCPPacket
// failed, error(%d) ----\r\n" when the send fails or times out; 1 when every byte was sent.
ORBO_COMMON_API int SendTCPPacket(int socket, uint64_t destination, const void* data, int length);

// One receiving step of packet mode on a socket (ReceivePacketStep in socket_packet.h): call it
// whenever the socket is readable; a packet may need several calls. 1 = fine (check
// state->complete), 0 = the connection has ended or sent something it must be dropped for.
ORBO_COMMON_API int RecvTCPPacket(int socket, int matchCheck, PacketRecvState* state);

// The packet receive source of a socket: FIONREAD for what is available, and a peek to tell "no
// data yet" from "the peer has closed". Bytes the system reported stay readable until this source
// reads them, so while they last it does not ask again: one source serves a run of steps on one
// thread (a new one for every run, since others may have read meanwhile).
class ORBO_COMMON_API SocketPacketSource : public PacketByteSource {
public:
    explicit SocketPacketSource(int socket) : m_socket(socket) {}
    int64_t Available() override;
    int64_t Read(uint8_t* out, size_t count) override;
    int LastError() const override { return m_error; }
    int Socket() const { return m_socket; }

private:
    int m_socket;
    int m_error = 0;
    int64_t m_known = 0;  // bytes the system reported and this source has not read yet
};

// As above, for a run of steps with one source.
ORBO_COMMON_API int RecvTCPPacket(SocketPacketSource& source, int matchCheck,
                                  PacketRecvState* state);

// Sends the bytes as they are. 0 for null data or a length of 0 or less; 0 with "send failed,
// error(%d):%s ----\r\n" when the send fails or times out; 1 when every byte was sent.
ORBO_COMMON_API int SendTCPRaw(int socket, const void* data, int length);

// Reads what the socket has available (at most kSocketRawReadBytes) into a new block handed to
// the caller. 1 with a block and its length; 1 with no block (length 0) when nothing is available
// and the connection is open; 0 when the connection has ended ("RecvTCPRaw socket closed,
// nSocketFD = %d\r\n") or the read failed ("RecvTCPRaw recv invalid, socket=%d, expect:%d,
// actual:%d, error=%d\r\n").
constexpr int kSocketRawReadBytes = 1 << 20;
ORBO_COMMON_API int RecvTCPRaw(int socket, std::unique_ptr<uint8_t[]>* block, int* length);

// Reads one datagram, if one is waiting, into a new block of the largest datagram size. 1 with a
// block and the datagram's length (an empty datagram gives a block and length 0); 1 with no block
// when nothing is waiting; 0 when the socket failed ("RecvUDPRaw socket closed, nSocketFD =
// %d\r\n"). The sender's IPv4 address (network byte order) and port go to the outputs given.
ORBO_COMMON_API int RecvUDPRaw(int socket, uint32_t* senderAddress, uint16_t* senderPort,
                               std::unique_ptr<uint8_t[]>* block, int* length);

// Sends the data to `address` (dotted IPv4 text; null = the limited broadcast address) on the
// port, in datagrams of at most kMaxUdpDatagramBytes, each waiting at most
// kSocketSendTimeLimitMs for room. 1 when every piece went out; 0 for null data, a length of 0 or
// less, a bad address, or a failed send ("send failed, error(%d) ----\r\n").
ORBO_COMMON_API int SendUDPRaw(int socket, uint16_t port, const void* data, int length,
                               const char* address = nullptr);

// As SendUDPRaw on the given socket, or on a temporary UDP socket when socket is -1; broadcasts
// are enabled on it first. sendTimeLimitMs (when not 0) limits each datagram's wait instead of
// kSocketSendTimeLimitMs. 1 when everything was sent.
ORBO_COMMON_API int BoradcastRaw(int socket, uint16_t port, const void* data, int length,
                                 uint32_t sendTimeLimitMs, const char* address = nullptr);
