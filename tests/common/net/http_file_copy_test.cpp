// ctest-labels: net
#include "net/http_file_copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/net/http_test_support.h"
#include "net/curl_library.h"
#include "support/log_capture.h"
#include "support/nginx_server.h"
#include "support/script_server.h"
#include "support/temp_dir.h"

namespace {

constexpr size_t kDataBytes = 2000000;  // four blocks of 512 KiB

class HttpFileCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(InitSysLibCURL(), 1);
        ASSERT_TRUE(m_nginx.WriteDocument("data.bin", m_data));
        ASSERT_TRUE(m_nginx.WriteDocument("slow/data.bin", m_data));
        ASSERT_TRUE(m_nginx.Start()) << m_nginx.Error();
    }

    int Copy(const std::string& url, const std::string& localPath, uint64_t timeLimitMs,
             INetFileCopyProgressListener* listener, const TestRequest& r = {}) {
        return HttpFileCopyFromServer(&m_client, url.c_str(), r.caCerts, r.bearerToken,
                                      r.extraHeader, r.authMask, r.userName, r.password, r.useProxy,
                                      r.proxyType, r.proxyAddress, r.proxyUserName, r.proxyPassword,
                                      localPath.c_str(), timeLimitMs, listener, 77);
    }

    const std::string m_data = PatternBytes(kDataBytes, 9);
    NginxServer m_nginx{{false, kTestLocations}};
    CHttpFileClient m_client;
    TempDir m_dir;
};

TEST_F(HttpFileCopyTest, CopiesTheFileAndReportsEveryBlock) {
    const std::string local = m_dir.File("copy.bin");
    RecordingProgress progress;
    LogCapture log;
    ASSERT_EQ(Copy(m_nginx.Url("/data.bin"), local, 0, &progress), 1);
    EXPECT_EQ(ReadWholeFile(local), m_data);
    EXPECT_TRUE(log.Has("net file size is 2000000\r\n")) << log.All();
    const std::vector<uint64_t> done = progress.Done();
    ASSERT_EQ(done.size(), 4u);
    EXPECT_EQ(done, (std::vector<uint64_t>{0x80000, 0x100000, 0x180000, kDataBytes}));
    for (uint64_t total : progress.Totals()) EXPECT_EQ(total, kDataBytes);
    EXPECT_EQ(progress.UserData(), 77u);
    EXPECT_EQ(progress.LastPercent(), 100);
    EXPECT_TRUE(progress.SlotWasZero());
    EXPECT_EQ(m_client.GetFileSize(), 0u) << "the client is closed after the copy";
}

TEST_F(HttpFileCopyTest, ACopyOverTlsTrustsTheGivenAuthority) {
    NginxServer secure({true, ""});
    ASSERT_TRUE(secure.WriteDocument("data.bin", m_data));
    ASSERT_TRUE(secure.Start()) << secure.Error();
    CBaseBuffer ca;
    LoadFileIntoBuffer(secure.CaFile(), &ca);
    TestRequest trusted;
    trusted.caCerts = &ca;
    const std::string local = m_dir.File("secure.bin");
    ASSERT_EQ(Copy(secure.Url("/data.bin"), local, 0, nullptr, trusted), 1);
    EXPECT_EQ(ReadWholeFile(local), m_data);
    EXPECT_EQ(Copy(secure.Url("/data.bin"), m_dir.File("untrusted.bin"), 0, nullptr), 0);
}

TEST_F(HttpFileCopyTest, AListenerResultOfZeroStopsTheCopy) {
    const std::string local = m_dir.File("stopped.bin");
    RecordingProgress afterFirst;
    afterFirst.StopAfter(1);
    EXPECT_EQ(Copy(m_nginx.Url("/data.bin"), local, 0, &afterFirst), 0);
    EXPECT_EQ(ReadWholeFile(local), m_data.substr(0, 0x80000)) << "a partial file stays";

    // The completeness test comes before the next read: a stop after the last block still
    // reports failure although every byte arrived.
    RecordingProgress afterLast;
    afterLast.StopAfter(4);
    EXPECT_EQ(Copy(m_nginx.Url("/data.bin"), local, 0, &afterLast), 0);
    EXPECT_EQ(ReadWholeFile(local), m_data);
}

TEST_F(HttpFileCopyTest, AServerWithoutLengthIsCopiedWithAnUnknownTotal) {
    ScriptServer server(kSpecialServerScript);
    ASSERT_TRUE(server.Started()) << server.Error();
    const std::string local = m_dir.File("nolength.bin");
    RecordingProgress progress;
    // Without a size the copy cannot know it is complete: it reports 0 after copying to the end.
    EXPECT_EQ(Copy(server.Url("/nolength"), local, 0, &progress), 0);
    EXPECT_EQ(ReadWholeFile(local), PatternBytes(kSpecialBodyBytes, 7));
    ASSERT_FALSE(progress.Totals().empty());
    for (uint64_t total : progress.Totals()) EXPECT_EQ(total, 0u);
    EXPECT_EQ(progress.Done().back(), kSpecialBodyBytes);
    EXPECT_EQ(progress.LastPercent(), -1);
}

TEST_F(HttpFileCopyTest, AMissingRemoteFileFailsAfterCreatingAnEmptyLocalFile) {
    const std::string local = m_dir.File("missing.bin");
    LogCapture log;
    const std::string url = m_nginx.Url("/missing.bin");
    EXPECT_EQ(Copy(url, local, 0, nullptr), 0);
    EXPECT_TRUE(log.Has("NetFile(" + url + ") open failed\r\n")) << log.All();
    ASSERT_TRUE(std::filesystem::exists(local));
    EXPECT_EQ(std::filesystem::file_size(local), 0u);
}

TEST_F(HttpFileCopyTest, ALocalFileThatCannotBeOpenedFailsWithTheSystemsReason) {
    const std::string local = m_dir.File("no/such/folder/copy.bin");
    LogCapture log;
    EXPECT_EQ(Copy(m_nginx.Url("/data.bin"), local, 0, nullptr), 0);
    EXPECT_TRUE(log.Has("local file(" + local + ") open failed, err is:No such file or directory"))
        << log.All();
}

TEST_F(HttpFileCopyTest, BytesThatCouldNotBeWrittenAreNeitherCountedNorReported) {
    RecordingProgress progress;
    LogCapture log;
    // Every write to /dev/full fails with "No space left on device".
    EXPECT_EQ(Copy(m_nginx.Url("/data.bin"), "/dev/full", 0, &progress), 0);
    EXPECT_TRUE(log.Has("local file(/dev/full) write failed after 0 bytes")) << log.All();
    EXPECT_EQ(progress.Reports(), 0u);
}

TEST_F(HttpFileCopyTest, TheTimeLimitEndsASlowCopy) {
    const std::string local = m_dir.File("slow.bin");
    EXPECT_EQ(Copy(m_nginx.Url("/slow/data.bin"), local, 300, nullptr), 0);
    ASSERT_TRUE(std::filesystem::exists(local));
    const std::string partial = ReadWholeFile(local);
    EXPECT_LT(partial.size(), kDataBytes);
    EXPECT_EQ(partial, m_data.substr(0, partial.size()));
}

}  // namespace
