#include "core/thread_diagnostics.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "core/utf_convert.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/whole_file.h"

namespace {

constexpr uint64_t kLongWaitMs = 10000;

class Body : public IThreadFuncInterface {
public:
    explicit Body(int (*step)(Body&)) : m_step(step) {}
    int ThreadLoop(uint64_t) override {
        tid = static_cast<uint32_t>(gettid());
        running = true;
        return m_step(*this);
    }
    std::atomic<uint32_t> tid{0};
    std::atomic<bool> running{false};
    CBaseEvent release;

private:
    int (*m_step)(Body&);
};

uint64_t ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

std::string Hex8(uint32_t value) {
    char text[16];
    snprintf(text, sizeof(text), "%08X", value);
    return text;
}

const std::regex kFrameLine(R"(^0x[0-9a-f]+ \(.+\): \(filename not available\): .+\r\n$)");

TEST(ThreadRunTime, ReportsTheCpuTimeOfABusyThread) {
    constexpr uint64_t kBusyMs = 150;
    Body body([](Body& self) {
        const uint64_t start = ThreadCpuMs();
        while (ThreadCpuMs() - start < kBusyMs) {
        }
        self.running = false;
        self.release.Wait(kLongWaitMs);
        return 0;
    });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Busy", &body, 0, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return body.tid.load() != 0 && !body.running.load(); }));
    uint64_t kernelMs = 12345, userMs = 12345;
    EXPECT_EQ(GetThreadRunTimeInfoIn_Win32(thread.GetThreadHandle(), &kernelMs, &userMs), 1);
    // The kernel samples per clock tick: allow a few ticks of difference.
    EXPECT_GE(kernelMs + userMs, kBusyMs - 50);
    EXPECT_LT(kernelMs, 12345u);
    EXPECT_EQ(GetThreadRunTimeInfoIn_Win32(thread.GetThreadHandle(), nullptr, nullptr), 1);
    body.release.Set();
    thread.StopThread();
}

TEST(ThreadRunTime, UnknownOrReleasedHandlesFailWithZeroOutputs) {
    Body body([](Body&) { return 0; });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Short", &body, 0, 0, 0, 0), 1);
    const ThreadHandle released = thread.GetThreadHandle();
    thread.StopThread();
    const ThreadHandle cases[] = {0, released, ~ThreadHandle{0}};
    for (const ThreadHandle handle : cases) {
        SCOPED_TRACE(handle);
        uint64_t kernelMs = 99, userMs = 99;
        EXPECT_EQ(GetThreadRunTimeInfoIn_Win32(handle, &kernelMs, &userMs), 0);
        EXPECT_EQ(kernelMs, 0u);
        EXPECT_EQ(userMs, 0u);
    }
}

TEST(DumpThreadStack, WritesOneLinePerFrameOfTheCallingThread) {
    LogCapture log({.threads = LogThreads::Own});
    DumpThreadStack();
    const std::vector<CapturedLine> lines = log.Lines();
    ASSERT_GE(lines.size(), 3u);
    bool namesItself = false;
    for (const CapturedLine& line : lines) {
        EXPECT_EQ(line.level, kDbgLevelInfo);
        EXPECT_TRUE(std::regex_match(line.message, kFrameLine)) << line.message;
        if (line.message.find("libOrbo_Common") != std::string::npos &&
            line.message.find("DumpThreadStack") != std::string::npos) {
            namesItself = true;
        }
    }
    EXPECT_TRUE(namesItself);
}

// Splits the dump into its messages and checks the block of one thread.
void ExpectThreadBlock(const std::vector<std::string>& messages, uint32_t tid, bool ownStack) {
    const std::string head = "THREAD ID=0x" + Hex8(tid) + ", base priority=";
    const auto begin = std::find_if(messages.begin(), messages.end(), [&](const std::string& m) {
        return m.compare(0, head.size(), head) == 0;
    });
    ASSERT_NE(begin, messages.end()) << "no block for thread " << tid;
    EXPECT_TRUE(std::regex_match(*begin, std::regex(R"(.*, delta priority=-?\d+\r\n$)")));
    const std::string tail = "THREAD ID=0x" + Hex8(tid) + " dump complete\r\n\r\n";
    const auto end = std::find(begin, messages.end(), tail);
    ASSERT_NE(end, messages.end());
    std::vector<std::string> stack(begin + 1, end);
    if (ownStack) {
        ASSERT_GE(stack.size(), 2u);
        for (const std::string& frame : stack) EXPECT_TRUE(std::regex_match(frame, kFrameLine));
    } else {
        ASSERT_EQ(stack.size(), 1u);
        EXPECT_NE(stack[0].find("not available"), std::string::npos);
    }
}

TEST(DumpAllThreadsStack, ListsEveryThreadAndWalksOnlyTheCallingOne) {
    Body body([](Body& self) {
        self.release.Wait(kLongWaitMs);
        return 0;
    });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Other", &body, 0, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return body.tid.load() != 0; }));
    LogCapture log({.threads = LogThreads::Own});
    DumpAllThreadsStack(nullptr);
    const std::vector<std::string> messages = log.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], "dump thread callstack...\r\n\r\n");
    ExpectThreadBlock(messages, static_cast<uint32_t>(gettid()), true);
    ExpectThreadBlock(messages, body.tid.load(), false);
    body.release.Set();
    thread.StopThread();
}

TEST(DumpAllThreadsStack, WritesTheSameLinesToTheGivenFile) {
    TempDir dir;
    std::string backslashed = dir.File("dump.txt");
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    for (const std::string& path : {dir.File("dump.txt"), backslashed}) {
        SCOPED_TRACE(path);
        // A longer earlier dump is truncated.
        WriteWholeFile(dir.File("dump.txt"), std::string(100000, 'x'));
        LogCapture log({.threads = LogThreads::Own});
        DumpAllThreadsStack(Utf8ToUtf16Lossy(path).c_str());
        std::string expected;
        for (const std::string& m : log.Messages()) expected += m;
        EXPECT_EQ(ReadWholeFile(dir.File("dump.txt")), expected);
        EXPECT_EQ(expected.rfind("dump thread callstack...\r\n\r\n", 0), 0u);
    }
}

TEST(DumpAllThreadsStack, ReportsAFileItCannotWriteAndStillDumps) {
    TempDir dir;
    const std::u16string missingFolder = Utf8ToUtf16Lossy(dir.File("missing/dump.txt"));
    const std::u16string loneSurrogate = u"dump\xD800.txt";
    for (const std::u16string& path : {missingFolder, loneSurrogate}) {
        LogCapture log({.threads = LogThreads::Own});
        DumpAllThreadsStack(path.c_str());
        const std::vector<CapturedLine> lines = log.Lines();
        const bool reported = std::any_of(lines.begin(), lines.end(), [](const CapturedLine& l) {
            return l.level == kDbgLevelError && l.message.find("DumpAllThreadsStack") == 0;
        });
        EXPECT_TRUE(reported);
        const std::vector<std::string> messages = log.Messages();
        EXPECT_NE(std::find(messages.begin(), messages.end(), "dump thread callstack...\r\n\r\n"),
                  messages.end());
        ExpectThreadBlock(messages, static_cast<uint32_t>(gettid()), true);
    }
}

}  // namespace
