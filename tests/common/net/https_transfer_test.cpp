// ctest-labels: net
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/net/http_test_support.h"
#include "net/curl_library.h"
#include "net/http_transfer.h"
#include "support/log_capture.h"
#include "support/nginx_server.h"

namespace {

constexpr size_t kDataBytes = 1000000;

// TLS against the fixture's own certificate authority.
class HttpsTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(InitSysLibCURL(), 1);
        ASSERT_TRUE(m_nginx.WriteDocument("data.bin", m_data));
        ASSERT_TRUE(m_nginx.Start()) << m_nginx.Error();
        LoadFileIntoBuffer(m_nginx.CaFile(), &m_ca);
        ASSERT_GT(m_ca.GetAvailSize(), 0u);
    }

    const std::string m_data = PatternBytes(kDataBytes, 3);
    NginxServer m_nginx{{true, ""}};
    CBaseBuffer m_ca;
};

TEST_F(HttpsTransferTest, TheGivenAuthorityIsTrustedForOpenReadAndGet) {
    TestRequest trusted;
    trusted.caCerts = &m_ca;
    OpenedHttpFile file;
    ASSERT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin"), trusted), 1);
    EXPECT_EQ(file.info.fileSize, static_cast<int64_t>(kDataBytes));
    std::vector<char> buffer(4096);
    ASSERT_EQ(ReadHttpBody(&file.info, 123456, buffer.data(), 4096, 0, nullptr, nullptr), 4096u);
    EXPECT_EQ(std::string(buffer.data(), 4096), m_data.substr(123456, 4096));

    CBaseBuffer body;
    ASSERT_EQ(GetWith(m_nginx.Url("/data.bin"), &body, trusted), 1);
    EXPECT_EQ(BufferText(body), m_data);
}

TEST_F(HttpsTransferTest, WithoutAnAuthorityTheSystemStoreDecidesAndRefusesAnUnknownOne) {
    LogCapture log;
    OpenedHttpFile file;
    const std::string url = m_nginx.Url("/data.bin");
    EXPECT_EQ(OpenWith(&file.info, url), 0);
    EXPECT_TRUE(log.Has("<" + url + "> open failed:")) << log.All();
    EXPECT_TRUE(log.Has("certificate")) << log.All();
    CBaseBuffer body;
    EXPECT_EQ(GetWith(url, &body), 0);
    EXPECT_EQ(body.GetAvailSize(), 0u);
}

TEST_F(HttpsTransferTest, AnotherAuthorityIsNotTrusted) {
    NginxServer other({true, ""});  // only its certificate authority is used
    CBaseBuffer otherCa;
    LoadFileIntoBuffer(other.CaFile(), &otherCa);
    ASSERT_GT(otherCa.GetAvailSize(), 0u);
    TestRequest wrong;
    wrong.caCerts = &otherCa;
    OpenedHttpFile file;
    EXPECT_EQ(OpenWith(&file.info, m_nginx.Url("/data.bin"), wrong), 0);
}

}  // namespace
