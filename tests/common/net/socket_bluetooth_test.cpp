// ctest-labels: net
// Bluetooth sockets where the system offers them and where it does not: without RFCOMM sockets
// or an adapter, Create fails cleanly with a log line that says so.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>

#include "core/unique_fd.h"
#include "net/socket_bluetooth.h"
#include "socket_test_support.h"

namespace {

// Whether this system can make an RFCOMM socket at all.
bool RfcommAvailable() {
    UniqueFd probe(socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, 3 /* BTPROTO_RFCOMM */));
    return probe.Valid();
}

TEST(SocketBluetooth, ServerFailsCleanlyWithoutRfcommOrListensWithIt) {
    LogCapture log;
    RecordingServerListener listener;
    CBTHSocketServer server;
    const int created = server.Create(0, 0, 1, &listener, 0, "bth");
    if (!RfcommAvailable()) {
        EXPECT_EQ(created, 0);
        EXPECT_EQ(server.IsCreated(), 0);
        EXPECT_TRUE(log.Has("Bluetooth RFCOMM sockets are not available here"));
        EXPECT_TRUE(log.Has("Create MsgServer Socket Failed"));
    } else if (created) {
        EXPECT_EQ(server.IsCreated(), 1);
        server.Close();
        EXPECT_EQ(server.IsCreated(), 0);
    } else {
        EXPECT_TRUE(log.Has("Server Bind BTH Failed") || log.Has("MsgServer Listen Failed"));
    }
}

TEST(SocketBluetooth, ClientForAnUnknownDeviceFailsCleanly) {
    LogCapture log;
    RecordingClientListener listener;
    CBTHSocketClient client;
    EXPECT_EQ(client.Create("no such device name", 0, 0, 1, &listener, 0, "bth"), 0);
    EXPECT_EQ(client.IsConnect(), 0);
    EXPECT_EQ(listener.disconnects.load(), 0);
    if (!RfcommAvailable()) {
        EXPECT_TRUE(log.Has("Bluetooth RFCOMM sockets are not available here"));
        EXPECT_TRUE(
            log.Has("tcp client socket create fail, errno=" + std::to_string(EAFNOSUPPORT)) ||
            log.Has("tcp client socket create fail"));
    } else {
        EXPECT_TRUE(log.Has("no Bluetooth adapter") || log.Has("no Bluetooth device") ||
                    log.Has("Bluetooth inquiry failed") || log.Has("cannot be opened"));
    }
}

}  // namespace
