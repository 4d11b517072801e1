#include "core/dbg_output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/process_runner.h"

namespace {

// Set in the environment of this program run once more as a child that leaves a callback
// registered when it exits.
constexpr const char* kExitChildVariable = "ORBO_TEST_EXIT_WITH_CALLBACK";
// Long enough that only a hung exit reaches it.
constexpr std::chrono::seconds kExitChildDeadline{60};
constexpr const char* kEchoMark = "echoed: ";

// Small blocks the child's sink takes for every line: more than the allocator keeps at hand for
// their size, so a block written after it was freed is reached and the corruption shows.
constexpr int kSinkSmallBlocks = 32;

// The child's sink: allocates as a real sink does (small blocks, a copy of the line) and writes
// the line to standard output with a mark.
int EchoToStdout(uintptr_t, uint32_t, const char* line, int length) {
    void* blocks[kSinkSmallBlocks];
    for (void*& block : blocks) block = std::malloc(sizeof(void*));
    for (void* block : blocks) std::free(block);
    const std::string text = std::string(kEchoMark).append(line, static_cast<size_t>(length));
    if (write(STDOUT_FILENO, text.data(), text.size()) < 0) return 0;
    return 0;
}

// In the child: registers the sink before main and never removes it; the library's own lines
// at exit (its unload line) then reach a callback after the thread's thread-local objects are
// gone.
const bool gExitChild = [] {
    if (std::getenv(kExitChildVariable) == nullptr) return false;
    DbgOutputAddCallback(EchoToStdout, 0);
    DbgOutputA(kDbgLevelInfo, "child logging with a callback\r\n");
    return true;
}();

struct Captured {
    uint32_t level;
    std::string line;
    int length;
};

// Only the threads a test writes from capture lines: the library's own threads (the delayed
// posting engine's, for one) may log at any moment and must not reach a test's sinks.
thread_local bool tCapturing = false;

int Capture(uintptr_t userData, uint32_t level, const char* line, int length) {
    if (!tCapturing) return 0;
    auto* sink = reinterpret_cast<std::vector<Captured>*>(userData);
    sink->push_back({level, std::string(line, static_cast<size_t>(length)), length});
    return 0;
}

// Restores the process-wide settings every test changes.
class DbgOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        DbgOutputSetTag(1, "Orbo_LOG");
        DbgOutputSetTimeType(kDbgTimeOfDay);
        DbgOutputSetIncludePIDTID(1);
        DbgOutputSetDisplayType(kDbgDisplayDebugger);
        DbgOutputAddCallback(Capture, reinterpret_cast<uintptr_t>(&m_lines));
        tCapturing = true;
    }
    void TearDown() override {
        tCapturing = false;
        DbgOutputDelAllCallback();
        DbgOutputSetTag(1, "Orbo_LOG");
        DbgOutputSetTimeType(kDbgTimeOfDay);
        DbgOutputSetIncludePIDTID(1);
    }
    std::vector<Captured> m_lines;
};

TEST_F(DbgOutputTest, DefaultLineHasTagTimeIdsLetterAndMessage) {
    DbgOutputA(kDbgLevelInfo, "hello %d\r\n", 5);
    ASSERT_EQ(m_lines.size(), 1u);
    const std::regex shape(
        R"(^Orbo_LOG \d\d:\d\d:\d\d\.\d\d\d \(pid: *\d+, lwp: *\d+\) \[I\]=> hello 5\r\n$)");
    EXPECT_TRUE(std::regex_match(m_lines[0].line, shape)) << m_lines[0].line;
    EXPECT_EQ(m_lines[0].level, kDbgLevelInfo);
    EXPECT_EQ(m_lines[0].length, static_cast<int>(m_lines[0].line.size()));
}

TEST_F(DbgOutputTest, LevelLettersAndBareLines) {
    DbgOutputSetTag(0, nullptr);
    DbgOutputSetTimeType(kDbgNoTime);
    DbgOutputSetIncludePIDTID(0);
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "[ ]=> m"}, {1, "[D]=> m"}, {2, "[I]=> m"}, {3, "[W]=> m"}, {4, "[E]=> m"}};
    for (const auto& [level, expected] : cases) {
        m_lines.clear();
        DbgOutputA(level, "m");
        ASSERT_EQ(m_lines.size(), 1u);
        EXPECT_EQ(m_lines[0].line, expected);
    }
}

TEST_F(DbgOutputTest, DateTimeStampAndTagRules) {
    DbgOutputSetTimeType(kDbgDateTime);
    DbgOutputSetIncludePIDTID(0);
    DbgOutputSetTag(0, nullptr);
    DbgOutputA(kDbgLevelInfo, "Start Realtime data show.\r\n");
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        m_lines[0].line,
        std::regex(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[I\]=> Start Realtime data show\.\r\n$)")))
        << m_lines[0].line;

    DbgOutputSetTimeType(kDbgNoTime);
    DbgOutputSetTag(1, nullptr);  // enabled but empty: a single leading blank
    DbgOutputA(kDbgLevelWarning, "x");
    EXPECT_EQ(m_lines.back().line, " [W]=> x");

    DbgOutputSetTag(1, std::string(200, 't').c_str());
    DbgOutputA(kDbgLevelWarning, "x");
    EXPECT_EQ(m_lines.back().line, std::string(127, 't') + " [W]=> x");
}

