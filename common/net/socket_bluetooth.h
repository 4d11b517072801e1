// Stream sockets over Bluetooth RFCOMM (BlueZ): the Bluetooth variants of CSocketClient and
// CSocketServer, with the same modes, threads and listeners (socket_client.h, socket_server.h).
//
// CBTHSocketClient: the host text is a device name. Connecting runs an inquiry of the nearby
// devices (the adapter's cache flushed), takes the first device whose name equals the host text
// ignoring the case of A-Z, asks its service directory for the Serial Port Profile
// (00001101-0000-1000-8000-00805F9B34FB) and connects to that service's RFCOMM channel. The port
// is not used.
// CBTHSocketServer: listens on an RFCOMM socket bound to any free channel, backlog
// kSocketListenBacklog; the port is not used.
//
// Where the system offers no Bluetooth (no RFCOMM sockets, EAFNOSUPPORT, or no adapter), Create
// fails cleanly with a log line that says so.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/common_api.h"
#include "socket_client.h"
#include "socket_server.h"

// Inquiry length in units of 1.28 s, and the longest wait for one device's name.
constexpr int kBluetoothInquiryUnits = 8;
constexpr int kBluetoothNameTimeLimitMs = 5000;
// Time limit of the RFCOMM connect itself, once the device and channel are known.
constexpr uint32_t kBluetoothConnectTimeLimitMs = 10000;

class ORBO_COMMON_API CBTHSocketClient : public CSocketClient {
public:
    // Closes while this class is still whole: the threads call into the object.
    ~CBTHSocketClient() override { Close(); }

protected:
    int SocketCreate() override;
    int SocketConnect(int socket, const char* host, uint16_t port,
                      const std::atomic<int>* cancel) override;
};

class ORBO_COMMON_API CBTHSocketServer : public CSocketServer {
public:
    // Closes while this class is still whole: the threads call into the object.
    ~CBTHSocketServer() override { Close(); }

protected:
    int SocketCreate(uint16_t port) override;
    int SocketAccept(int listeningSocket) override;
};
