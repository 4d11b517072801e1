// ctest-labels: net
#include "net/multi_thread_download.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "common/net/http_test_support.h"
#include "net/curl_library.h"
#include "support/log_capture.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

constexpr size_t kDataBytes = 1500000;
constexpr std::chrono::seconds kDownloadDeadline{60};

// Counts attempts and their outcomes (on the worker thread).
class AttemptRecorder : public IMultiThreadDownloadFailedListener {
public:
    int OnDownloadAttemptEnd(uint64_t userData, int complete) override {
        std::lock_guard<std::mutex> hold(m_guard);
        m_userData = userData;
        m_outcomes.push_back(complete);
        return 0;
    }
    std::vector<int> Outcomes() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_outcomes;
    }
    bool Completed() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return !m_outcomes.empty() && m_outcomes.back() == 1;
    }
    size_t Failures() const {
        std::lock_guard<std::mutex> hold(m_guard);
        size_t count = 0;
        for (int outcome : m_outcomes) count += outcome == 0 ? 1 : 0;
        return count;
    }
    uint64_t UserData() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_userData;
    }

private:
    mutable std::mutex m_guard;
    std::vector<int> m_outcomes;
    uint64_t m_userData = 0;
};

int64_t Copied(tagMTDOWNLOAD_BLOCK& block) {
    return std::atomic_ref<int64_t>(block.copiedSize).load();
}

class MultiThreadDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(InitSysLibCURL(), 1);
        ASSERT_TRUE(m_nginx.WriteDocument("data.bin", m_data));
        ASSERT_TRUE(m_nginx.WriteDocument("slow/data.bin", m_data));
        ASSERT_TRUE(m_nginx.Start()) << m_nginx.Error();
    }

    // A local file of the remote file's size, filled with `fill`.
    std::string MakeLocalFile(const std::string& name, char fill = '\0') {
        const std::string path = m_dir.File(name);
        std::ofstream out(path, std::ios::binary);
        out << std::string(kDataBytes, fill);
        return path;
    }

    void SetBlock(tagMTDOWNLOAD_BLOCK* block, const std::string& path, const std::string& local,
                  int64_t start, int64_t end) {
        block->url.Set(m_nginx.Url(path).c_str());
        block->localPath.Set(local.c_str());
        block->startPos = start;
        block->endPos = end;
    }

    const std::string m_data = PatternBytes(kDataBytes, 11);
    NginxServer m_nginx{{false, kTestLocations}};
    TempDir m_dir;
};

TEST_F(MultiThreadDownloadTest, DownloadsTheRangeIntoTheSameRangeOfTheLocalFile) {
    const std::string local = MakeLocalFile("range.bin", 'z');
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/data.bin", local, 1000, 1200000);
    RecordingProgress progress;
    AttemptRecorder attempts;
    CMultiThreadDownload download;
    ASSERT_EQ(download.DownloadFile(0, &block, 0, &progress, &attempts, 5), 1);
    EXPECT_EQ(download.IsDownloadingStart(), 1);
    ASSERT_TRUE(WaitUntil([&] { return attempts.Completed(); }, kDownloadDeadline));
    EXPECT_EQ(Copied(block), 1199000);
    EXPECT_EQ(attempts.Outcomes(), std::vector<int>{1});
    EXPECT_EQ(attempts.UserData(), 5u);
    // A chunk size of 0 means chunks of 512 KiB.
    EXPECT_EQ(progress.Done(), (std::vector<uint64_t>{0x80000, 0x100000, 1199000}));
    for (uint64_t total : progress.Totals()) EXPECT_EQ(total, 1199000u);

    const std::string result = ReadWholeFile(local);
    ASSERT_EQ(result.size(), kDataBytes);
    EXPECT_EQ(result.substr(0, 1000), std::string(1000, 'z'));
    EXPECT_EQ(result.substr(1000, 1199000), m_data.substr(1000, 1199000));
    EXPECT_EQ(result.substr(1200000), std::string(kDataBytes - 1200000, 'z'));
    EXPECT_EQ(download.IsDownloadingStart(), 1) << "started stays until cancelled";
    download.CancelDownload();
    EXPECT_EQ(download.IsDownloadingStart(), 0);
}

