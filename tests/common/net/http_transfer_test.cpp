// ctest-labels: net
#include "net/http_transfer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/net/http_test_support.h"
#include "core/mono_clock.h"
#include "core/size_limits.h"
#include "net/curl_library.h"
#include "support/log_capture.h"
#include "support/nginx_server.h"
#include "support/script_server.h"
#include "support/wait_until.h"

namespace {

constexpr size_t kDataBytes = 1000000;

class HttpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(InitSysLibCURL(), 1);
        for (const char* path : {"data.bin", "norange/data.bin", "secret/data.bin"}) {
            ASSERT_TRUE(m_nginx.WriteDocument(path, m_data));
        }
        ASSERT_TRUE(WriteHtpasswd(m_nginx.Folder() + "/htpasswd", "orbo", "s3cret"));
        ASSERT_TRUE(m_nginx.Start()) << m_nginx.Error();
    }

    std::string Slice(size_t offset, size_t length) const { return m_data.substr(offset, length); }

    const std::string m_data = PatternBytes(kDataBytes);
    NginxServer m_nginx{{false, kTestLocations}};
};

// Collects a streamed body; can refuse bytes after a count or abort from its progress step.
class CollectingCallback : public IHttpDataCallback {
public:
    uint32_t OnHttpDataRecvCallback(const void* data, uint32_t length, uint64_t userData) override {
        lastUserData = userData;
        uint32_t taken = length;
        if (body.size() + length > takeAtMost)
            taken = static_cast<uint32_t>(takeAtMost - body.size());
        body.append(static_cast<const char*>(data), taken);
        return taken;
    }
    int OnHttpDataProgressCallback(uint64_t) override {
        ++progressCalls;
        return abortAtProgress ? 1 : 0;
    }

    std::string body;
    size_t takeAtMost = SIZE_MAX;
    bool abortAtProgress = false;
    int progressCalls = 0;
    uint64_t lastUserData = 0;
};

TEST_F(HttpTransferTest, OpenReportsTheSizeOfAServedFile) {
    OpenedHttpFile file;
    LogCapture log;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin")), 1);
    EXPECT_NE(file.info.handle, nullptr);
    EXPECT_EQ(file.info.fileSize, static_cast<int64_t>(kDataBytes));
    EXPECT_STREQ(file.info.url.GetString(), m_nginx.Url("/data.bin").c_str());
    EXPECT_TRUE(log.Has("OpenHttpFile: 1000000\r\n")) << log.All();

    CloseHttpFile(&file.info);
    EXPECT_EQ(file.info.handle, nullptr);
    EXPECT_EQ(file.info.fileSize, 0);
    EXPECT_EQ(file.info.url.GetLength(), 0);
}

TEST_F(HttpTransferTest, OpenOfAMissingFileFailsWithTheResponseCode) {
    OpenedHttpFile file;
    LogCapture log;
    const std::string url = m_nginx.Url("/missing.bin");
    EXPECT_EQ(OpenWith(&file.info, url), 0);
    EXPECT_EQ(file.info.handle, nullptr);
    EXPECT_TRUE(log.Has("<" + url + "> response: 404\r\n")) << log.All();
}

TEST_F(HttpTransferTest, RangeReadsReturnExactlyTheAskedBytes) {
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin")), 1);
    struct Case {
        uint64_t offset;
        uint32_t length;
        uint32_t expected;
    } cases[] = {
        {0, 50, 50},
        {100, 50, 50},
        {777777, 200000, 200000},
        {kDataBytes - 10, 50, 10},  // the end of the file cuts the read
        {kDataBytes, 10, 0},        // nothing lies beyond the end
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(c.length + 16, '\x5a');
        const uint32_t got =
            ReadHttpBody(&file.info, c.offset, buffer.data(), c.length, 0, nullptr, nullptr);
        EXPECT_EQ(got, c.expected) << "offset " << c.offset;
        EXPECT_EQ(std::string(buffer.data(), got), Slice(c.offset, got)) << "offset " << c.offset;
        EXPECT_EQ(buffer[c.length], '\x5a') << "no byte beyond the asked length is written";
    }
    char tail[16];
    EXPECT_EQ(ReadHttpBody(&file.info, UINT64_MAX - 5, tail, 10, 0, nullptr, nullptr), 0u);
}

