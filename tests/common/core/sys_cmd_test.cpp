#include "core/sys_cmd.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/dbg_output.h"
#include "support/log_capture.h"

namespace {

struct Output {
    std::string text;
    int chunks = 0;
    int largest = 0;
};

int Collect(uintptr_t userData, const char* data, int length) {
    auto* out = reinterpret_cast<Output*>(userData);
    out->text.append(data, static_cast<size_t>(length));
    ++out->chunks;
    if (length > out->largest) out->largest = length;
    return 1;
}

TEST(SysCmd, ShellCommandOutputAndExitCode) {
    Output out;
    int code = -7;
    ASSERT_EQ(do_syscmd_A("printf 'a b\\n'; echo err >&2; exit 3", 1, Collect,
                          reinterpret_cast<uintptr_t>(&out), &code),
              1);
    EXPECT_EQ(out.text, "a b\n");
    EXPECT_EQ(code, 3);
}

TEST(SysCmd, DirectCommandSplitsWordsAndHonoursQuotes) {
    Output out;
    int code = -1;
    ASSERT_EQ(do_syscmd_A("printf \"%s|\" one 'two words' three\\ four \"q\\\"d\"", 0, Collect,
                          reinterpret_cast<uintptr_t>(&out), &code),
              1);
    EXPECT_EQ(out.text, "one|two words|three four|q\"d|");
    EXPECT_EQ(code, 0);
}

TEST(SysCmd, LargeOutputArrivesWholeInBoundedChunks) {
    Output out;
    int code = -1;
    ASSERT_EQ(do_syscmd_A("head -c 100000 /dev/zero | tr '\\0' 'z'", 1, Collect,
                          reinterpret_cast<uintptr_t>(&out), &code),
              1);
    EXPECT_EQ(out.text, std::string(100000, 'z'));
    EXPECT_LE(out.largest, kSysCmdChunkBytes);
    EXPECT_EQ(code, 0);
}

TEST(SysCmd, ChildGetsNoInputAndSignalsShowInTheExitCode) {
    Output out;
    int code = -1;
    ASSERT_EQ(
        do_syscmd_A("cat; kill -TERM $$", 1, Collect, reinterpret_cast<uintptr_t>(&out), &code), 1);
    EXPECT_EQ(out.text, "");
    EXPECT_EQ(code, 128 + 15);
}

TEST(SysCmd, WideCommandLineAndNullCallback) {
    int code = -1;
    EXPECT_EQ(do_syscmd_W(u"exit 4", 1, nullptr, 0, &code), 1);
    EXPECT_EQ(code, 4);
    const char16_t unpaired[] = {u'e', 0xD800, 0};
    EXPECT_EQ(do_syscmd_W(unpaired, 1, nullptr, 0, &code), 0);
}

TEST(SysCmd, ProgramThatCannotStartIsReported) {
    // The library's threads log too (for example when they start): own lines only.
    LogCapture log({.threads = LogThreads::Own});
    int code = 0;
    const int started = do_syscmd_A("/nonexistent/program arg", 0, nullptr, 0, &code);
    const std::vector<std::string> lines = log.Texts();
    EXPECT_EQ(started, 0);
    EXPECT_EQ(code, -1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Call cmd:/nonexistent/program arg\r\n"), std::string::npos);
    EXPECT_NE(lines[1].find("CreateProcess Failed!"), std::string::npos);
    EXPECT_EQ(do_syscmd_A("", 1, nullptr, 0, &code), 0);
    EXPECT_EQ(do_syscmd_A("   ", 0, nullptr, 0, &code), 0);
}

}  // namespace
