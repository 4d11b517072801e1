// ctest-labels: net
// UDP broadcasts inside the machine: the broadcast address is set to 127.255.255.255, which the
// loopback device delivers and which never leaves the machine.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "net/socket_io.h"
#include "net/udp_socket.h"
#include "socket_test_support.h"

namespace {

constexpr const char* kLoopbackBroadcast = "127.255.255.255";

class RecordingUdpListener : public IUDPSocketListener {
public:
    void OnUDPDataReceived(uint64_t userValue, const uint8_t* data, int length) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        EXPECT_EQ(userValue, 5u);
        m_datagrams.emplace_back(data, data + length);
    }
    std::vector<Bytes> Datagrams() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_datagrams;
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_datagrams.size();
    }

private:
    std::mutex m_mutex;
    std::vector<Bytes> m_datagrams;
};

class UdpSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(first.Create(nullptr, 0, &firstListener, 5, "first"), 1);
        ASSERT_EQ(second.Create(nullptr, 0, &secondListener, 5, "second"), 1);
        first.SetBroadcastAddress(kLoopbackBroadcast);
        second.SetBroadcastAddress(kLoopbackBroadcast);
    }

    RecordingUdpListener firstListener, secondListener;
    CUDPSocket first, second;
};

TEST_F(UdpSocketTest, BroadcastReachesAnotherSocketButNotItsSender) {
    EXPECT_STREQ(first.GetLocalAddress(), "0.0.0.0");
    const Bytes own = BytesOf("own echo");
    // To its own port: it comes back to the sender, which must drop it.
    ASSERT_EQ(first.SendData(first.GetLocalPort(), own.data(), static_cast<int>(own.size())), 1);
    const Bytes hello = BytesOf("hello");
    ASSERT_EQ(first.SendData(second.GetLocalPort(), hello.data(), 5), 1);
    ASSERT_TRUE(WaitUntil([&] { return secondListener.Count() == 1; }));
    EXPECT_EQ(secondListener.Datagrams()[0], hello);
    // A datagram from the other socket arrives after the echo (one queue, in order): once it is
    // there, the echo has been seen and dropped.
    const Bytes reply = BytesOf("reply");
    ASSERT_EQ(second.SendData(first.GetLocalPort(), reply.data(), 5), 1);
    ASSERT_TRUE(WaitUntil([&] { return firstListener.Count() == 1; }));
    EXPECT_EQ(firstListener.Datagrams(), std::vector<Bytes>{reply});
}

TEST_F(UdpSocketTest, LongDataGoesOutInDatagramsOfTheLargestSize) {
    const Bytes data = PatternBlock(kMaxUdpDatagramBytes + 1000, 3);
    ASSERT_EQ(first.SendData(second.GetLocalPort(), data.data(), static_cast<int>(data.size())), 1);
    ASSERT_TRUE(WaitUntil([&] { return secondListener.Count() == 2; }));
    const auto datagrams = secondListener.Datagrams();
    EXPECT_EQ(datagrams[0].size(), static_cast<size_t>(kMaxUdpDatagramBytes));
    EXPECT_EQ(datagrams[1].size(), 1000u);
    Bytes joined = datagrams[0];
    joined.insert(joined.end(), datagrams[1].begin(), datagrams[1].end());
    EXPECT_EQ(joined, data);
}

TEST_F(UdpSocketTest, AnEmptyDatagramDoesNotHoldBackTheNextOnes) {
    UniqueFd sender(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(second.GetLocalPort());
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(sendto(sender.Get(), "", 0, 0, reinterpret_cast<sockaddr*>(&target), sizeof(target)),
              0);
    ASSERT_EQ(
        sendto(sender.Get(), "after", 5, 0, reinterpret_cast<sockaddr*>(&target), sizeof(target)),
        5);
    ASSERT_TRUE(WaitUntil([&] { return secondListener.Count() == 1; }));
    EXPECT_EQ(secondListener.Datagrams()[0], BytesOf("after"));
}

TEST_F(UdpSocketTest, TwoSocketsMayShareAPort) {
    CUDPSocket third;
    RecordingUdpListener thirdListener;
    EXPECT_EQ(third.Create(nullptr, second.GetLocalPort(), &thirdListener, 5, "third"), 1);
}

TEST_F(UdpSocketTest, RefusesNothingToSendAndAClosedSocket) {
    LogCapture log;
    EXPECT_EQ(first.SendData(1, nullptr, 3), 0);
    EXPECT_EQ(first.SendData(1, "x", 0), 0);
    EXPECT_TRUE(log.Has("CUDPSocket::SendData: parameter invalid!"));
    first.Close();
    EXPECT_EQ(first.IsCreated(), 0);
    EXPECT_EQ(first.SendData(1, "x", 1), 0);
    EXPECT_TRUE(log.Has("CUDPSocket::SendData: mSocketFD is closed!!"));
}

TEST_F(UdpSocketTest, AFailedSendEndsTheSocket) {
    LogCapture log;
    first.SetBroadcastAddress("not an address");
    EXPECT_EQ(first.SendData(second.GetLocalPort(), "x", 1), 0);
    EXPECT_TRUE(log.Has("CUDPSocket::SendData: Failed"));
    EXPECT_EQ(first.IsCreated(), 0);
}

TEST(UdpSocket, CreateFailsForAnAddressThatIsNotThisMachines) {
    LogCapture log;
    RecordingUdpListener listener;
    CUDPSocket socket;
    EXPECT_EQ(socket.Create("192.0.2.254", 0, &listener, 0, "x"), 0);
    EXPECT_EQ(socket.Create("bad text", 0, &listener, 0, "x"), 0);
    EXPECT_TRUE(log.Has("CUDPSocket::Bind bind error(addr=bad text"));
    EXPECT_EQ(socket.IsCreated(), 0);
}

TEST(UdpSocket, BroadcastRawSendsFromATemporarySocket) {
    RecordingUdpListener listener;
    CUDPSocket receiver;
    ASSERT_EQ(receiver.Create("127.0.0.1", 0, &listener, 5, "rx"), 1);
    const Bytes data = BytesOf("from nowhere");
    EXPECT_EQ(BoradcastRaw(-1, receiver.GetLocalPort(), data.data(), static_cast<int>(data.size()),
                           1000, "127.0.0.1"),
              1);
    ASSERT_TRUE(WaitUntil([&] { return listener.Count() == 1; }));
    EXPECT_EQ(listener.Datagrams()[0], data);
}

}  // namespace
