#include "serial/serial_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/mono_clock.h"
#include "serial/serial_port_table.h"
#include "support/log_capture.h"
#include "support/pty_pair.h"
#include "support/timeout_table.h"
#include "support/wait_until.h"

namespace {

// Limits long enough that reaching one means the operation did not stop when it should have.
constexpr uint32_t kLongLimitMs = 10000;
// Generous deadline for what should be prompt (catches a hang, not a slow machine).
constexpr uint64_t kPromptMs = 3000;
constexpr uint32_t kBaud = 256000;

class SerialUtilTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.Valid());
        ASSERT_EQ(m_port.OpenSerial(m_pty.SlavePath().c_str(), kBaud, 8, 0, 0), 1);
    }

    std::string Read(uint32_t length, uint32_t limitMs, int fill) {
        std::string out(length, '\0');
        out.resize(m_port.ReadData(out.data(), length, limitMs, fill));
        return out;
    }

    PtyPair m_pty;
    CSerialUtil m_port;
};

TEST(SerialUtil, OpensWithSettingsLogsAndReopensWithKeptOnes) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    LogCapture log;
    CSerialUtil port;
    EXPECT_EQ(port.IsOpened(), 0);
    ASSERT_EQ(port.OpenSerial(pty.SlavePath().c_str(), kBaud, 7, 2, 2), 1);
    EXPECT_EQ(port.IsOpened(), 1);
    EXPECT_STREQ(port.GetPortName().GetString(), pty.SlavePath().c_str());
    EXPECT_TRUE(log.Has("Prepare Open Serial: Com=" + pty.SlavePath() + "(7E2) BaudRate=256000"))
        << log.All();
    EXPECT_TRUE(log.Has("OpenSerial: Com=" + pty.SlavePath() +
                        " BaudRate=256000, Success=1, "
                        "mSerialFile="))
        << log.All();

    port.CloseSerial();
    EXPECT_EQ(port.IsOpened(), 0);
    EXPECT_TRUE(log.Has("CloseSerial: mSerialFile=")) << log.All();
    ASSERT_EQ(port.ReOpen(), 1);
    EXPECT_EQ(port.IsOpened(), 1);
    EXPECT_TRUE(log.Has("Prepare Open Serial: Com=" + pty.SlavePath() + "(7E2)")) << log.All();

    // Opening again closes what was open first (else the exclusive open would refuse it).
    ASSERT_EQ(port.OpenSerial(pty.SlavePath().c_str(), 9600, 8, 0, 0), 1);
}

TEST(SerialUtil, OpensByTableNumber) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    const int number = SerialPortNumberOf(pty.SlavePath());
    CSerialUtil port;
    ASSERT_EQ(port.OpenSerial(number, kBaud, 8, 0, 0), 1);
    EXPECT_STREQ(port.GetPortName().GetString(), pty.SlavePath().c_str());
    EXPECT_EQ(port.IsSerialExist(), 1);
}

TEST(SerialUtil, UnknownNumberFailsAndKeepsTheComName) {
    LogCapture log;
    CSerialUtil port;
    EXPECT_EQ(port.OpenSerial(987654, kBaud, 8, 0, 0), 0);
    EXPECT_EQ(port.IsOpened(), 0);
    EXPECT_STREQ(port.GetPortName().GetString(), "COM987654");
    EXPECT_EQ(port.IsSerialExist(), 0);
    EXPECT_TRUE(log.Has("Success=0")) << log.All();
    EXPECT_TRUE(log.Has("no such port")) << log.All();
}

TEST(SerialUtil, RefusedSettingsAndBusyPortsFailWithTheirReason) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    LogCapture log;
    CSerialUtil port;
    EXPECT_EQ(port.OpenSerial(pty.SlavePath().c_str(), kBaud, 8, 0, 1), 0);
    EXPECT_TRUE(log.Has("1.5 stop bits")) << log.All();
    EXPECT_EQ(port.OpenSerial(pty.SlavePath().c_str(), 0, 8, 0, 0), 0);
    EXPECT_TRUE(log.Has("baud rate 0")) << log.All();

    ASSERT_EQ(port.OpenSerial(pty.SlavePath().c_str(), kBaud, 8, 0, 0), 1);
    CSerialUtil other;
    EXPECT_EQ(other.OpenSerial(pty.SlavePath().c_str(), kBaud, 8, 0, 0), 0);
    EXPECT_TRUE(log.Has("busy: another program has the port open")) << log.All();
}

