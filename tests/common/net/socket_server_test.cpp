// ctest-labels: net
// TCP clients and servers over 127.0.0.1 in raw and packet mode: exchange, relaying, greeting,
// match checks, disconnects, large and empty packets, refused lengths and cancelled connects.
#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "core/mono_clock.h"
#include "core/size_limits.h"
#include "net/socket_client.h"
#include "net/socket_server.h"
#include "socket_test_support.h"

namespace {

using std::chrono::milliseconds;

class MatchCodeGuard {
public:
    explicit MatchCodeGuard(int code) : m_saved(GetSocketMatchCode()) { SetSocketMatchCode(code); }
    ~MatchCodeGuard() { SetSocketMatchCode(m_saved); }

private:
    int m_saved;
};

class SocketServerTest : public ::testing::Test {
protected:
    void StartServer(int raw, int matchCheck = 1) {
        server.SetListenAddress("127.0.0.1");
        ASSERT_EQ(server.Create(0, raw, matchCheck, &serverListener, 7, "test"), 1);
        port = server.GetServerPort();
        ASSERT_NE(port, 0);
    }

    // Connects a client and waits until the server has its greeting (packet mode) or has
    // accepted it (raw mode).
    void Connect(CTCPSocketClient& client, RecordingClientListener& listener, int raw,
                 int matchCheck = 1) {
        const size_t before = serverListener.Accepted().size();
        ASSERT_EQ(client.Create("127.0.0.1", port, raw, matchCheck, &listener, 3, "c"), 1);
        ASSERT_TRUE(WaitUntil([&] { return serverListener.Accepted().size() > before; }));
        if (!raw) {
            const uint64_t own = client.GetSocketFd();
            ASSERT_TRUE(WaitUntil([&] { return ServerSocketOfConnection(own) != UINT64_MAX; }));
        }
    }

    // The server-side socket of the client that greeted with `connection`.
    uint64_t ServerSocketOfConnection(uint64_t connection) {
        server.LockClient();
        uint64_t found = UINT64_MAX;
        for (int i = 0; i < server.GetClientCount(); ++i) {
            tagCLIENTSOCKETINFO* info = server.GetClientSocketInfo_Locked(i);
            if (info != nullptr && info->connection == static_cast<int64_t>(connection)) {
                found = info->socket;
            }
        }
        server.UnlockClient();
        return found;
    }

    RecordingServerListener serverListener;
    CTCPSocketServer server;
    uint16_t port = 0;
};

TEST_F(SocketServerTest, PacketModeCarriesMessagesBothWays) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    EXPECT_EQ(clientListener.creates.load(), 1);

    const Bytes request = BytesOf("request one");
    ASSERT_EQ(client.SendData(kSocketDestServer, request.data(), static_cast<int>(request.size())),
              1);
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
    const auto messages = serverListener.Messages();
    EXPECT_EQ(messages[0].data, request);

    const Bytes reply = BytesOf("reply");
    ASSERT_EQ(server.SendData(messages[0].socket, reply.data(), static_cast<int>(reply.size())), 1);
    ASSERT_TRUE(WaitUntil([&] { return clientListener.MessageCount() == 1; }));
    EXPECT_EQ(clientListener.Messages()[0], reply);
}

TEST_F(SocketServerTest, GreetingStoresTheClientsOwnSocketAsConnectionNumber) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    EXPECT_NE(ServerSocketOfConnection(client.GetSocketFd()), UINT64_MAX);
    // The greeting itself never reaches the listener.
    EXPECT_EQ(serverListener.MessageCount(), 0u);
}

