// ctest-labels: net
#include "net/http_file_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "common/net/http_test_support.h"
#include "core/mono_clock.h"
#include "net/curl_library.h"
#include "support/log_capture.h"
#include "support/nginx_server.h"
#include "support/script_server.h"
#include "support/wait_until.h"

namespace {

constexpr size_t kDataBytes = 1000000;
constexpr const char* kThreadStartLine = "thread information, name=HttpRead,";

class HttpFileClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(InitSysLibCURL(), 1);
        ASSERT_TRUE(m_nginx.WriteDocument("data.bin", m_data));
        ASSERT_TRUE(m_nginx.WriteDocument("norange/data.bin", m_data));
        ASSERT_TRUE(m_nginx.Start()) << m_nginx.Error();
    }

    // Continuous reads of `chunk` bytes until one returns 0.
    std::string ReadToEnd(CHttpFileClient& client, uint32_t chunk) {
        std::string all;
        std::vector<char> buffer(chunk);
        for (;;) {
            const uint32_t got = client.ReadFile_Continue(buffer.data(), chunk, 0);
            if (got == 0) return all;
            all.append(buffer.data(), got);
        }
    }

    const std::string m_data = PatternBytes(kDataBytes, 5);
    NginxServer m_nginx{{false, kTestLocations}};
};

TEST_F(HttpFileClientTest, ContinuousReadsStreamTheWholeFileAndStopAtItsEnd) {
    for (uint32_t chunk : {1000u, 65536u, 300000u, 2000000u}) {
        CHttpFileClient client;
        ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
        EXPECT_EQ(client.GetFileSize(), kDataBytes);
        LogCapture log;
        EXPECT_EQ(ReadToEnd(client, chunk), m_data) << "chunk " << chunk;
        EXPECT_EQ(client.GetFilePos(), kDataBytes);
        // One streaming thread served every read; the read at the end started none.
        EXPECT_EQ(log.Count(kThreadStartLine), 1) << "chunk " << chunk;
        EXPECT_GT(client.GetTotalAvgDownloadSpeedKBPS(), 0.0);
    }
}

TEST_F(HttpFileClientTest, AReadPastTheEndIsCutToTheBytesLeft) {
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
    ASSERT_EQ(client.SeekFile(-40, 2), static_cast<int64_t>(kDataBytes - 40));
    LogCapture log;
    std::vector<char> buffer(100);
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 100, 0), 40u);
    EXPECT_EQ(std::string(buffer.data(), 40), m_data.substr(kDataBytes - 40));
    EXPECT_EQ(log.Count("CHttpFileClient::ReadFile_Continue: curpos=999960, readlen=40"), 1)
        << log.All();
    EXPECT_EQ(client.ReadFile_Continue(buffer.data(), 100, 0), 0u);
}

TEST_F(HttpFileClientTest, SeekKeepsTheTargetWithinTheFile) {
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
    struct Case {
        int64_t offset;
        int origin;
        int64_t expected;
    } cases[] = {
        {-5, 0, 0},
        {10, 2, static_cast<int64_t>(kDataBytes)},
        {-10, 2, static_cast<int64_t>(kDataBytes) - 10},
        {7, 9, 0},
        {500, 0, 500},
        {25, 1, 525},
        {-1000, 1, 0},
        {2000000, 0, static_cast<int64_t>(kDataBytes)},
        {INT64_MAX, 1, static_cast<int64_t>(kDataBytes)},  // no wrap-around
        {INT64_MIN, 2, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(client.SeekFile(c.offset, c.origin), c.expected)
            << c.offset << " from " << c.origin;
        EXPECT_EQ(client.GetFilePos(), static_cast<uint64_t>(c.expected));
    }
}

TEST_F(HttpFileClientTest, ASeekElsewhereRestartsTheStreamAndTheSamePlaceDoesNot) {
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
    LogCapture log;
    std::vector<char> buffer(1000);
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 1000, 0), 1000u);
    client.SeekFile(1000, 0);  // where it is already
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 1000, 0), 1000u);
    EXPECT_EQ(std::string(buffer.data(), 1000), m_data.substr(1000, 1000));
    EXPECT_EQ(log.Count(kThreadStartLine), 1);

    client.SeekFile(700000, 0);
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 1000, 0), 1000u);
    EXPECT_EQ(std::string(buffer.data(), 1000), m_data.substr(700000, 1000));
    EXPECT_EQ(log.Count(kThreadStartLine), 2);
    EXPECT_EQ(client.GetFilePos(), 701000u);
}

