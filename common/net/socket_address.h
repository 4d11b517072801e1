// Addresses and connections: IPv4 address text, host name resolution, a connect that can be
// cancelled, and questions about a connected socket. No state is kept: any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include "core/common_api.h"

class CBaseStringA;

// How often AsyncConnect looks at its cancel flag while a connection is under way.
constexpr int kConnectPollSliceMs = 100;

// Connects the socket to host:port. A host that is not dotted IPv4 text is resolved first
// (ResolveHostname); failure gives 0. The connection is attempted non-blocking; while it is
// under way AsyncConnect waits in slices of kConnectPollSliceMs, at most timeLimitMs / 100 slices
// (at least one), and gives up when *cancel (if given) becomes nonzero ("%s: cancel connect\r\n"
// with "AsyncConnect", level 3) or a wait fails. 1 when connected (the socket's pending error is
// 0). The socket is blocking again afterwards.
ORBO_COMMON_API int AsyncConnect(int socket, const char* host, uint16_t port, uint32_t timeLimitMs,
                                 const std::atomic<int>* cancel);

// 1 when the text has exactly four parts separated by dots, each made only of decimal digits (an
// empty part counts as 0), each at most 255, and the first not 0. Else 0 (also for null).
ORBO_COMMON_API int IsValidSocketAddrV4(const char* text);

// Asks the system's resolver for the host and takes the first IPv4 stream (or unspecified
// protocol) address whose dotted text passes IsValidSocketAddrV4: *out gets it, "resolve
// hostname:%s, ip:%s\r\n" is logged and the result is 1. 0 when there is none.
ORBO_COMMON_API int ResolveHostname(const char* host, CBaseStringA* out);

// The address of text that passes IsValidSocketAddrV4, in network byte order: 1 and *out set;
// 0 (and *out 0) otherwise.
ORBO_COMMON_API int IPAddrStringToUINT32(const char* text, uint32_t* out);

// The peer's dotted address (into out, `size` bytes with the terminator) and port. 0 with
// "getpeername of socket %d error:%d\r\n" (level 4) when it cannot be read.
ORBO_COMMON_API uint16_t GetPeerAddrPort(int socket, char* out, int size);

// 1 when an immediate poll of the socket reports an error, a hang-up or the peer's end of
// stream; else 0.
ORBO_COMMON_API int IsSocketClosed(int socket);