TEST_F(SocketServerTest, ShortOrForeignGreetingsAreIgnored) {
    StartServer(0);
    UniqueFd plain = ConnectPlain(port);
    ASSERT_TRUE(plain.Valid());
    uint8_t greeting[kSocketGreetingBytes];
    WriteSocketGreeting(1234, greeting);
    Bytes shortGreeting(greeting, greeting + 12);
    Bytes wrongMagic(greeting, greeting + 16);
    wrongMagic[0] ^= 1;
    ASSERT_TRUE(WriteAll(plain.Get(), PacketBytes(kSocketDestGreeting, shortGreeting)));
    ASSERT_TRUE(WriteAll(plain.Get(), PacketBytes(kSocketDestGreeting, wrongMagic)));
    const Bytes marker = BytesOf("after");
    ASSERT_TRUE(WriteAll(plain.Get(), PacketBytes(kSocketDestServer, marker)));
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
    EXPECT_EQ(ServerSocketOfConnection(1234), UINT64_MAX);
}

TEST_F(SocketServerTest, RelaysByDestination) {
    StartServer(0);
    RecordingClientListener listenerA, listenerB;
    CTCPSocketClient clientA, clientB;
    Connect(clientA, listenerA, 0);
    Connect(clientB, listenerB, 0);

    const Bytes toOthers = BytesOf("to others");
    ASSERT_EQ(clientA.SendData(kSocketDestOthers, toOthers.data(), 9), 1);
    const Bytes toAll = BytesOf("to all");
    ASSERT_EQ(clientA.SendData(kSocketDestAll, toAll.data(), 6), 1);
    const uint64_t socketB = ServerSocketOfConnection(clientB.GetSocketFd());
    ASSERT_NE(socketB, UINT64_MAX);
    const Bytes direct = BytesOf("direct to B");
    ASSERT_EQ(clientA.SendData(socketB, direct.data(), static_cast<int>(direct.size())), 1);

    ASSERT_TRUE(WaitUntil([&] { return listenerB.MessageCount() == 3; }));
    ASSERT_TRUE(WaitUntil([&] { return listenerA.MessageCount() == 1; }));
    EXPECT_EQ(listenerB.Messages(), (std::vector<Bytes>{toOthers, toAll, direct}));
    // The sender gets only the "every client" message back.
    EXPECT_EQ(listenerA.Messages(), (std::vector<Bytes>{toAll}));
    EXPECT_EQ(serverListener.MessageCount(), 0u);
}

TEST_F(SocketServerTest, RawModeHandsOnBytesExactlyAsSent) {
    StartServer(1);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 1);
    const Bytes data = PatternBlock(300000);
    ASSERT_EQ(client.SendData(0, data.data(), static_cast<int>(data.size())), 1);
    ASSERT_TRUE(WaitUntil([&] { return serverListener.AllBytes().size() == data.size(); }));
    EXPECT_EQ(serverListener.AllBytes(), data);

    const uint64_t socket = serverListener.Accepted().at(0);
    const Bytes reply = BytesOf("raw reply");
    ASSERT_EQ(server.SendData(socket, reply.data(), static_cast<int>(reply.size())), 1);
    ASSERT_TRUE(WaitUntil([&] { return clientListener.AllBytes().size() == reply.size(); }));
    EXPECT_EQ(clientListener.AllBytes(), reply);
}

TEST_F(SocketServerTest, SixteenMebibytePacketsArriveIntactBothWays) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    const Bytes big = PatternBlock(16u << 20, 5);
    ASSERT_EQ(client.SendData(kSocketDestServer, big.data(), static_cast<int>(big.size())), 1);
    ASSERT_TRUE(
        WaitUntil([&] { return serverListener.MessageCount() == 1; }, std::chrono::seconds(60)));
    const auto messages = serverListener.Messages();
    EXPECT_TRUE(messages[0].data == big);

    ASSERT_EQ(server.SendData(messages[0].socket, big.data(), static_cast<int>(big.size())), 1);
    ASSERT_TRUE(
        WaitUntil([&] { return clientListener.MessageCount() == 1; }, std::chrono::seconds(60)));
    EXPECT_TRUE(clientListener.Messages()[0] == big);
}

