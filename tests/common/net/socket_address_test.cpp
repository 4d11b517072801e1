// ctest-labels: net
// Address text, host resolution, peers and closed sockets on 127.0.0.1, and the adapter list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include <fcntl.h>

#include "core/base_string.h"
#include "net/socket_adapters.h"
#include "net/socket_address.h"
#include "socket_test_support.h"

namespace {

// A connected pair of sockets over 127.0.0.1.
struct LoopbackPair {
    LoopbackPair() {
        UniqueFd server(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(server.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(server.Get(), 1);
        socklen_t size = sizeof(address);
        getsockname(server.Get(), reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        client = ConnectPlain(port);
        accepted = UniqueFd(accept(server.Get(), nullptr, nullptr));
    }
    uint16_t port = 0;
    UniqueFd client;
    UniqueFd accepted;
};

TEST(SocketAddress, ValidatesDottedIPv4Text) {
    const struct {
        const char* text;
        int valid;
    } cases[] = {{"192.168.1.1", 1},
                 {"0.1.2.3", 0},
                 {"1.2.3", 0},
                 {"1.2.3.4.5", 0},
                 {"256.1.1.1", 0},
                 {"1.2.a.4", 0},
                 {"1..2.3", 1},
                 {"127.0.0.1", 1},
                 {"1.2.3.255", 1},
                 {"1.2.3.256", 0},
                 {"", 0},
                 {" 1.2.3.4", 0},
                 {"1.2.3.4.", 0},
                 {"001.002.003.004", 1},
                 {"99999999999.1.1.1", 0}};
    for (const auto& c : cases) EXPECT_EQ(IsValidSocketAddrV4(c.text), c.valid) << c.text;
    EXPECT_EQ(IsValidSocketAddrV4(nullptr), 0);
}

TEST(SocketAddress, ConvertsAddressTextToNetworkOrder) {
    uint32_t value = 1;
    ASSERT_EQ(IPAddrStringToUINT32("192.168.1.20", &value), 1);
    EXPECT_EQ(value, htonl(0xC0A80114));
    ASSERT_EQ(IPAddrStringToUINT32("10..0.1", &value), 1);
    EXPECT_EQ(value, htonl(0x0A000001));
    EXPECT_EQ(IPAddrStringToUINT32("0.0.0.0", &value), 0);
    EXPECT_EQ(value, 0u);
}

TEST(SocketAddress, ResolvesLocalhost) {
    CBaseStringA address;
    ASSERT_EQ(ResolveHostname("localhost", &address), 1);
    EXPECT_EQ(IsValidSocketAddrV4(address.GetString()), 1);
    EXPECT_EQ(address.GetString()[0], '1');
    EXPECT_EQ(ResolveHostname("", &address), 0);
}

TEST(SocketAddress, ReadsThePeerAndNoticesItsEnd) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.client.Valid());
    char text[32];
    EXPECT_EQ(GetPeerAddrPort(pair.client.Get(), text, sizeof(text)), pair.port);
    EXPECT_STREQ(text, "127.0.0.1");
    EXPECT_EQ(IsSocketClosed(pair.client.Get()), 0);
    pair.accepted.Close();
    EXPECT_TRUE(WaitUntil([&] { return IsSocketClosed(pair.client.Get()) == 1; }));

    LogCapture log;
    UniqueFd unconnected(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_EQ(GetPeerAddrPort(unconnected.Get(), text, sizeof(text)), 0);
    EXPECT_TRUE(log.Has("getpeername of socket"));
}

TEST(SocketAddress, AsyncConnectReachesAListenerAndReportsARefusal) {
    UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener.Get(), 1), 0);
    socklen_t size = sizeof(address);
    getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    const uint16_t port = ntohs(address.sin_port);
    std::atomic<int> cancel{0};
    UniqueFd reaching(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_EQ(AsyncConnect(reaching.Get(), "127.0.0.1", port, 1000, &cancel), 1);
    // The socket is blocking again afterwards.
    EXPECT_EQ(fcntl(reaching.Get(), F_GETFL) & O_NONBLOCK, 0);
    listener.Close();
    UniqueFd refused(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_EQ(AsyncConnect(refused.Get(), "127.0.0.1", port, 1000, &cancel), 0);
}

TEST(SocketAdapters, ListsTheLoopbackAdapterWithItsAddress) {
    NetAdapterInfo* list = MyGetAdaptersInfo();
    ASSERT_NE(list, nullptr);
    bool sawLoopback = false;
    for (const NetAdapterInfo* entry = list; entry != nullptr; entry = entry->next) {
        if (entry->kind == NetAdapterKind::Loopback) {
            sawLoopback = true;
            EXPECT_STREQ(entry->ipAddress, "127.0.0.1");
            EXPECT_EQ(IsNetworkAvailable(entry->name), 1);
        }
    }
    MyFreeAdaptersInfo(list);
    EXPECT_TRUE(sawLoopback);
    EXPECT_EQ(IsNetworkAvailable("no-such-adapter0"), 0);
    EXPECT_EQ(IsNetworkAvailable(nullptr), 0);

    std::vector<uint32_t> addresses;
    ASSERT_TRUE(GetLocalIPv4Addresses(&addresses));
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), htonl(INADDR_LOOPBACK)),
              addresses.end());
}

TEST(SocketAdapters, MacAddressesAreTwelveUpperCaseHexDigits) {
    CBaseStringA mac;
    if (GetEthMacAddress(&mac, 0)) {
        ASSERT_EQ(mac.GetLength(), 12);
        for (int i = 0; i < 12; ++i) {
            const char c = mac.GetString()[i];
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << c;
        }
    } else {
        EXPECT_EQ(mac.GetLength(), 0);
    }
    CBaseStringA name;
    if (GetAvailbalEthNetworkInterface(&name)) {
        EXPECT_EQ(IsNetworkAvailable(name.GetString()), 1);
    }
}

TEST(SocketAdapters, MacTextBecomesAtMostSixBytes) {
    uint8_t out[6] = {};
    EXPECT_EQ(MacAddrStringToBuffer("00:1A:2b:3C:4d:5E", out), 6);
    const uint8_t expected[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_TRUE(std::equal(out, out + 6, expected));
    uint8_t more[6] = {};
    EXPECT_EQ(MacAddrStringToBuffer("112233445566778899", more), 6);
    EXPECT_EQ(more[5], 0x66);
    uint8_t few[6] = {};
    EXPECT_EQ(MacAddrStringToBuffer("AB:CD", few), 2);
    EXPECT_EQ(few[1], 0xCD);
}

}  // namespace
