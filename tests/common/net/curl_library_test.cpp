// ctest-labels: net
#include "net/curl_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/http_transfer.h"
#include "support/log_capture.h"

namespace {

// Each test leaves the library unloaded and the variable unset.
class CurlLibraryTest : public ::testing::Test {
protected:
    void TearDown() override {
        DeInitSysLibCURL();
        unsetenv("ORBO_LIBCURL");
    }
};

// Every transfer function, called as a program would while libcurl is not loaded; each returns
// its failure result (0 or nothing).
struct TransferCall {
    const char* name;
    std::function<int()> call;
};

std::vector<TransferCall> TransferCalls() {
    static tagHTTPFILEINFO info;
    static char buffer[16];
    static uint8_t digest[16];
    static CBaseBuffer body;
    static CBaseBuffer request;
    const char* url = "http://127.0.0.1:9/never";
    return {
        {"OpenHttpFile",
         [=] {
             return OpenHttpFile(&info, url, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0, 0,
                                 nullptr, nullptr, nullptr);
         }},
        {"ReadHttpBody",
         [] { return static_cast<int>(ReadHttpBody(&info, 0, buffer, 16, 0, nullptr, nullptr)); }},
        {"ReadHttpBodyWithCustomCallback",
         [] { return ReadHttpBodyWithCustomCallback(&info, 0, nullptr, 0); }},
        {"PerformHttpGetCommand",
         [=] {
             return PerformHttpGetCommand(url, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0, 0,
                                          nullptr, nullptr, nullptr, &body);
         }},
        {"PerformHttpPostCommand",
         [=] {
             return PerformHttpPostCommand(url, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0,
                                           0, nullptr, nullptr, nullptr, &request, &body);
         }},
        {"GetHttpFileMD5", [=] { return GetHttpFileMD5(url, digest); }},
        {"GetHttpDownloadSpeedBPS",
         [] { return static_cast<int>(GetHttpDownloadSpeedBPS(nullptr)); }},
    };
}

void ExpectEveryTransferRefused() {
    for (const TransferCall& entry : TransferCalls()) {
        LogCapture log;
        EXPECT_EQ(entry.call(), 0) << entry.name;
        EXPECT_TRUE(log.Has("MUST Init LibCURL first!\r\n")) << entry.name;
    }
}

TEST_F(CurlLibraryTest, LoadsOnceAndReportsTheVersion) {
    LogCapture log;
    ASSERT_EQ(InitSysLibCURL(), 1);
    EXPECT_TRUE(log.Has("curl_version = (libcurl/")) << log.All();
    ASSERT_NE(LoadedCurlLibrary(), nullptr);
    EXPECT_NE(LoadedCurlLibrary()->easyPerform, nullptr);
    EXPECT_EQ(InitSysLibCURL(), 1);
    EXPECT_EQ(log.Count("curl_version = ("), 1);
}

TEST_F(CurlLibraryTest, TransfersFailBeforeLoadingAndAfterUnloading) {
    ExpectEveryTransferRefused();
    ASSERT_EQ(InitSysLibCURL(), 1);
    DeInitSysLibCURL();
    EXPECT_EQ(LoadedCurlLibrary(), nullptr);
    ExpectEveryTransferRefused();
    // Loading again works after an unload.
    EXPECT_EQ(InitSysLibCURL(), 1);
}

TEST_F(CurlLibraryTest, ALibraryThatCannotBeLoadedLeavesTransfersRefused) {
    setenv("ORBO_LIBCURL", "/nonexistent/libcurl-missing.so", 1);
    LogCapture log;
    EXPECT_EQ(InitSysLibCURL(), 0);
    EXPECT_TRUE(log.Has("load library /nonexistent/libcurl-missing.so failed")) << log.All();
    EXPECT_EQ(LoadedCurlLibrary(), nullptr);
    ExpectEveryTransferRefused();
}

TEST_F(CurlLibraryTest, ALibraryWithoutTheFunctionsNamesTheFirstMissingOne) {
    // zlib loads fine but has none of libcurl's functions.
    setenv("ORBO_LIBCURL", "libz.so.1", 1);
    LogCapture log;
    EXPECT_EQ(InitSysLibCURL(), 0);
    EXPECT_TRUE(log.Has("get function curl_version failed\r\n")) << log.All();
    EXPECT_EQ(LoadedCurlLibrary(), nullptr);
    ExpectEveryTransferRefused();
}

TEST_F(CurlLibraryTest, ConcurrentLoadsLoadOnce) {
    LogCapture log;
    std::atomic<int> loaded{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] { loaded += InitSysLibCURL(); });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(loaded.load(), 4);
    EXPECT_EQ(log.Count("curl_version = ("), 1);
}

}  // namespace