TEST(SerialUtil, DestructorReleasesThePort) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    {
        CSerialUtil port;
        ASSERT_EQ(port.OpenSerial(pty.SlavePath().c_str(), kBaud, 8, 0, 0), 1);
    }
    CSerialUtil again;
    EXPECT_EQ(again.OpenSerial(pty.SlavePath().c_str(), kBaud, 8, 0, 0), 1);
}

TEST(SerialUtil, ClosedPortReadsAndWritesNothingAtOnce) {
    CSerialUtil port;
    char buffer[8];
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(port.ReadData(buffer, sizeof(buffer), kLongLimitMs, 1), 0u);
    EXPECT_EQ(port.WriteData("abc", 3, kLongLimitMs, 0, 0, nullptr), 0u);
    EXPECT_EQ(port.WriteOnePacket("abc", 3, kLongLimitMs), 0u);
    port.ResetInputBuffer(kLongLimitMs);
    port.ResetOutputBuffer();
    EXPECT_LT(MonoTimeMs() - start, kPromptMs);
}

TEST_F(SerialUtilTest, WithoutFillReturnsTheFirstBytesThatCame) {
    std::thread sender([this] {
        SleepMs(50);
        m_pty.Send("abc");
    });
    const uint64_t start = MonoTimeMs();
    const std::string got = Read(100, kLongLimitMs, 0);
    const uint64_t elapsed = MonoTimeMs() - start;
    sender.join();
    EXPECT_EQ(got, "abc");
    EXPECT_LT(elapsed, kPromptMs);
}

TEST_F(SerialUtilTest, WithFillWaitsUntilTheBufferIsFull) {
    std::thread sender([this] {
        m_pty.Send("abc");
        SleepMs(150);
        m_pty.Send("defgh");
    });
    const std::string got = Read(8, kLongLimitMs, 1);
    sender.join();
    EXPECT_EQ(got, "abcdefgh");
}

TEST_F(SerialUtilTest, WithFillReturnsWhatCameWhenTheLimitPasses) {
    ASSERT_TRUE(m_pty.Send("abc"));
    const uint64_t start = MonoTimeMs();
    const std::string got = Read(8, 300, 1);
    const uint64_t elapsed = MonoTimeMs() - start;
    EXPECT_EQ(got, "abc");
    EXPECT_GE(elapsed, 300u);
    EXPECT_LT(elapsed, kPromptMs);
}

TEST_F(SerialUtilTest, NothingArrivingGivesZeroAfterTheLimit) {
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(Read(16, 300, 0), "");
    const uint64_t elapsed = MonoTimeMs() - start;
    EXPECT_GE(elapsed, 300u);
    EXPECT_LT(elapsed, kPromptMs);
}

TEST_F(SerialUtilTest, ReadsAndDrainsNeverEndBeforeTheirTimeOutOnAnotherClock) {
    for (const int fill : {0, 1}) {
        ExpectNoEarlyTimeouts("ReadData", [&](uint32_t ms) {
            EXPECT_EQ(Read(4, ms, fill), "");
            return std::chrono::steady_clock::now();
        });
    }
    ExpectNoEarlyTimeouts("ResetInputBuffer", [&](uint32_t ms) {
        m_port.ResetInputBuffer(ms);
        return std::chrono::steady_clock::now();
    });
}