TEST_F(SocketServerTest, PacketSplitIntoPiecesIsDeliveredOnceWhole) {
    StartServer(0);
    UniqueFd plain = ConnectPlain(port);
    ASSERT_TRUE(plain.Valid());
    const Bytes payload = PatternBlock(5000, 9);
    const Bytes packet = PacketBytes(kSocketDestServer, payload);
    // Header in three pieces, payload in two; each piece is on the server's side before the
    // next one leaves, so the server most likely reads them apart.
    const size_t cuts[] = {0, 7, 13, 20, 2520, packet.size()};
    for (size_t i = 0; i + 1 < std::size(cuts); ++i) {
        ASSERT_TRUE(WriteAll(plain.Get(), packet.data() + cuts[i], cuts[i + 1] - cuts[i]));
        int pending = 0;
        ASSERT_TRUE(WaitUntil([&] {
            ioctl(plain.Get(), TIOCOUTQ, &pending);
            return pending == 0;
        }));
    }
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
    EXPECT_EQ(serverListener.Messages()[0].data, payload);
}

TEST_F(SocketServerTest, EmptyPacketIsCompleteAndKeepsTheConnection) {
    StartServer(0);
    UniqueFd plain = ConnectPlain(port);
    ASSERT_TRUE(plain.Valid());
    ASSERT_TRUE(WriteAll(plain.Get(), PacketBytes(kSocketDestServer, {})));
    const Bytes after = BytesOf("after the empty one");
    ASSERT_TRUE(WriteAll(plain.Get(), PacketBytes(kSocketDestServer, after)));
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
    EXPECT_EQ(serverListener.Messages()[0].data, after);
    EXPECT_TRUE(serverListener.Closed().empty());
}

struct DroppedHeaderCase {
    const char* name;
    uint32_t magic;
    uint32_t matchCode;
    uint32_t length;  // announced length (no payload follows)
    const char* logText;
};

class SocketServerDropTest : public SocketServerTest,
                             public ::testing::WithParamInterface<DroppedHeaderCase> {};

TEST_P(SocketServerDropTest, BadHeaderDropsTheConnection) {
    MatchCodeGuard code(7);
    StartServer(0);
    LogCapture log;
    UniqueFd plain = ConnectPlain(port);
    ASSERT_TRUE(plain.Valid());
    SocketPacketHeader header;
    header.magic = GetParam().magic;
    header.matchCode = GetParam().matchCode;
    header.destination = kSocketDestServer;
    header.length = GetParam().length;
    Bytes bytes(kSocketPacketHeaderBytes);
    WriteSocketPacketHeader(header, bytes.data());
    ASSERT_TRUE(WriteAll(plain.Get(), bytes));
    EXPECT_TRUE(WaitPeerClosed(plain.Get()));
    ASSERT_TRUE(WaitUntil([&] { return serverListener.Closed().size() == 1; }));
    EXPECT_EQ(serverListener.MessageCount(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return server.GetClientCount() == 0; }));
    EXPECT_TRUE(log.Has(GetParam().logText));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SocketServerDropTest,
    ::testing::Values(DroppedHeaderCase{"WrongMagic", 0xABCDBBBCu, 7, 4, "tag not match"},
                      DroppedHeaderCase{"WrongMatchCode", kSocketPacketMagic, 8, 4,
                                        "code not match, expect:7, actual is 8"},
                      DroppedHeaderCase{"LengthBeyondLimit", kSocketPacketMagic, 7,
                                        kMaxSocketPacketBytes + 1, "beyond the limit"},
                      DroppedHeaderCase{"LengthAllOnes", kSocketPacketMagic, 7, 0xFFFFFFFFu,
                                        "beyond the limit"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SocketServerTest, ReceiverWithMatchCodeZeroAcceptsAnyCode) {
    MatchCodeGuard code(0);
    StartServer(0);
    UniqueFd plain = ConnectPlain(port);
    ASSERT_TRUE(plain.Valid());
    const Bytes payload = BytesOf("code 8");
    ASSERT_TRUE(
        WriteAll(plain.Get(), PacketBytes(kSocketDestServer, payload, kSocketPacketMagic, 8)));
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
}

TEST_F(SocketServerTest, ServerWithoutMatchCheckAcceptsOtherCodes) {
    MatchCodeGuard code(7);
    StartServer(0, 0);
    UniqueFd plain = ConnectPlain(port);
    ASSERT_TRUE(plain.Valid());
    ASSERT_TRUE(
        WriteAll(plain.Get(), PacketBytes(kSocketDestServer, BytesOf("x"), kSocketPacketMagic, 8)));
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
}

TEST_F(SocketServerTest, ClientSeesServerSideDisconnectWithinOneSecond) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    const uint64_t serverSide = ServerSocketOfConnection(client.GetSocketFd());
    server.CloseClient(serverSide);
    EXPECT_TRUE(
        WaitUntil([&] { return clientListener.disconnects.load() == 1; }, milliseconds(1000)));
    EXPECT_EQ(client.IsConnect(), 0);
    EXPECT_EQ(client.GetSocketFd(), UINT64_MAX);
    // Sending on the ended connection fails without a signal killing the process.
    EXPECT_EQ(client.SendData(kSocketDestServer, "x", 1), 0);
}

