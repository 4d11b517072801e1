#include "device/recording_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.h"
#include "tool/device/stream_test_support.h"

namespace {

namespace fs = std::filesystem;
using stream_test::Bytes;

LocalDateTime When() {
    LocalDateTime when;
    when.year = 2024;
    when.month = 5;
    when.day = 1;
    when.hour = 13;
    when.minute = 45;
    when.second = 9;
    when.milliseconds = 321;
    return when;
}

TEST(RecordingFile, NameCarriesDateAndTimeWithoutMilliseconds) {
    EXPECT_EQ(RecordingFile::MakeName(When(), 0), "RadarData_2024_05_01_13_45_09.dat");
    EXPECT_EQ(RecordingFile::MakeName(When(), 1), "RadarData_2024_05_01_13_45_09_1.dat");
    EXPECT_EQ(RecordingFile::MakeName(When(), 12), "RadarData_2024_05_01_13_45_09_12.dat");
}

TEST(RecordingFile, WritesExactlyTheBytesGivenAndChecksTheClose) {
    TempDir dir;
    RecordingFile file;
    ASSERT_TRUE(file.Create(dir.Path().string(), When()));
    EXPECT_EQ(file.Path(), dir.File("RadarData_2024_05_01_13_45_09.dat"));
    const Bytes first{0xF4, 0xF3, 0x00, 0x01};
    const Bytes second{0xFF, 0x00, 0x7A};
    ASSERT_TRUE(file.Write(first.data(), first.size()));
    ASSERT_TRUE(file.Write(second.data(), 0));
    ASSERT_TRUE(file.Write(second.data(), second.size()));
    EXPECT_EQ(file.BytesWritten(), 7u);
    ASSERT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadWholeFileBytes(file.Path()), stream_test::Concat({first, second}));
}

TEST(RecordingFile, ANamedRecordingIsCreatedButNeverReplacesAFile) {
    TempDir dir;
    const std::string path = dir.File("chosen.dat");
    RecordingFile file;
    ASSERT_TRUE(file.CreateAt(path));
    const Bytes bytes{1, 2, 3};
    ASSERT_TRUE(file.Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(file.Close());

    RecordingFile again;
    EXPECT_FALSE(again.CreateAt(path));
    EXPECT_EQ(again.Error(), EEXIST);
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(ReadWholeFileBytes(path), bytes);
    EXPECT_FALSE(again.CreateAt(""));
    EXPECT_FALSE(again.CreateAt(dir.File("missing-folder/x.dat")));
    EXPECT_EQ(again.Error(), ENOENT);
}

TEST(RecordingFile, SecondRunInTheSameSecondGetsASuffixAndLeavesTheFirstIntact) {
    TempDir dir;
    const Bytes firstBytes(100, 0xAB);
    std::string firstPath;
    {
        RecordingFile first;
        ASSERT_TRUE(first.Create(dir.Path().string(), When()));
        ASSERT_TRUE(first.Write(firstBytes.data(), firstBytes.size()));
        ASSERT_TRUE(first.Close());
        firstPath = first.Path();
    }
    RecordingFile second;
    ASSERT_TRUE(second.Create(dir.Path().string(), When()));
    EXPECT_EQ(second.Path(), dir.File("RadarData_2024_05_01_13_45_09_1.dat"));
    RecordingFile third;
    ASSERT_TRUE(third.Create(dir.Path().string(), When()));
    EXPECT_EQ(third.Path(), dir.File("RadarData_2024_05_01_13_45_09_2.dat"));
    EXPECT_EQ(ReadWholeFileBytes(firstPath), firstBytes);
    EXPECT_EQ(fs::file_size(second.Path()), 0u);
}

TEST(RecordingFile, NeverOpensAnExistingFileEvenWhenItIsALink) {
    TempDir dir;
    const std::string target = dir.File("precious.bin");
    std::ofstream(target) << "keep";
    fs::create_symlink(target, dir.File("RadarData_2024_05_01_13_45_09.dat"));
    RecordingFile file;
    ASSERT_TRUE(file.Create(dir.Path().string(), When()));
    EXPECT_EQ(file.Path(), dir.File("RadarData_2024_05_01_13_45_09_1.dat"));
    const Bytes bytes{1, 2, 3};
    ASSERT_TRUE(file.Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(file.Close());
    std::ifstream in(target);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "keep");
}

TEST(RecordingFile, CreationFailuresAreReportedWithTheirReason) {
    TempDir dir;
    std::ofstream(dir.File("plain-file")) << "x";
    struct Case {
        const char* name;
        std::string folder;
        int error;
    } cases[] = {
        {"missing folder", dir.File("no/such/folder"), ENOENT},
        {"folder is a file", dir.File("plain-file"), ENOTDIR},
        {"no folder", "", ENOENT},
        {"too long", dir.Path().string() + "/" + std::string(250, 'a'), ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        RecordingFile file;
        EXPECT_FALSE(file.Create(c.folder, When()));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Error(), c.error);
        EXPECT_TRUE(log.Has(kDbgLevelError, "Recording not created"));
    }
}

TEST(RecordingFile, GivesUpWhenEverySuffixIsTaken) {
    TempDir dir;
    for (int suffix = 0; suffix <= kMaxRecordingNameSuffix; ++suffix) {
        std::ofstream(dir.File(RecordingFile::MakeName(When(), suffix)));
    }
    LogCapture log;
    RecordingFile file;
    EXPECT_FALSE(file.Create(dir.Path().string(), When()));
    EXPECT_EQ(file.Error(), EEXIST);
    EXPECT_TRUE(log.Has(kDbgLevelError, "all exist"));
}

TEST(RecordingFile, FailedWriteIsReportedAndKeepsWhatWasWritten) {
    TempDir dir;
    RecordingFile file;
    ASSERT_TRUE(file.Create(dir.Path().string(), When()));
    const Bytes bytes(300, 0x5A);
    LogCapture log;
    {
        FileSizeLimit limit(100);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(file.Write(bytes.data(), bytes.size()));
    }
    EXPECT_EQ(file.Error(), EFBIG);
    EXPECT_EQ(file.BytesWritten(), 100u);
    EXPECT_TRUE(log.Has(kDbgLevelError, "Recording write to"));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(fs::file_size(file.Path()), 100u);
}

TEST(RecordingFile, WriteWithoutAnOpenFileFails) {
    RecordingFile file;
    const uint8_t byte = 1;
    EXPECT_FALSE(file.Write(&byte, 1));
    EXPECT_EQ(file.Error(), EBADF);
    EXPECT_TRUE(file.Close());
}

}  // namespace