TEST_F(SerialUtilTest, CancelReleasesAWaitingReadPromptly) {
    std::atomic<bool> started{false};
    std::atomic<uint64_t> returnedAt{0};
    std::atomic<uint32_t> got{1};
    std::thread reader([&] {
        char buffer[16];
        started = true;
        got = m_port.ReadData(buffer, sizeof(buffer), kLongLimitMs, 1);
        returnedAt = MonoTimeMs();
    });
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    SleepMs(150);  // let the reader settle into its wait (any moment would do: cancels persist)
    const uint64_t cancelledAt = MonoTimeMs();
    m_port.CancelRead();
    reader.join();
    const uint64_t latency = returnedAt - cancelledAt;
    std::printf("CancelRead latency: %llu ms\n", static_cast<unsigned long long>(latency));
    EXPECT_EQ(got.load(), 0u);
    EXPECT_LT(latency, kPromptMs);
}

TEST_F(SerialUtilTest, CancelBeforeAReadIsNotLostAndIsConsumedOnce) {
    LogCapture log;
    m_port.CancelRead();
    EXPECT_TRUE(log.Has("Cancel Read Data")) << log.All();

    uint64_t start = MonoTimeMs();
    EXPECT_EQ(Read(16, kLongLimitMs, 0), "");
    EXPECT_LT(MonoTimeMs() - start, kPromptMs);

    // The next read no longer sees it and waits its limit.
    start = MonoTimeMs();
    EXPECT_EQ(Read(16, 200, 0), "");
    EXPECT_GE(MonoTimeMs() - start, 200u);
}

TEST_F(SerialUtilTest, PendingCancelStillDeliversBytesAlreadyWaiting) {
    // One write reaches the port in one piece: once its first byte is read, the rest is waiting.
    ASSERT_TRUE(m_pty.Send("wxyz"));
    ASSERT_EQ(Read(1, kLongLimitMs, 1), "w");
    m_port.CancelRead();
    EXPECT_EQ(Read(16, kLongLimitMs, 1), "xyz");
}

TEST_F(SerialUtilTest, WritesWholeBufferWhateverThePieceSize) {
    std::string data(20000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 256);
    for (uint32_t piece : {0u, 1u, 7u, 1000u, 20000u, 50000u}) {
        SCOPED_TRACE(piece);
        std::vector<uint8_t> received;
        std::thread drain([&] { received = m_pty.Receive(data.size(), 5000); });
        const uint32_t written = m_port.WriteData(data.data(), static_cast<uint32_t>(data.size()),
                                                  kLongLimitMs, piece, 0, nullptr);
        drain.join();
        EXPECT_EQ(written, data.size());
        EXPECT_EQ(std::string(received.begin(), received.end()), data);
    }
}

TEST_F(SerialUtilTest, WriteStopsAtItsLimitWhenNobodyReads) {
    const std::string data(1 << 20, 'x');
    const uint64_t start = MonoTimeMs();
    const uint32_t written =
        m_port.WriteData(data.data(), static_cast<uint32_t>(data.size()), 300, 0, 0, nullptr);
    const uint64_t elapsed = MonoTimeMs() - start;
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, data.size());
    EXPECT_GE(elapsed, 300u);
    EXPECT_LT(elapsed, kPromptMs);
    EXPECT_EQ(m_port.IsOpened(), 1);
}

TEST_F(SerialUtilTest, WriteHonoursTheCancelFlagAndEmptyInput) {
    std::atomic<int> cancel{1};
    EXPECT_EQ(m_port.WriteData("abc", 3, kLongLimitMs, 0, 0, &cancel), 0u);
    EXPECT_EQ(m_port.WriteData("abc", 0, kLongLimitMs, 0, 0, nullptr), 0u);
    cancel = 0;
    EXPECT_EQ(m_port.WriteData("abc", 3, kLongLimitMs, 0, 0, &cancel), 3u);
    const std::vector<uint8_t> received = m_pty.Receive(3, 2000);
    EXPECT_EQ(std::string(received.begin(), received.end()), "abc");
}

TEST_F(SerialUtilTest, VanishedPortIsClosedOnRead) {
    LogCapture log;
    m_pty.CloseMaster();
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(Read(16, kLongLimitMs, 1), "");
    EXPECT_LT(MonoTimeMs() - start, kPromptMs);
    EXPECT_EQ(m_port.IsOpened(), 0);
    EXPECT_TRUE(log.Has("ReadData Failed, Serial Port(" + m_pty.SlavePath() + ") NOT found"))
        << log.All();
    EXPECT_TRUE(log.Has("CloseSerial: mSerialFile=")) << log.All();
}