TEST_F(HttpFileClientTest, PartReadsAskRangesAndMixWithContinuousReads) {
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
    std::vector<char> buffer(3000);
    // Continuous, part, continuous: one handle, one transfer at a time, consecutive bytes.
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 1000, 0), 1000u);
    ASSERT_EQ(client.ReadFile_Part(buffer.data() + 1000, 1000, 0), 1000u);
    ASSERT_EQ(client.ReadFile_Continue(buffer.data() + 2000, 1000, 0), 1000u);
    EXPECT_EQ(std::string(buffer.data(), 3000), m_data.substr(0, 3000));

    client.SeekFile(-100, 2);
    ASSERT_EQ(client.ReadFile_Part(buffer.data(), 3000, 0), 100u);
    EXPECT_EQ(std::string(buffer.data(), 100), m_data.substr(kDataBytes - 100));
    EXPECT_EQ(client.GetFilePos(), kDataBytes);
    EXPECT_EQ(client.ReadFile_Part(buffer.data(), 3000, 0), 0u);
    EXPECT_GT(client.GetRealTimeDownloadSpeedKBPS(), 0.0);
}

TEST_F(HttpFileClientTest, APartReadFromAServerIgnoringRangesGivesNothing) {
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/norange/data.bin")), 1);
    client.SeekFile(5000, 0);
    std::vector<char> buffer(1000);
    EXPECT_EQ(client.ReadFile_Part(buffer.data(), 1000, 0), 0u);
    EXPECT_EQ(client.GetFilePos(), 5000u);
    EXPECT_EQ(client.ReadFile_Continue(buffer.data(), 1000, 0), 0u);
    EXPECT_EQ(client.GetFilePos(), 5000u);
}

TEST_F(HttpFileClientTest, ReadsOnAClosedOrClosingClientGiveNothing) {
    CHttpFileClient client;
    std::vector<char> buffer(100);
    EXPECT_EQ(client.ReadFile_Continue(buffer.data(), 100, 0), 0u);
    EXPECT_EQ(client.ReadFile_Part(buffer.data(), 100, 0), 0u);
    EXPECT_EQ(client.SeekFile(-3, 0), 0);
    EXPECT_EQ(client.SeekFile(77, 0), 77) << "closed: bounded only from below";
    EXPECT_EQ(client.GetTotalAvgDownloadSpeedKBPS(), 0.0);

    EXPECT_EQ(OpenClient(&client, m_nginx.Url("/missing.bin")), 0);
    EXPECT_EQ(client.GetFileSize(), 0u);

    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
    client.PrepareClose();
    EXPECT_EQ(client.ReadFile_Continue(buffer.data(), 100, 0), 0u);
    EXPECT_EQ(client.CloseFile(), 1);
    EXPECT_EQ(client.GetFileSize(), 0u);
    EXPECT_EQ(client.GetFilePos(), 0u);
}

TEST_F(HttpFileClientTest, ASpeedLimitSleepsAfterAFastReadAndOpeningRemovesIt) {
    CHttpFileClient client;
    client.LimitReadSpeed(1);  // would sleep 500 s for 500 bytes if it survived OpenFile
    ASSERT_EQ(OpenClient(&client, m_nginx.Url("/data.bin")), 1);
    std::vector<char> buffer(500);
    uint64_t start = MonoTimeMs();
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 500, 0), 500u);
    EXPECT_LT(MonoTimeMs() - start, 60000u);

    client.LimitReadSpeed(1000);
    start = MonoTimeMs();
    ASSERT_EQ(client.ReadFile_Continue(buffer.data(), 500, 0), 500u);
    EXPECT_GE(MonoTimeMs() - start, 500u);
    start = MonoTimeMs();
    ASSERT_EQ(client.ReadFile_Part(buffer.data(), 500, 0), 500u);
    EXPECT_GE(MonoTimeMs() - start, 500u);
    EXPECT_EQ(std::string(buffer.data(), 500), m_data.substr(1000, 500));
}