TEST_F(SocketServerTest, ServerSeesClientCloseWithinOneSecond) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    client.Close();
    EXPECT_TRUE(WaitUntil([&] { return serverListener.Closed().size() == 1; }, milliseconds(1000)));
    EXPECT_TRUE(WaitUntil([&] { return server.GetClientCount() == 0; }));
}

TEST_F(SocketServerTest, ListenerRefusalClosesTheConnection) {
    StartServer(0);
    serverListener.acceptResult = 0;
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    client.Create("127.0.0.1", port, 0, 1, &clientListener, 0, "refused");
    EXPECT_TRUE(WaitUntil([&] { return clientListener.disconnects.load() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return serverListener.Closed().size() == 1; }));
}

TEST_F(SocketServerTest, ReceiveResultZeroClosesThatClientOnly) {
    StartServer(0);
    serverListener.receiveResult = 0;
    RecordingClientListener listenerA, listenerB;
    CTCPSocketClient clientA, clientB;
    Connect(clientA, listenerA, 0);
    Connect(clientB, listenerB, 0);
    ASSERT_EQ(clientA.SendData(kSocketDestServer, "bye", 3), 1);
    EXPECT_TRUE(WaitUntil([&] { return listenerA.disconnects.load() == 1; }));
    EXPECT_EQ(clientB.IsConnect(), 1);
    EXPECT_EQ(listenerB.disconnects.load(), 0);
}

TEST_F(SocketServerTest, ClientListenerResultZeroEndsItsConnection) {
    StartServer(0);
    RecordingClientListener clientListener;
    clientListener.result = 0;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    const uint64_t serverSide = ServerSocketOfConnection(client.GetSocketFd());
    ASSERT_EQ(server.SendData(serverSide, "x", 1), 1);
    EXPECT_TRUE(WaitUntil([&] { return clientListener.disconnects.load() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return serverListener.Closed().size() == 1; }));
}

TEST_F(SocketServerTest, SendingNothingIsRefused) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    EXPECT_EQ(client.SendData(kSocketDestServer, nullptr, 4), 0);
    EXPECT_EQ(client.SendData(kSocketDestServer, "x", 0), 0);
    EXPECT_EQ(server.SendData(0, nullptr, 1), 0);
    EXPECT_EQ(server.SendData(987654, "x", 1), 0);  // no such client
    EXPECT_EQ(client.IsConnect(), 1);
}