TEST_F(MultiThreadDownloadTest, AWaitingDownloadReturnsAfterItsAttempt) {
    const std::string local = MakeLocalFile("wait.bin");
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/data.bin", local, 0, kDataBytes);
    AttemptRecorder attempts;
    CMultiThreadDownload download;
    ASSERT_EQ(download.DownloadFile(1, &block, 100000, nullptr, &attempts, 0), 1);
    EXPECT_EQ(download.IsDownloadingStart(), 0);
    EXPECT_EQ(Copied(block), static_cast<int64_t>(kDataBytes));
    EXPECT_EQ(attempts.Outcomes(), std::vector<int>{1});
    EXPECT_EQ(ReadWholeFile(local), m_data);
    EXPECT_EQ(block.speed, 0.0);
}

TEST_F(MultiThreadDownloadTest, RangesThatCanNeverCompleteAreRefused) {
    const std::string local = MakeLocalFile("refused.bin");
    struct Case {
        int64_t start;
        int64_t end;
        int64_t copied;
    } cases[] = {{10, 10, 0}, {10, 5, 0}, {-1, 5, 0}, {0, 100, 101}, {0, 100, -1}};
    for (const Case& c : cases) {
        LogCapture log;
        tagMTDOWNLOAD_BLOCK block;
        SetBlock(&block, "/data.bin", local, c.start, c.end);
        block.copiedSize = c.copied;
        AttemptRecorder attempts;
        CMultiThreadDownload download;
        EXPECT_EQ(download.DownloadFile(0, &block, 0, nullptr, &attempts, 0), 0) << c.start;
        EXPECT_EQ(download.IsDownloadingStart(), 0);
        EXPECT_TRUE(log.Has("DownloadFile refused")) << log.All();
        EXPECT_FALSE(log.Has("MT_ONEBLOCK")) << "no worker started";
    }
    CMultiThreadDownload download;
    EXPECT_EQ(download.DownloadFile(0, nullptr, 0, nullptr, nullptr, 0), 0);
}

TEST_F(MultiThreadDownloadTest, ACompleteBlockEndsTheWorkerWithoutOpeningAnything) {
    const std::string local = MakeLocalFile("done.bin", 'd');
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/data.bin", local, 0, 5000);
    block.copiedSize = 5000;
    RecordingProgress progress;
    AttemptRecorder attempts;
    LogCapture log;
    CMultiThreadDownload download;
    ASSERT_EQ(download.DownloadFile(0, &block, 0, &progress, &attempts, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return log.Has("thread exit, name=MT_ONEBLOCK"); }));
    EXPECT_FALSE(log.Has("CHttpFileClient::OpenFile")) << log.All();
    EXPECT_EQ(progress.Reports(), 0u);
    EXPECT_TRUE(attempts.Outcomes().empty());
    EXPECT_EQ(ReadWholeFile(local), std::string(kDataBytes, 'd'));
}

TEST_F(MultiThreadDownloadTest, FailedAttemptsAreReportedAndCancelEndsTheRetryPause) {
    struct Case {
        const char* path;
        bool createLocal;
        const char* line;
    } cases[] = {
        {"/missing.bin", true, "open failed"},
        {"/data.bin", false, "open failed, err is:No such file or directory"},
    };
    for (const Case& c : cases) {
        const std::string local = m_dir.File(std::string("failing-") + (c.createLocal ? "a" : "b"));
        if (c.createLocal) MakeLocalFile(std::filesystem::path(local).filename().string());
        tagMTDOWNLOAD_BLOCK block;
        SetBlock(&block, c.path, local, 0, 1000);
        AttemptRecorder attempts;
        LogCapture log;
        CMultiThreadDownload download;
        ASSERT_EQ(download.DownloadFile(0, &block, 0, nullptr, &attempts, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return attempts.Failures() == 1; })) << c.path;
        EXPECT_TRUE(log.Has(c.line)) << log.All();
        download.CancelDownload();
        EXPECT_EQ(attempts.Outcomes(), std::vector<int>{0}) << "no attempt after the cancel";
        EXPECT_EQ(std::filesystem::exists(local), c.createLocal) << "a local file is never made";
        EXPECT_EQ(Copied(block), 0);
    }
}