TEST_F(HttpTransferTest, AServerIgnoringRangesNeverYieldsWrongBytes) {
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/norange/data.bin")), 1);
    LogCapture log;
    std::vector<char> buffer(64);
    // The whole body comes back from byte 0: taking it as bytes 100.. would be wrong.
    EXPECT_EQ(ReadHttpBody(&file.info, 100, buffer.data(), 50, 0, nullptr, nullptr), 0u);
    EXPECT_TRUE(log.Has("range from 100 refused: response 200")) << log.All();
    // From byte 0 its first bytes are the asked ones.
    ASSERT_EQ(ReadHttpBody(&file.info, 0, buffer.data(), 50, 0, nullptr, nullptr), 50u);
    EXPECT_EQ(std::string(buffer.data(), 50), Slice(0, 50));

    CollectingCallback callback;
    EXPECT_EQ(ReadHttpBodyWithCustomCallback(&file.info, 4096, &callback, 0), 0);
    EXPECT_TRUE(callback.body.empty());
}

TEST_F(HttpTransferTest, OptionsOfOneReadDoNotCarryIntoTheNext) {
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin")), 1);
    std::vector<char> buffer(50);
    ASSERT_EQ(ReadHttpBody(&file.info, 100, buffer.data(), 50, 0, nullptr, nullptr), 50u);

    // A stream after a range read gets the whole rest, not the old range.
    CollectingCallback whole;
    EXPECT_EQ(ReadHttpBodyWithCustomCallback(&file.info, 0, &whole, 0), 1);
    EXPECT_EQ(whole.body, m_data);

    CollectingCallback tail;
    EXPECT_EQ(ReadHttpBodyWithCustomCallback(&file.info, 999000, &tail, 42), 1);
    EXPECT_EQ(tail.body, Slice(999000, 1000));
    EXPECT_EQ(tail.lastUserData, 42u);

    // And a range read after a resumed stream asks its own range only.
    ASSERT_EQ(ReadHttpBody(&file.info, 10, buffer.data(), 50, 0, nullptr, nullptr), 50u);
    EXPECT_EQ(std::string(buffer.data(), 50), Slice(10, 50));
}

TEST_F(HttpTransferTest, ACallbackEndsTheStreamByTakingLessOrByItsProgressStep) {
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin")), 1);
    CollectingCallback partial;
    partial.takeAtMost = 5000;
    EXPECT_EQ(ReadHttpBodyWithCustomCallback(&file.info, 0, &partial, 0), 0);
    EXPECT_EQ(partial.body, Slice(0, 5000));

    LogCapture log;
    CollectingCallback aborting;
    aborting.abortAtProgress = true;
    EXPECT_EQ(ReadHttpBodyWithCustomCallback(&file.info, 0, &aborting, 0), 0);
    EXPECT_GE(aborting.progressCalls, 1);
    EXPECT_FALSE(log.Has("ReadHttpBodyWithCustomCallback failed")) << "an abort is no failure";
}

TEST_F(HttpTransferTest, GetCollectsTheBodyAndFailsOnErrorAnswers) {
    CBaseBuffer body;
    ASSERT_EQ(GetWith(m_nginx.Url("/data.bin"), &body), 1);
    EXPECT_EQ(BufferText(body), m_data);

    LogCapture log;
    CBaseBuffer missing;
    const std::string url = m_nginx.Url("/missing.bin");
    EXPECT_EQ(GetWith(url, &missing), 0);
    EXPECT_TRUE(log.Has("<" + url + "> response: 404\r\n")) << log.All();

    CBaseBuffer unused;
    EXPECT_EQ(GetWith("", &unused), 0);
    EXPECT_EQ(GetWith(m_nginx.Url("/data.bin"), nullptr), 0);
}