TEST_F(SocketServerTest, CreateFailsForAnEmptyHostOrARefusedConnect) {
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    EXPECT_EQ(client.Create("", 1, 0, 1, &clientListener, 0, "x"), 0);
    // A port on which nothing listens: a closed server's former port.
    StartServer(0);
    const uint16_t freed = port;
    server.Close();
    EXPECT_EQ(client.Create("127.0.0.1", freed, 0, 1, &clientListener, 0, "x"), 0);
    EXPECT_EQ(client.IsConnect(), 0);
}

// A port another server listens on: the bind fails and is logged with the port and the error,
// the second server is left without a listening socket, and the first one keeps serving.
TEST_F(SocketServerTest, CreateOnAPortAnotherServerListensOnFails) {
    StartServer(1);
    RecordingServerListener secondListener;
    CTCPSocketServer second;
    second.SetListenAddress("127.0.0.1");
    LogCapture log;
    EXPECT_EQ(second.Create(port, 1, 1, &secondListener, 0, "second"), 0);
    EXPECT_TRUE(log.Has("Server Bind Port : " + std::to_string(port) +
                             " Failed, error=" + std::to_string(EADDRINUSE)));
    EXPECT_EQ(second.GetServerPort(), 0);
    EXPECT_TRUE(ConnectPlain(port).Valid());
}

TEST_F(SocketServerTest, CloseStopsAConnectThatCannotComplete) {
    // A listener whose backlog is full drops further connection requests, so a connect to it
    // stays under way until it is cancelled.
    UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener.Get(), 0), 0);
    socklen_t size = sizeof(address);
    getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    std::vector<UniqueFd> fillers;
    for (int i = 0; i < 3; ++i) {
        UniqueFd filler(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        connect(filler.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
        fillers.push_back(std::move(filler));
    }

    RecordingClientListener clientListener;
    CTCPSocketClient client;
    const uint64_t start = MonoTimeMs();
    auto result = std::async(std::launch::async, [&] {
        return client.Create("127.0.0.1", ntohs(address.sin_port), 0, 1, &clientListener, 0, "c");
    });
    ASSERT_TRUE(WaitUntil([&] { return clientListener.creates.load() == 1; }));
    client.Close();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
    // Well inside the connect's own time limit of 5 s.
    EXPECT_LT(MonoTimeMs() - start, 2500u);
}

TEST_F(SocketServerTest, ServerCloseEndsEveryClient) {
    StartServer(0);
    RecordingClientListener listenerA, listenerB;
    CTCPSocketClient clientA, clientB;
    Connect(clientA, listenerA, 0);
    Connect(clientB, listenerB, 0);
    server.Close();
    EXPECT_EQ(serverListener.Closed().size(), 2u);
    EXPECT_EQ(server.IsCreated(), 0);
    EXPECT_EQ(server.GetServerFd(), UINT64_MAX);
    EXPECT_TRUE(WaitUntil(
        [&] { return listenerA.disconnects.load() == 1 && listenerB.disconnects.load() == 1; }));
    EXPECT_EQ(server.SendData(0, "x", 1), 0);
}

TEST_F(SocketServerTest, AServerCanListenAgainOnThePortItJustClosed) {
    StartServer(0);
    RecordingClientListener clientListener;
    CTCPSocketClient client;
    Connect(client, clientListener, 0);
    ASSERT_EQ(client.SendData(kSocketDestServer, "x", 1), 1);
    ASSERT_TRUE(WaitUntil([&] { return serverListener.MessageCount() == 1; }));
    // The server ends the connection first, so its side lingers in TIME_WAIT.
    const uint16_t first = port;
    server.Close();
    ASSERT_TRUE(WaitUntil([&] { return clientListener.disconnects.load() == 1; }));
    client.Close();
    server.SetListenAddress("127.0.0.1");
    EXPECT_EQ(server.Create(first, 0, 1, &serverListener, 0, "again"), 1);
}

}  // namespace