TEST_F(SerialUtilTest, VanishedPortReleasesAWaitingReader) {
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buffer[16];
        started = true;
        m_port.ReadData(buffer, sizeof(buffer), kLongLimitMs, 1);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    SleepMs(50);
    m_pty.CloseMaster();
    EXPECT_TRUE(WaitUntil([&] { return done.load(); }, std::chrono::milliseconds(kPromptMs)));
    reader.join();
    EXPECT_EQ(m_port.IsOpened(), 0);
}

TEST_F(SerialUtilTest, VanishedPortIsClosedOnWrite) {
    LogCapture log;
    m_pty.CloseMaster();
    EXPECT_EQ(m_port.WriteData("abc", 3, kLongLimitMs, 0, 0, nullptr), 0u);
    EXPECT_EQ(m_port.IsOpened(), 0);
    EXPECT_TRUE(log.Has("WriteOnePacket Failed, Serial Port(" + m_pty.SlavePath() + ") NOT found"))
        << log.All();
    EXPECT_TRUE(log.Has("WriteOnePacket write 0 bytes, total need write 3, has write 0"))
        << log.All();
}

TEST_F(SerialUtilTest, ResetInputBufferDiscardsWhatCameAndKeepsAPendingCancel) {
    LogCapture log;
    ASSERT_TRUE(m_pty.Send("stale bytes"));
    m_port.ResetInputBuffer(50);
    EXPECT_TRUE(log.Has("ResetInputBuffer +++")) << log.All();
    EXPECT_TRUE(log.Has("ResetInputBuffer ---, clean ")) << log.All();
    ASSERT_TRUE(m_pty.Send("fresh"));
    EXPECT_EQ(Read(5, kLongLimitMs, 1), "fresh");

    m_port.CancelRead();
    m_port.ResetInputBuffer(20);
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(Read(16, kLongLimitMs, 0), "");
    EXPECT_LT(MonoTimeMs() - start, kPromptMs);
}

TEST_F(SerialUtilTest, ResetInputBufferCountsBytesArrivingWhileDraining) {
    LogCapture log;
    std::thread sender([this] {
        SleepMs(30);
        m_pty.Send("12345");
    });
    m_port.ResetInputBuffer(400);
    sender.join();
    EXPECT_TRUE(log.Has("ResetInputBuffer ---, clean 5 size")) << log.All();
    EXPECT_EQ(Read(16, 100, 0), "");
}

// A pseudo-terminal hands written bytes on at once, so what an output flush drops cannot be
// observed here; the port must stay usable after it.
TEST_F(SerialUtilTest, ResetOutputBufferKeepsThePortUsable) {
    LogCapture log;
    m_port.ResetOutputBuffer();
    EXPECT_EQ(m_port.IsOpened(), 1);
    EXPECT_FALSE(log.Has("Failed")) << log.All();
    ASSERT_EQ(m_port.WriteData("sent", 4, kLongLimitMs, 0, 0, nullptr), 4u);
    const std::vector<uint8_t> received = m_pty.Receive(4, 2000);
    EXPECT_EQ(std::string(received.begin(), received.end()), "sent");
}

TEST_F(SerialUtilTest, CompletionPortCallsAreNotAvailable) {
    LogCapture log;
    char buffer[4];
    int record = 0;
    EXPECT_EQ(m_port.StartIOCPReadWrite(nullptr), nullptr);
    EXPECT_EQ(m_port.PostIOCPRecvBuffer(&record, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(m_port.PostIOCPSendBuffer(&record, buffer, sizeof(buffer)), 0);
    EXPECT_TRUE(log.Has("StartIOCPReadWrite: completion ports are not available")) << log.All();
    EXPECT_TRUE(log.Has("PostIOCPRecvBuffer: completion ports are not available")) << log.All();
    EXPECT_TRUE(log.Has("PostIOCPSendBuffer: completion ports are not available")) << log.All();
    EXPECT_EQ(m_port.IsOpened(), 1);
}

}  // namespace
