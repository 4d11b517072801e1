// Replaying part of a recording: the reader's byte range and the engine's replay of the reports
// a recording index bounds.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "device/acquisition_engine.h"
#include "device/recording_index.h"
#include "device/replay_reader.h"
#include "support/temp_dir.h"
#include "support/test_recordings.h"
#include "support/wait_until.h"
#include "support/whole_file.h"
#include "tool/device/stream_test_support.h"

namespace {

// Generous limit for waits that only catch a hang.
constexpr auto kHangDeadline = std::chrono::seconds(20);

TEST(ReplayRangeTest, ReaderReadsOnlyItsRange) {
    TempDir folder;
    WriteWholeFile(folder.File("digits"), std::string("0123456789"));
    struct Case {
        uint64_t begin, end;
        const char* expected;
    };
    for (const Case& c : {Case{0, kReplayToFileEnd, "0123456789"}, Case{3, 7, "3456"},
                          Case{8, kReplayToFileEnd, "89"}, Case{4, 4, ""}, Case{6, 2, ""},
                          Case{9, 40, "9"}, Case{20, kReplayToFileEnd, ""}}) {
        ReplayReader reader;
        ASSERT_TRUE(reader.Open(folder.File("digits")));
        ASSERT_TRUE(reader.SetRange(c.begin, c.end));
        std::string got;
        uint8_t bytes[3];
        // Small reads, so that the range ends inside one.
        while (const size_t n = reader.Read(bytes, sizeof bytes)) got.append(bytes, bytes + n);
        EXPECT_EQ(got, c.expected) << c.begin << ".." << c.end;
        EXPECT_FALSE(reader.Failed());
    }
}

TEST(ReplayRangeTest, EngineReplaysTheIndexedReportsFromNToM) {
    const std::string file = test_recordings::Path("states_30.dat");
    RecordingIndex index;
    ASSERT_TRUE(index.Build(file));
    struct Case {
        uint64_t from, to;  // from 0, both included
        int intervalMs;
    };
    for (const Case& c : {Case{0, 29, 0}, Case{0, 0, 0}, Case{3, 12, 0}, Case{21, 29, 0},
                          Case{29, 29, 1}, Case{10, 14, 1}}) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        stream_test::ReportSink sink;
        AcquisitionEngine engine(sink);
        AcquisitionRun run;
        run.mode = AcquisitionMode::Replay;
        run.replayFile = file;
        run.replayIntervalMs = c.intervalMs;
        run.replayFirstByte = index.ReportOffset(c.from);
        run.replayEndByte = index.ReportEnd(c.to);
        ASSERT_EQ(engine.StartAcquisition(run), AcquisitionStartResult::Started);
        ASSERT_TRUE(WaitUntil([&] { return !sink.Ended().empty(); }, kHangDeadline));
        engine.StopAcquisition();
        EXPECT_EQ(sink.Ended(), std::vector<AcquisitionEnd>{AcquisitionEnd::ReplayFinished});
        const std::vector<TargetReport> reports = sink.Reports();
        ASSERT_EQ(reports.size(), c.to - c.from + 1);
        for (uint64_t n = c.from; n <= c.to; ++n) {
            EXPECT_EQ(reports[n - c.from].distance, test_recordings::States30Distance(n));
            EXPECT_EQ(reports[n - c.from].state, test_recordings::States30State(n));
        }
        // Bounded by whole reports: nothing in the range is garbage except what lies between
        // them (3 bytes after reports 2 and 11).
        const uint64_t noise =
            (c.from <= 2 && c.to > 2 ? 3 : 0) + (c.from <= 11 && c.to > 11 ? 3 : 0);
        EXPECT_EQ(engine.GetTally().bytesSkipped, noise);
    }
}

}  // namespace
