#include "core/file_data.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/dbg_output.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"
#include "support/file_size_limit.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"
#include "support/wide_text.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class ProgressRecorder : public IFileCopyProgressListener {
public:
    void OnFileCopyProgress(uint64_t userData, uint64_t copied, uint64_t total) override {
        calls.push_back({userData, copied, total});
    }
    struct Call {
        uint64_t user, copied, total;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
};

TEST(ReadFileData, ReadsWholeFileWithTrailingZero) {
    TempDir dir;
    const std::string path = dir.File("data.bin");
    const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
    WriteWholeFile(path, bytes);
    uint8_t* data = nullptr;
    ASSERT_EQ(ReadFileDataA(path.c_str(), &data), static_cast<int64_t>(bytes.size()));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), bytes.size()), bytes);
    EXPECT_EQ(data[bytes.size()], 0);
    ReleaseFileData(data);
    EXPECT_EQ(ReadFileDataA(path.c_str(), nullptr), static_cast<int64_t>(bytes.size()));
    ReleaseFileData(nullptr);
}

TEST(ReadFileData, NothingForEmptyMissingFolderOrRefusedPath) {
    TempDir dir;
    WriteWholeFile(dir.File("empty"), "");
    const std::string tooLong = dir.File(std::string(kMaxPathChars, 'x'));
    const std::string cases[] = {dir.File("empty"), dir.File("missing"), dir.Path().string(),
                                 tooLong};
    for (const std::string& path : cases) {
        uint8_t* data = reinterpret_cast<uint8_t*>(&dir);  // must be reset to null
        EXPECT_EQ(ReadFileDataA(path.c_str(), &data), 0) << path;
        EXPECT_EQ(data, nullptr) << path;
    }
    uint8_t* data = nullptr;
    EXPECT_EQ(ReadFileDataA(nullptr, &data), 0);
}

TEST(ReadFileData, WidePathsAreConvertedExactly) {
    TempDir dir;
    WriteWholeFile(dir.File("données_名.txt"), "abc");
    uint8_t* data = nullptr;
    EXPECT_EQ(ReadFileDataW(WideText(dir.File("données_名.txt")).c_str(), &data), 3);
    ReleaseFileData(data);
    // An unpaired surrogate is not a name: it must not be read as some other file.
    WriteWholeFile(dir.File("a\xEF\xBF\xBD"
                            "b"),
                   "replacement character");
    std::u16string broken = WideText(dir.File("a"));
    broken += u'\xD800';
    broken += u'b';
    EXPECT_EQ(ReadFileDataW(broken.c_str(), &data), 0);
    EXPECT_EQ(data, nullptr);
}

TEST(ReadDescriptorData, ReadErrorPartWayGivesNothing) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    ASSERT_EQ(write(fds[1], "0123456789", 10), 10);
    uint8_t* data = reinterpret_cast<uint8_t*>(fds);
    // Ten bytes arrive, then the read fails (EAGAIN): no short block is handed out as whole.
    EXPECT_EQ(ReadDescriptorData(fds[0], 100, &data), 0);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(data, nullptr);
    // A plain end after ten bytes is a shorter file, not an error.
    ASSERT_EQ(write(fds[1], "0123456789", 10), 10);
    close(fds[1]);
    EXPECT_EQ(ReadDescriptorData(fds[0], 100, &data), 10);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data)), "0123456789");
    ReleaseFileData(data);
    close(fds[0]);
}

TEST(WriteFileData, ReplacesWholeFileKeepingItsPermissions) {
    TempDir dir;
    const std::string path = dir.File("out.bin");
    WriteWholeFile(path, "a much longer old content");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(WriteFileDataA(path.c_str(), "new", 3, 0), 1);
    EXPECT_EQ(ReadWholeFile(path), "new");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.bin"});  // no temporary left
}