TEST_F(DbgOutputTest, LongMessagesPercentTextAndWideLinesArriveWhole) {
    DbgOutputSetTag(0, nullptr);
    DbgOutputSetTimeType(kDbgNoTime);
    DbgOutputSetIncludePIDTID(0);
    const std::string big(5000, 'z');
    DbgOutputA(kDbgLevelInfo, "%s", big.c_str());
    EXPECT_EQ(m_lines.back().line, "[I]=> " + big);
    DbgOutputA(kDbgLevelInfo, "%s", "100% %d %s");
    EXPECT_EQ(m_lines.back().line, "[I]=> 100% %d %s");
    DbgOutputW(kDbgLevelError, u"%s=%d", u"\u9ED1", 3);
    EXPECT_EQ(m_lines.back().line, "[E]=> \xE9\xBB\x91=3");
    DbgOutputW(kDbgLevelError, u"%s", u"");
    EXPECT_EQ(m_lines.back().line, "[E]=> ");
}

TEST_F(DbgOutputTest, UnformattableLineGetsAFallbackText) {
    DbgOutputSetTag(0, nullptr);
    DbgOutputSetTimeType(kDbgNoTime);
    DbgOutputSetIncludePIDTID(0);
    const char* badFormat = "bad %";  // kept in a variable: the compiler would refuse a literal
    DbgOutputA(kDbgLevelError, badFormat);
    EXPECT_EQ(m_lines.back().line, "[E]=> (unformattable debug line) bad %");
}

int Counting(uintptr_t userData, uint32_t, const char*, int) {
    if (!tCapturing) return 0;
    ++*reinterpret_cast<int*>(userData);
    return 0;
}

TEST_F(DbgOutputTest, RegisteringTwiceKeepsOneEntryWithTheLatestUserData) {
    int first = 0, second = 0;
    DbgOutputAddCallback(Counting, reinterpret_cast<uintptr_t>(&first));
    DbgOutputAddCallback(Counting, reinterpret_cast<uintptr_t>(&second));
    DbgOutputA(kDbgLevelInfo, "a");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    DbgOutputDelCallback(Counting);
    DbgOutputA(kDbgLevelInfo, "b");
    EXPECT_EQ(second, 1);
    EXPECT_EQ(m_lines.size(), 2u);
}

int calledAfterRemoval = 0;
int RemovesItself(uintptr_t, uint32_t, const char*, int) {
    if (!tCapturing) return 0;
    ++calledAfterRemoval;
    DbgOutputDelCallback(RemovesItself);
    return 0;
}

TEST_F(DbgOutputTest, CallbackRemovingItselfIsSafeAndStopsReceiving) {
    calledAfterRemoval = 0;
    DbgOutputAddCallback(RemovesItself, 0);
    DbgOutputA(kDbgLevelInfo, "one");
    DbgOutputA(kDbgLevelInfo, "two");
    EXPECT_EQ(calledAfterRemoval, 1);
    EXPECT_EQ(m_lines.size(), 2u);
}

int nestedCalls = 0;
int LogsFromInside(uintptr_t, uint32_t, const char*, int) {
    if (!tCapturing) return 0;
    ++nestedCalls;
    DbgOutputA(kDbgLevelInfo, "written from a callback");
    return 0;
}

TEST_F(DbgOutputTest, CallbackThatLogsDoesNotRecurseForever) {
    nestedCalls = 0;
    DbgOutputAddCallback(LogsFromInside, 0);
    DbgOutputA(kDbgLevelInfo, "outer");
    EXPECT_EQ(nestedCalls, 1);
    // The nested line still reached the other sink.
    ASSERT_EQ(m_lines.size(), 2u);
    EXPECT_NE(m_lines[0].line.find("outer"), std::string::npos);
    EXPECT_NE(m_lines[1].line.find("written from a callback"), std::string::npos);
}

TEST_F(DbgOutputTest, CallbacksReceiveWholeLinesFromManyThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            tCapturing = true;
            for (int i = 0; i < 250; ++i) DbgOutputA(kDbgLevelInfo, "many-threads line %d\r\n", i);
        });
    }
    for (auto& thread : threads) thread.join();
    // The capture is not locked by the test: the callback lock serialises the calls. Other
    // threads of the library may log meanwhile, so only this test's lines are counted.
    int count = 0;
    for (const auto& captured : m_lines) {
        if (captured.line.find("many-threads line ") == std::string::npos) continue;
        EXPECT_EQ(captured.line.substr(captured.line.size() - 2), "\r\n");
        ++count;
    }
    EXPECT_EQ(count, 1000);
}

TEST(DbgOutputExit, ProgramExitingWithACallbackStillRegisteredExitsCleanly) {
    ASSERT_FALSE(gExitChild);
    ProcessOptions options;
    options.environment = {{kExitChildVariable, "1"}};
    options.deadline = kExitChildDeadline;
    const ProcessResult run = RunProcess({"/proc/self/exe", "--gtest_list_tests"}, options);
    ASSERT_TRUE(run.started) << run.error;
    ASSERT_FALSE(run.timedOut) << run.err;
    EXPECT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The library's unload line still reached the callback.
    EXPECT_NE(run.out.find(std::string(kEchoMark) + "Orbo_LOG"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("DLL_PROCESS_DETACH"), std::string::npos) << run.out;
    for (const char* fault :
         {"double free", "Invalid", "corrupt", "AddressSanitizer", "unaligned", "malloc"}) {
        EXPECT_EQ(run.err.find(fault), std::string::npos) << fault << "\n" << run.err;
    }
}

}  // namespace