TEST_F(MultiThreadDownloadTest, BytesThatCouldNotBeWrittenAreNotCounted) {
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/data.bin", "/dev/full", 0, 200000);
    AttemptRecorder attempts;
    LogCapture log;
    CMultiThreadDownload download;
    ASSERT_EQ(download.DownloadFile(0, &block, 65536, nullptr, &attempts, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return attempts.Failures() == 1; }));
    download.CancelDownload();
    EXPECT_EQ(Copied(block), 0);
    EXPECT_TRUE(log.Has("local file(/dev/full) write failed")) << log.All();
}

TEST_F(MultiThreadDownloadTest, PauseHoldsTheWorkerAfterItsChunkAndResumeLetsItFinish) {
    const std::string local = MakeLocalFile("paused.bin");
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/slow/data.bin", local, 0, 300000);
    RecordingProgress progress;
    AttemptRecorder attempts;
    CMultiThreadDownload download;
    download.PauseDownload();  // before a download: no effect
    progress.SetOnReport([&](size_t reports) {
        if (reports == 1) download.PauseDownload();
    });
    ASSERT_EQ(download.DownloadFile(0, &block, 65536, &progress, &attempts, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return progress.Reports() == 1; }, kDownloadDeadline));
    // Held: nothing more arrives for a while.
    EXPECT_FALSE(WaitUntil([&] { return progress.Reports() > 1; }, std::chrono::milliseconds(700)));
    EXPECT_EQ(Copied(block), 65536);
    download.ResumeDownload();
    ASSERT_TRUE(WaitUntil([&] { return attempts.Completed(); }, kDownloadDeadline));
    EXPECT_EQ(ReadWholeFile(local).substr(0, 300000), m_data.substr(0, 300000));
}

TEST_F(MultiThreadDownloadTest, ACancelledDownloadContinuesWhereItStopped) {
    const std::string local = MakeLocalFile("continued.bin");
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/slow/data.bin", local, 0, kDataBytes);
    AttemptRecorder attempts;
    CMultiThreadDownload download;
    ASSERT_EQ(download.DownloadFile(0, &block, 65536, nullptr, &attempts, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return Copied(block) >= 131072; }, kDownloadDeadline));
    download.CancelDownload();
    const int64_t stoppedAt = Copied(block);
    ASSERT_LT(stoppedAt, static_cast<int64_t>(kDataBytes));
    EXPECT_TRUE(attempts.Outcomes().empty()) << "a cancelled attempt calls no end listener";

    // The rest comes from the fast location: the same bytes.
    block.url.Set(m_nginx.Url("/data.bin").c_str());
    LogCapture log;
    ASSERT_EQ(download.DownloadFile(0, &block, 0, nullptr, &attempts, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return attempts.Completed(); }, kDownloadDeadline));
    EXPECT_TRUE(log.Has("StartPos = 0, Copied Size = " + std::to_string(stoppedAt))) << log.All();
    EXPECT_EQ(ReadWholeFile(local), m_data);
}

TEST_F(MultiThreadDownloadTest, AnInterruptedDownloadResumesAndEndsByteIdentical) {
    const std::string local = MakeLocalFile("resumed.bin");
    tagMTDOWNLOAD_BLOCK block;
    SetBlock(&block, "/slow/data.bin", local, 0, kDataBytes);
    AttemptRecorder attempts;
    LogCapture log;
    CMultiThreadDownload download;
    ASSERT_EQ(download.DownloadFile(0, &block, 65536, nullptr, &attempts, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return Copied(block) >= 200000; }, kDownloadDeadline));

    m_nginx.Stop();
    ASSERT_TRUE(WaitUntil([&] { return attempts.Failures() >= 1; }, kDownloadDeadline));
    const int64_t stoppedAt = Copied(block);
    EXPECT_LT(stoppedAt, static_cast<int64_t>(kDataBytes));
    ASSERT_TRUE(m_nginx.Start()) << m_nginx.Error();

    ASSERT_TRUE(WaitUntil([&] { return attempts.Completed(); }, kDownloadDeadline));
    EXPECT_EQ(Copied(block), static_cast<int64_t>(kDataBytes));
    EXPECT_TRUE(log.Has("Copied Size = " + std::to_string(stoppedAt))) << log.All();
    const std::string command = "cmp -s '" + local + "' '" + m_nginx.DocRoot() + "/slow/data.bin'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    download.CancelDownload();
}

}  // namespace