TEST(WriteFileData, AppendsAndCreates) {
    TempDir dir;
    const std::string path = dir.File("log.txt");
    EXPECT_EQ(WriteFileDataA(path.c_str(), "one ", 4, 1), 1);
    EXPECT_EQ(WriteFileDataA(path.c_str(), "two", 3, 1), 1);
    EXPECT_EQ(ReadWholeFile(path), "one two");
    EXPECT_EQ(WriteFileDataW(WideText(dir.File("empty")).c_str(), "", 0, 0), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("empty")), "");
}

TEST(WriteFileData, WritesThroughSymbolicLink) {
    TempDir dir;
    WriteWholeFile(dir.File("target"), "old");
    fs::create_symlink("target", dir.Path() / "link");
    EXPECT_EQ(WriteFileDataA(dir.File("link").c_str(), "fresh", 5, 0), 1);
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link"));
    EXPECT_EQ(ReadWholeFile(dir.File("target")), "fresh");
}

TEST(WriteFileData, RefusesNullArgumentsAndOverlongPaths) {
    TempDir dir;
    // A path one character beyond the limit would, cut, name this existing file.
    const size_t nameLength = kMaxPathChars - dir.Path().string().size() - 1;
    const std::string victim = dir.File(std::string(nameLength, 'v'));
    ASSERT_EQ(victim.size(), static_cast<size_t>(kMaxPathChars));
    WriteWholeFile(victim, "precious");
    const std::string longer = victim + "X";
    EXPECT_EQ(WriteFileDataA(longer.c_str(), "overwrite", 9, 0), 0);
    EXPECT_EQ(WriteFileDataA(longer.c_str(), "overwrite", 9, 1), 0);
    EXPECT_EQ(ReadWholeFile(victim), "precious");
    EXPECT_FALSE(fs::exists(longer));
    EXPECT_EQ(WriteFileDataA(nullptr, "x", 1, 0), 0);
    EXPECT_EQ(WriteFileDataA(dir.File("n").c_str(), nullptr, 1, 0), 0);
    EXPECT_FALSE(fs::exists(dir.File("n")));
}

TEST(WriteFileData, ReportsOpenFailureWithPathAndReason) {
    TempDir dir;
    const std::string path = dir.File("no/such/folder/x.bin");
    LogCapture log;
    EXPECT_EQ(WriteFileDataA(path.c_str(), "x", 1, 0), 0);
    EXPECT_EQ(WriteFileDataA(path.c_str(), "x", 1, 1), 0);
    ASSERT_EQ(log.Texts().size(), 2u);
    for (const std::string& line : log.Texts()) {
        EXPECT_NE(line.find("WriteFile failed create file:" + path + ", error="), std::string::npos)
            << line;
        EXPECT_NE(line.find("No such file or directory"), std::string::npos) << line;
    }
}

TEST(WriteFileData, WriteErrorIsFailureNotSuccess) {
    // /dev/full accepts the open and refuses every byte (ENOSPC); it is written in place.
    for (const int append : {0, 1}) {
        EXPECT_EQ(WriteFileDataA("/dev/full", "data", 4, append), 0) << append;
    }
    struct stat info {};
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));  // still the device, not a file renamed over it
}

TEST(WriteFileData, FailedReplaceLeavesOldFileIntact) {
    TempDir dir;
    const std::string path = dir.File("settings.xml");
    WriteWholeFile(path, "old settings");
    const std::string big = Pattern(64 * 1024);
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        EXPECT_EQ(WriteFileDataA(path.c_str(), big.data(), big.size(), 0), 0);
        EXPECT_EQ(WriteFileDataW(WideText(path).c_str(), big.data(), big.size(), 0), 0);
    }
    EXPECT_EQ(ReadWholeFile(path), "old settings");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"settings.xml"});
    EXPECT_EQ(WriteFileDataA(path.c_str(), big.data(), big.size(), 0), 1);
    EXPECT_EQ(ReadWholeFile(path), big);
}

