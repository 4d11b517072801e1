// The firmware window's jobs without a window: one job at a time on the worker, its end reported
// once after everything it showed, the partition the user chose kept through the query that
// fetch-and-download starts with, and the online messages with their titles.
#include "firmware/firmware_jobs.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "resources/string_table.h"
#include "support/scoped_env.h"
#include "support/wait_until.h"
#include "tool/firmware/recording_firmware_sink.h"
#include "tool/firmware/scripted_boot_loader_link.h"
#include "upgrade/upgrade_interface.h"

namespace {

// Holds the port's open until the test lets it go, so a job can be caught while it runs.
class GatedLink : public ScriptedBootLoaderLink {
public:
    int OpenByPortNum(int portNumber, uint32_t baudRate, uint8_t byteSize, uint8_t parity,
                      uint8_t stopBits, int protocolVersion, int readSerialNumber, int readVersion,
                      int keepCmdMode, uint32_t ackTimeoutMs, uint32_t settleMs) override {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_waiting = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
        }
        return ScriptedBootLoaderLink::OpenByPortNum(
            portNumber, baudRate, byteSize, parity, stopBits, protocolVersion, readSerialNumber,
            readVersion, keepCmdMode, ackTimeoutMs, settleMs);
    }
    // The next open waits until Release.
    void Hold() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
    }
    bool Waiting() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_waiting;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_waiting = false;
    bool m_open = true;
};

class RecordingJobEvents : public IFirmwareJobEvents {
public:
    void OnFirmwareFetchProgress(int, uint64_t, uint64_t, double, const std::string&) override {}
    void OnFirmwareJobEnded(const FirmwareJobOutcome& outcome) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended.push_back(outcome);
    }
    std::vector<FirmwareJobOutcome> Ended() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ended;
    }

private:
    std::mutex m_mutex;
    std::vector<FirmwareJobOutcome> m_ended;
};

class FirmwareJobsTest : public testing::Test {
protected:
    FirmwareJobsTest() : runner(link, nullptr, sink, events) {
        SetSelectedLanguage(UiLanguage::English);
        runner.Downloader().SetPortNumber(3);
        Orbo_Upgrade_SetServiceUrl(nullptr);
    }

    GatedLink link;
    RecordingFirmwareSink sink;
    RecordingJobEvents events;
    ScopedEnv noService{"ORBO_FIRMWARE_URL", std::nullopt};
    FirmwareJobRunner runner;
};

TEST_F(FirmwareJobsTest, OneJobRunsAtATimeAndItsEndIsReportedOnce) {
    link.Hold();
    ASSERT_TRUE(runner.Start(FirmwareJob(FirmwareJobKind::Info)));
    ASSERT_TRUE(WaitUntil([&] { return link.Waiting(); }));
    EXPECT_TRUE(runner.Busy());
    EXPECT_FALSE(runner.Start(FirmwareJob(FirmwareJobKind::Download)));
    EXPECT_TRUE(events.Ended().empty());
    link.Release();
    ASSERT_TRUE(WaitUntil([&] { return !runner.Busy(); }));
    runner.Wait();
    const std::vector<FirmwareJobOutcome> ended = events.Ended();
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].kind, FirmwareJobKind::Info);
    EXPECT_TRUE(ended[0].succeeded);
    EXPECT_EQ(ended[0].firmware, FirmwareResult::Succeeded);
    // The information arrived before the end was reported.
    EXPECT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(link.opens.size(), 1u);
    // The next job may start.
    EXPECT_TRUE(runner.Start(FirmwareJob(FirmwareJobKind::Info)));
    runner.Wait();
    EXPECT_EQ(events.Ended().size(), 2u);
}

TEST_F(FirmwareJobsTest, FetchAndDownloadKeepsTheChosenPartitionWhenTheSensorOffersIt) {
    const struct {
        int chosen;
        int kept;
        int listIndex;
    } cases[] = {{1, 1, 1}, {-1, 0, 0}, {5, 0, 0}};
    for (const auto& c : cases) {
        RecordingFirmwareSink caseSink;
        RecordingJobEvents caseEvents;
        ScriptedBootLoaderLink caseLink;
        FirmwareJobRunner caseRunner(caseLink, nullptr, caseSink, caseEvents);
        caseRunner.Downloader().SetPortNumber(3);
        caseRunner.Downloader().SetSelectedPartition(c.chosen);
        // No version chosen: the information query runs, the fetch then ends quietly.
        const FirmwareJobOutcome outcome =
            caseRunner.Run(FirmwareJob(FirmwareJobKind::FetchAndDownload));
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.service, FirmwareServiceStatus::NoVersion);
        EXPECT_EQ(caseRunner.Downloader().SelectedPartition(), c.kept) << c.chosen;
        EXPECT_EQ(caseSink.selectedIndex, c.listIndex) << c.chosen;
        EXPECT_TRUE(caseSink.boxes.empty()) << c.chosen;
        EXPECT_EQ(caseEvents.Ended().size(), 1u);
    }
}

TEST_F(FirmwareJobsTest, OnlineFailuresShowTheirMessagesWithTheirTitles) {
    // No service address: the log-on fails.
    const FirmwareJobOutcome listed = runner.Run(FirmwareJob(FirmwareJobKind::ListVersions));
    EXPECT_FALSE(listed.succeeded);
    EXPECT_EQ(listed.service, FirmwareServiceStatus::LogonFailed);
    EXPECT_TRUE(listed.sensorVersion.empty());  // no device: no version asked
    FirmwareJob fetch(FirmwareJobKind::Fetch);
    fetch.version = "1.6.0";
    const FirmwareJobOutcome fetched = runner.Run(fetch);
    EXPECT_FALSE(fetched.succeeded);
    ASSERT_EQ(sink.boxes.size(), 2u);
    EXPECT_EQ(sink.boxes[0].title, LoadStringText(kStrNote));
    EXPECT_EQ(sink.boxes[0].text, LoadStringText(kStrServiceLogonFailed));
    EXPECT_EQ(sink.boxes[1].title, LoadStringText(kStrError));
    EXPECT_EQ(sink.boxes[1].text, LoadStringText(kStrServiceLogonFailed));
    for (const auto& box : sink.boxes) EXPECT_EQ(box.icon, FirmwareMessageIcon::Information);
    // A fetch without a version says nothing.
    runner.Run(FirmwareJob(FirmwareJobKind::Fetch));
    EXPECT_EQ(sink.boxes.size(), 2u);
}

}  // namespace