TEST_F(HttpTransferTest, AResponseBodyInMemoryIsBounded) {
    // A sparse file just beyond the bound: nothing is stored on disk for it.
    const std::string path = m_nginx.DocRoot() + "/huge.bin";
    {
        std::FILE* huge = std::fopen(path.c_str(), "wb");
        ASSERT_NE(huge, nullptr);
        std::fclose(huge);
    }
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kMaxHttpBodyBytes) + 1), 0);
    LogCapture log;
    CBaseBuffer body;
    EXPECT_EQ(GetWith(m_nginx.Url("/huge.bin"), &body), 0);
    EXPECT_LE(body.GetAvailSize(), kMaxHttpBodyBytes);
    EXPECT_TRUE(log.Has("response body beyond")) << log.All();
}

TEST_F(HttpTransferTest, BearerTokenAndExtraHeaderReachTheServer) {
    TestRequest withToken;
    withToken.bearerToken = "abc123";
    CBaseBuffer tokenBody;
    ASSERT_EQ(GetWith(m_nginx.Url("/token"), &tokenBody, withToken), 1);
    EXPECT_EQ(BufferText(tokenBody), "token-ok");

    CBaseBuffer refused;
    EXPECT_EQ(GetWith(m_nginx.Url("/token"), &refused), 0);

    TestRequest withHeader;
    withHeader.extraHeader = "X-Orbo: yes";
    CBaseBuffer headerBody;
    ASSERT_EQ(GetWith(m_nginx.Url("/header"), &headerBody, withHeader), 1);
    EXPECT_EQ(BufferText(headerBody), "header-ok");
}

TEST_F(HttpTransferTest, ATokenSendsAnAuthorizationHeaderAndNoExpect) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    TestRequest withToken;
    withToken.bearerToken = "abc123";
    CBaseBuffer request;
    const std::string big(200000, 'p');  // large enough for libcurl to ask "100-continue"
    request.SetBuffer(big.data(), static_cast<uint32_t>(big.size()));
    CBaseBuffer echo;
    ASSERT_EQ(
        PerformHttpPostCommand(server.Url("/echo").c_str(), nullptr, "abc123", nullptr, 0, nullptr,
                               nullptr, 0, 0, nullptr, nullptr, nullptr, &request, &echo),
        1);
    EXPECT_EQ(BufferText(echo), big);

    CBaseBuffer headers;
    ASSERT_EQ(GetWith(server.Url("/headers"), &headers, withToken), 1);
    const std::string text = BufferText(headers);
    EXPECT_NE(text.find("Authorization: Bearer abc123\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Expect"), std::string::npos) << text;
}

TEST_F(HttpTransferTest, HeaderTextsWithLineBreaksAreRefused) {
    LogCapture log;
    TestRequest smuggling;
    smuggling.bearerToken = "abc\r\nX-Injected: 1";
    CBaseBuffer body;
    EXPECT_EQ(GetWith(m_nginx.Url("/data.bin"), &body, smuggling), 0);
    TestRequest badHeader;
    badHeader.extraHeader = "X-Orbo: yes\nX-Injected: 1";
    OpenedHttpFile file;
    EXPECT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin"), badHeader), 0);
    EXPECT_EQ(log.Count("a header text holds a line break"), 2) << log.All();
}

TEST_F(HttpTransferTest, PostSendsItsBodyAndAnEmptyOne) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    CBaseBuffer request;
    request.SetBuffer("name=orbo&value=1", 17);
    CBaseBuffer echo;
    ASSERT_EQ(
        PerformHttpPostCommand(server.Url("/echo").c_str(), nullptr, nullptr, nullptr, 0, nullptr,
                               nullptr, 0, 0, nullptr, nullptr, nullptr, &request, &echo),
        1);
    EXPECT_EQ(BufferText(echo), "name=orbo&value=1");

    CBaseBuffer empty;
    CBaseBuffer emptyEcho;
    EXPECT_EQ(
        PerformHttpPostCommand(server.Url("/echo").c_str(), nullptr, nullptr, nullptr, 0, nullptr,
                               nullptr, 0, 0, nullptr, nullptr, nullptr, &empty, &emptyEcho),
        1);
    EXPECT_EQ(emptyEcho.GetAvailSize(), 0u);
    EXPECT_EQ(
        PerformHttpPostCommand(server.Url("/echo").c_str(), nullptr, nullptr, nullptr, 0, nullptr,
                               nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr, &emptyEcho),
        0);
}

