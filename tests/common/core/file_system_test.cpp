#include "core/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/base_string.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"
#include "support/temp_dir.h"
#include "support/wide_text.h"

namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

TEST(ExistenceTests, DistinguishFilesFoldersAndTakeNamesLiterally) {
    TempDir dir;
    fs::create_directory(dir.Path() / "folder");
    Touch(dir.File("a.bin"));
    Touch(dir.File("lit*.txt"));
    fs::create_directory_symlink("folder", dir.Path() / "folder_link");
    const struct {
        std::string path;
        int dirA;
        int fileA;
        int fileW;
    } cases[] = {
        {dir.File("folder"), 1, 1, 0},  // IsFileExistA counts folders, IsFileExistW does not
        {dir.File("folder_link"), 1, 1, 0},
        {dir.File("a.bin"), 0, 1, 1},
        {dir.File("missing"), 0, 0, 0},
        {dir.File("*.bin"), 0, 0, 0},  // no pattern matching
        {dir.File("a.b?n"), 0, 0, 0},
        {dir.File("lit*.txt"), 0, 1, 1},  // a name that holds '*' is just a name
        {dir.Path().string() + "\\a.bin", 0, 1, 1},
        {"", 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDirExistA(c.path.c_str()), c.dirA) << c.path;
        EXPECT_EQ(IsDirExistW(WideText(c.path).c_str()), c.dirA) << c.path;
        EXPECT_EQ(IsFileExistA(c.path.c_str()), c.fileA) << c.path;
        EXPECT_EQ(IsFileExistW(WideText(c.path).c_str()), c.fileW) << c.path;
    }
    EXPECT_EQ(IsDirExistA(nullptr), 0);
    EXPECT_EQ(IsFileExistW(nullptr), 0);
}

TEST(RecursiveCreateDirectory, CreatesEveryMissingLevel) {
    TempDir dir;
    const std::string deep = dir.File("a\\b/c/");
    EXPECT_EQ(RecursiveCreateDirectoryW(WideText(deep).c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "b" / "c"));
    EXPECT_EQ(RecursiveCreateDirectoryA(dir.File("a/b/c").c_str()), 1);  // exists: nothing to do
    EXPECT_EQ(RecursiveCreateDirectoryA(dir.File("a//x/y").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "x" / "y"));
    EXPECT_EQ(RecursiveCreateDirectoryA("/"), 1);
}

TEST(RecursiveCreateDirectory, FailsWhereTheTreeCannotBeMade) {
    TempDir dir;
    Touch(dir.File("file"));
    EXPECT_EQ(RecursiveCreateDirectoryA(dir.File("file/sub").c_str()), 0);
    EXPECT_EQ(RecursiveCreateDirectoryA(dir.File("file").c_str()), 0);
    EXPECT_EQ(RecursiveCreateDirectoryA(nullptr), 0);
    EXPECT_EQ(RecursiveCreateDirectoryW(u""), 0);
    const std::string tooLong = dir.File(std::string(kMaxPathChars, 'd'));
    EXPECT_EQ(RecursiveCreateDirectoryA(tooLong.c_str()), 0);
    EXPECT_FALSE(fs::exists(tooLong.substr(0, kMaxPathChars)));
}

LocalDateTime Local(time_t when) {
    tm local{};
    localtime_r(&when, &local);
    LocalDateTime out;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.dayOfWeek = local.tm_wday;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    return out;
}

void ExpectSame(const LocalDateTime& actual, const LocalDateTime& expected, const char* what) {
    EXPECT_EQ(actual.year, expected.year) << what;
    EXPECT_EQ(actual.month, expected.month) << what;
    EXPECT_EQ(actual.dayOfWeek, expected.dayOfWeek) << what;
    EXPECT_EQ(actual.day, expected.day) << what;
    EXPECT_EQ(actual.hour, expected.hour) << what;
    EXPECT_EQ(actual.minute, expected.minute) << what;
    EXPECT_EQ(actual.second, expected.second) << what;
}

TEST(GetFileSystemTime, GivesLocalTimesAndBirthTimeWhereKept) {
    TempDir dir;
    const std::string path = dir.File("stamped");
    const time_t before = time(nullptr);
    Touch(path);
    const time_t access = 1000000000;  // 2001-09-09
    const time_t write = 1769850307;   // 2026-01-31
    const timespec times[2] = {{access, 250000000}, {write, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    LocalDateTime creation, lastAccess, lastWrite;
    ASSERT_EQ(GetFileSystemTimeW(WideText(path).c_str(), &creation, &lastAccess, &lastWrite), 1);
    ExpectSame(lastAccess, Local(access), "last access");
    EXPECT_EQ(lastAccess.milliseconds, 250);
    ExpectSame(lastWrite, Local(write), "last write");

    struct statx info {};
    ASSERT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info), 0);
    if ((info.stx_mask & STATX_BTIME) != 0) {
        // Born during this test, whatever the write time says now.
        const time_t born = static_cast<time_t>(info.stx_btime.tv_sec);
        EXPECT_GE(born, before);
        ExpectSame(creation, Local(born), "creation");
    } else {
        ExpectSame(creation, Local(write), "creation without a birth time");
    }
    EXPECT_EQ(GetFileSystemTimeA(path.c_str(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(GetFileSystemTimeA(dir.File("missing").c_str(), &creation, nullptr, nullptr), 0);
}

TEST(FormatFileSize, PicksUnitByMagnitude) {
    const struct {
        uint64_t size;
        const char* text;
    } cases[] = {
        {0, "0 "},
        {1023, "1023 "},
        {1024, "1.00 K"},
        {1536, "1.50 K"},
        {(1u << 20) - 1, "1024.00 K"},
        {1u << 20, "1.00 M"},
        {3ull << 29, "1.50 G"},
        {(1ull << 40) - 1, "1024.00 G"},
        {1ull << 40, "1.00 T"},
        {5ull << 41, "10.00 T"},
    };
    for (const auto& c : cases) {
        CBaseStringA narrow;
        FormatFileSizeA(c.size, &narrow);
        EXPECT_STREQ(narrow.GetString(), c.text) << c.size;
        CBaseStringW wide;
        FormatFileSizeW(c.size, &wide);
        EXPECT_EQ(std::u16string(wide.GetString()), WideText(c.text)) << c.size;
    }
    FormatFileSizeA(1, nullptr);
}

}  // namespace