TEST(IsFileDataEqual, ComparesSizeAndEveryByte) {
    TempDir dir;
    const std::string bytes = Pattern(2 * 1024 * 1024 + 5);  // spans three blocks
    std::string lastDiffers = bytes;
    lastDiffers.back() ^= 1;
    WriteWholeFile(dir.File("a"), bytes);
    WriteWholeFile(dir.File("b"), bytes);
    WriteWholeFile(dir.File("c"), lastDiffers);
    WriteWholeFile(dir.File("d"), bytes.substr(1));
    WriteWholeFile(dir.File("e1"), "");
    WriteWholeFile(dir.File("e2"), "");
    const struct {
        const char* first;
        const char* second;
        int equal;
    } cases[] = {{"a", "b", 1}, {"a", "c", 0}, {"a", "d", 0}, {"e1", "e2", 1}, {"a", "missing", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsFileDataEqual(dir.File(c.first).c_str(), dir.File(c.second).c_str()), c.equal)
            << c.first << " vs " << c.second;
    }
    EXPECT_EQ(IsFileDataEqual(WideText(dir.File("a")).c_str(), WideText(dir.File("b")).c_str()), 1);
}

TEST(CopyFileWithCallback, CopiesInBlocksAndReportsEachOne) {
    TempDir dir;
    const uint64_t size = 2 * kFileCopyBlockBytes + kFileCopyBlockBytes / 2;
    const std::string bytes = Pattern(size);
    WriteWholeFile(dir.File("src"), bytes);
    ASSERT_EQ(chmod(dir.File("src").c_str(), 0600), 0);
    ProgressRecorder progress;
    EXPECT_EQ(CopyFileWithCallback(dir.File("src").c_str(), dir.File("dst").c_str(), &progress, 77),
              1);
    EXPECT_EQ(ReadWholeFile(dir.File("dst")), bytes);
    const std::vector<ProgressRecorder::Call> expected = {{77, 0, size},
                                                          {77, kFileCopyBlockBytes, size},
                                                          {77, 2 * kFileCopyBlockBytes, size},
                                                          {77, size, size}};
    EXPECT_EQ(progress.calls, expected);
    struct stat info {};
    ASSERT_EQ(stat(dir.File("dst").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(CopyFileWithCallback, EmptySourceGivesEmptyDestination) {
    TempDir dir;
    WriteWholeFile(dir.File("src"), "");
    WriteWholeFile(dir.File("dst"), "old");
    ProgressRecorder progress;
    EXPECT_EQ(CopyFileWithCallback(WideText(dir.File("src")).c_str(),
                                   WideText(dir.File("dst")).c_str(), &progress, 1),
              1);
    EXPECT_EQ(ReadWholeFile(dir.File("dst")), "");
    EXPECT_EQ(progress.calls, (std::vector<ProgressRecorder::Call>{{1, 0, 0}}));
    EXPECT_EQ(CopyFileWithCallback(dir.File("src").c_str(), dir.File("dst2").c_str(), nullptr, 0),
              1);
}

TEST(CopyFileWithCallback, FailuresLeaveDestinationAsItWas) {
    TempDir dir;
    WriteWholeFile(dir.File("src"), Pattern(64 * 1024));
    WriteWholeFile(dir.File("dst"), "old copy");
    EXPECT_EQ(
        CopyFileWithCallback(dir.File("missing").c_str(), dir.File("dst").c_str(), nullptr, 0), 0);
    EXPECT_EQ(CopyFileWithCallback(dir.Path().c_str(), dir.File("dst").c_str(), nullptr, 0), 0);
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        EXPECT_EQ(
            CopyFileWithCallback(dir.File("src").c_str(), dir.File("dst").c_str(), nullptr, 0), 0);
    }
    EXPECT_EQ(ReadWholeFile(dir.File("dst")), "old copy");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"dst", "src"}));
    EXPECT_EQ(CopyFileWithCallback(dir.File("src").c_str(), "/dev/full", nullptr, 0), 0);
}

}  // namespace