TEST_F(HttpTransferTest, BasicAuthenticationOpensAndReadsAProtectedFile) {
    const std::string url = m_nginx.Url("/secret/data.bin");
    struct Case {
        long mask;
        const char* password;
        int opened;
    } cases[] = {
        {static_cast<long>(CURLAUTH_BASIC), "s3cret", 1},
        {static_cast<long>(CURLAUTH_ANY), "s3cret", 1},
        {static_cast<long>(CURLAUTH_BASIC), "wrong", 0},
        {0, "s3cret", 0},  // no authentication asked: no credentials sent
    };
    for (const Case& c : cases) {
        LogCapture log;
        TestRequest request;
        request.authMask = c.mask;
        request.userName = "orbo";
        request.password = c.password;
        OpenedHttpFile file;
        ASSERT_EQ(OpenWith(&file.info, url, request), c.opened) << c.mask << " " << c.password;
        if (c.opened == 0) {
            EXPECT_TRUE(log.Has("<" + url + "> response: 401\r\n")) << log.All();
            continue;
        }
        // The credentials are applied again for every read on the kept handle.
        std::vector<char> buffer(1000);
        ASSERT_EQ(ReadHttpBody(&file.info, 5000, buffer.data(), 1000, 0, nullptr, nullptr), 1000u);
        EXPECT_EQ(std::string(buffer.data(), 1000), Slice(5000, 1000));
    }
}

TEST_F(HttpTransferTest, AProxyIsUsedOnlyWhenAskedFor) {
    NginxServer proxy({false, R"NGINX(
        location / {
            if ($http_proxy_authorization = "Basic b3Jibzpwcm94eQ==") {
                return 200 "proxy-auth-ok";
            }
            return 200 "via-proxy";
        })NGINX"});
    ASSERT_TRUE(proxy.Start()) << proxy.Error();
    const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.Port());
    TestRequest viaProxy;
    viaProxy.useProxy = 1;
    viaProxy.proxyType = CURLPROXY_HTTP;
    viaProxy.proxyAddress = proxyAddress.c_str();
    CBaseBuffer body;
    ASSERT_EQ(GetWith(m_nginx.Url("/data.bin"), &body, viaProxy), 1);
    EXPECT_EQ(BufferText(body), "via-proxy");

    viaProxy.proxyUserName = "orbo";
    viaProxy.proxyPassword = "proxy";
    CBaseBuffer authBody;
    ASSERT_EQ(GetWith(m_nginx.Url("/data.bin"), &authBody, viaProxy), 1);
    EXPECT_EQ(BufferText(authBody), "proxy-auth-ok");

    // Without the option the environment's proxy is not used either.
    const std::string proxyUrl = "http://" + proxyAddress;
    setenv("http_proxy", proxyUrl.c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    CBaseBuffer direct;
    const int result = GetWith(m_nginx.Url("/data.bin"), &direct);
    unsetenv("http_proxy");
    ASSERT_EQ(result, 1);
    EXPECT_EQ(BufferText(direct), m_data);
}

TEST_F(HttpTransferTest, RedirectsAreFollowedOnlyToHttpAddresses) {
    CBaseBuffer body;
    ASSERT_EQ(GetWith(m_nginx.Url("/to-data"), &body), 1);
    EXPECT_EQ(BufferText(body), m_data);

    LogCapture log;
    CBaseBuffer local;
    EXPECT_EQ(GetWith(m_nginx.Url("/to-file"), &local), 0);
    EXPECT_TRUE(log.Has("open failed: Unsupported protocol")) << log.All();
    EXPECT_EQ(local.GetAvailSize(), 0u);
    OpenedHttpFile file;
    EXPECT_EQ(OpenWith(&file.info, m_nginx.Url("/to-file")), 0);
}

TEST_F(HttpTransferTest, Md5TextBecomesTheDigestOnlyWhenItIsOne) {
    uint8_t digest[16];
    ASSERT_EQ(GetHttpFileMD5(m_nginx.Url("/md5-good").c_str(), digest), 1);
    const uint8_t expected[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                  0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(std::memcmp(digest, expected, 16), 0);

    const uint8_t zeros[16] = {};
    for (const char* path : {"/md5-bad", "/missing.md5"}) {
        std::memset(digest, 0x77, sizeof(digest));
        EXPECT_EQ(GetHttpFileMD5(m_nginx.Url(path).c_str(), digest), 0) << path;
        EXPECT_EQ(std::memcmp(digest, zeros, 16), 0) << path;
    }
}

TEST_F(HttpTransferTest, DownloadSpeedIsKnownAfterARead) {
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin")), 1);
    std::vector<char> buffer(kDataBytes);
    ASSERT_EQ(ReadHttpBody(&file.info, 0, buffer.data(), kDataBytes, 0, nullptr, nullptr),
              kDataBytes);
    EXPECT_GT(GetHttpDownloadSpeedBPS(file.info.handle), 0.0);
    EXPECT_EQ(GetHttpDownloadSpeedBPS(nullptr), 0.0);
}

TEST_F(HttpTransferTest, AServerWithoutLengthOpensWithSizeZeroAndStreamsEverything) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, server.Url("/nolength")), 1);
    EXPECT_EQ(file.info.fileSize, 0);
    CollectingCallback callback;
    EXPECT_EQ(ReadHttpBodyWithCustomCallback(&file.info, 0, &callback, 0), 1);
    EXPECT_EQ(callback.body, PatternBytes(kSpecialBodyBytes, 7));
}

