// System-level helpers of the socket classes: waiting sends, peeking at a connection's state,
// socket options. Internal to common/net; any thread.
#pragma once

#include <netinet/in.h>
#include <sys/uio.h>

#include <cstdint>
#include <functional>

class CBaseStringA;

// Sends every byte of the vectors (to `target` when given, for datagrams), waiting for room in
// the socket while `timeLimitMs` has not passed. False with *error set (ETIMEDOUT when the time
// ran out) on failure. Never raises SIGPIPE. The vectors are consumed.
bool SendVectors(int socket, iovec* vectors, int count, const sockaddr_in* target,
                 uint32_t timeLimitMs, int* error);

// 1 when bytes are waiting, 0 when nothing is waiting and the connection is open, -1 when the
// connection has ended or failed (*error gets the system error, 0 for an orderly end).
int PeekSocketState(int socket, int* error);

// Binds the socket to the address and makes it listen: the socket, or -1 after closing it with
// errno of the failed call. A failed bind is logged by logBindFailure(error), which names the
// address in the caller's words; a failed listen is logged here.
int BindAndListen(int socket, const sockaddr* address, socklen_t size, int backlog,
                  const std::function<void(int error)>& logBindFailure);

// Switches O_NONBLOCK on or off; false on failure.
bool SetSocketNonBlocking(int socket, bool nonBlocking);

// The local port a socket is bound to; 0 when it cannot be read.
uint16_t SocketLocalPort(int socket);

// shutdown(SHUT_RDWR) for a socket number that may be -1.
void ShutdownSocket(int socket);

// The peer of a connected socket as text and port: dotted IPv4 and its port, or a Bluetooth
// device address ("01:23:45:67:89:AB") and its RFCOMM channel. Empty text and 0 when unknown.
void DescribeSocketPeer(int socket, CBaseStringA* address, uint16_t* port);