TEST_F(HttpFileClientTest, AServerWithoutLengthIsStreamedUntilItsEnd) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, server.Url("/nolength")), 1);
    EXPECT_EQ(client.GetFileSize(), 0u);
    EXPECT_EQ(ReadToEnd(client, 70000), PatternBytes(kSpecialBodyBytes, 7));
    EXPECT_EQ(client.GetFilePos(), kSpecialBodyBytes);
}

TEST_F(HttpFileClientTest, AWaitLimitReturnsWhatArrivedAndCloseEndsTheStalledStream) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    const uint32_t got = client.ReadFile_Continue(buffer.data(), 100000, 1500);
    EXPECT_EQ(got, kStallSentBytes);
    EXPECT_EQ(std::string(buffer.data(), got), PatternBytes(kSpecialBodyBytes, 7).substr(0, got));
    EXPECT_EQ(client.GetFilePos(), got);
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(client.CloseFile(), 1);
    EXPECT_LT(MonoTimeMs() - start, 30000u);
}

TEST_F(HttpFileClientTest, CloseFromAnotherThreadReleasesAWaitingRead) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    std::atomic<int> done{0};
    std::atomic<uint32_t> got{0};
    std::thread reader([&] {
        got = client.ReadFile_Continue(buffer.data(), 100000, 0);
        done = 1;
    });
    // The read waits without limit; only the close can end it.
    client.CloseFile();
    EXPECT_TRUE(WaitUntil([&] { return done.load() == 1; }, std::chrono::seconds(30)));
    reader.join();
    EXPECT_LE(got.load(), kStallSentBytes);
    EXPECT_EQ(client.ReadFile_Continue(buffer.data(), 100, 0), 0u);
}

TEST_F(HttpFileClientTest, CancelDuringAPartReadGivesZeroAndKeepsThePosition) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    std::atomic<int> done{0};
    std::atomic<uint32_t> got{1};
    std::thread reader([&] {
        got = client.ReadFile_Part(buffer.data(), 100000, 0);
        done = 1;
    });
    // A part read clears the flag when it begins, so cancel until it has ended.
    EXPECT_TRUE(WaitUntil(
        [&] {
            client.CancelRead();
            return done.load() == 1;
        },
        std::chrono::seconds(30)));
    reader.join();
    EXPECT_EQ(got.load(), 0u);
    EXPECT_EQ(client.GetFilePos(), 0u);
}

TEST_F(HttpFileClientTest, CloseFromAnotherThreadEndsAPartReadInProgress) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    std::atomic<int> done{0};
    std::atomic<uint32_t> got{1};
    std::thread reader([&] {
        got = client.ReadFile_Part(buffer.data(), 100000, 0);
        done = 1;
    });
    ASSERT_TRUE(
        WaitUntil([&] { return server.Output().find("SERVING GET /stall") != std::string::npos; }));
    client.CloseFile();
    EXPECT_TRUE(WaitUntil([&] { return done.load() == 1; }, std::chrono::seconds(30)));
    reader.join();
    EXPECT_EQ(got.load(), 0u) << "a read ended by the close counts as cancelled";
}

TEST_F(HttpFileClientTest, ThePartReadOfAStalledServerEndsAtItsTimeLimit) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CHttpFileClient client;
    ASSERT_EQ(OpenClient(&client, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    const uint32_t got = client.ReadFile_Part(buffer.data(), 100000, 1500);
    EXPECT_EQ(got, kStallSentBytes);
    EXPECT_EQ(client.GetFilePos(), got);
}

}  // namespace