TEST_F(HttpTransferTest, AReadOfAStalledBodyEndsAtItsTimeLimitWithTheBytesSoFar) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    int timedOut = 0;
    LogCapture log;
    const uint32_t got =
        ReadHttpBody(&file.info, 0, buffer.data(), static_cast<uint32_t>(buffer.size()), 1500,
                     nullptr, &timedOut);
    EXPECT_EQ(got, kStallSentBytes);
    EXPECT_EQ(std::string(buffer.data(), got), PatternBytes(kSpecialBodyBytes, 7).substr(0, got));
    EXPECT_EQ(timedOut, 1);
    EXPECT_TRUE(log.Has("curl_progress_func: transer timeout")) << log.All();
}

TEST_F(HttpTransferTest, AStopFlagEndsAReadInProgress) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, server.Url("/stall")), 1);
    std::vector<char> buffer(kSpecialBodyBytes);
    std::atomic<int> stop{0};
    std::atomic<int> done{0};
    std::atomic<uint32_t> got{0};
    LogCapture log;
    std::thread reader([&] {
        got = ReadHttpBody(&file.info, 0, buffer.data(), static_cast<uint32_t>(buffer.size()), 0,
                           &stop, nullptr);
        done = 1;
    });
    stop = 1;
    EXPECT_TRUE(WaitUntil([&] { return done.load() == 1; }, std::chrono::seconds(30)));
    reader.join();
    EXPECT_LE(got.load(), kStallSentBytes);
    EXPECT_EQ(std::string(buffer.data(), got), PatternBytes(kSpecialBodyBytes, 7).substr(0, got));
    EXPECT_TRUE(log.Has("curl_progress_func: stop transfer....")) << log.All();
}

TEST_F(HttpTransferTest, AServerThatNeverAnswersTimesOut) {
    ScriptServer silent(kSilentServerScript);
    ASSERT_TRUE(silent.Started()) << silent.Error();
    LogCapture log;
    OpenedHttpFile file;
    const std::string url = silent.Url("/data.bin");
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(OpenWith(&file.info, url), 0);
    EXPECT_LT(MonoTimeMs() - start, 60000u);
    EXPECT_TRUE(log.Has("<" + url + "> open failed: Timeout was reached")) << log.All();
}

}  // namespace
