// ctest-labels: unit
#include "app/run_log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/dbg_output.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

TEST(RunLogFile, TakesEveryDebugLineWhileOpen) {
    TempDir dir;
    const std::string folder = dir.File("nested/Log");
    RunLogFile log;
    ASSERT_TRUE(log.Open(folder));
    const std::filesystem::path path = log.Path();
    EXPECT_EQ(path.parent_path(), std::filesystem::path(folder));
    EXPECT_EQ(path.filename().string().rfind("Zorvan_TOOL_", 0), 0u);
    EXPECT_EQ(path.extension(), ".log");
    DbgOutputA(kDbgLevelInfo, "first line %d\r\n", 1);
    log.Close();
    DbgOutputA(kDbgLevelInfo, "after the close\r\n");
    const std::string text = ReadWholeFile(path);
    EXPECT_NE(text.find("[I]=> first line 1\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("after the close"), std::string::npos);
}

TEST(RunLogFile, AFolderThatCannotBeMadeMeansNoLog) {
    TempDir dir;
    WriteWholeFile(dir.File("file"), "x");
    RunLogFile log;
    EXPECT_FALSE(log.Open(dir.File("file/Log")));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.Open(""));
}

}  // namespace
