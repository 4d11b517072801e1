#include "archive/zipper.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive/unzipper.h"
#include "common/archive/zip_test_util.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using ziptest::Snapshot;

namespace {

// One entry as Python's zipfile reads it.
struct PythonEntry {
    std::string name;
    std::string time;  // "Y-M-D h:m:s"
    uint32_t mode = 0;
    int method = -1;
    int flags = 0;
};

const char* const kListEntries = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z, open(sys.argv[2], 'w', encoding='utf-8') as out:
    for i in z.infolist():
        t = '%d-%d-%d %d:%d:%d' % i.date_time
        out.write('%s\t%s\t%d\t%d\t%d\n' % (i.filename, t, i.external_attr >> 16,
                                            i.compress_type, i.flag_bits))
)";

const char* const kExtractAll = R"(
import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
)";

class ZipperTest : public ::testing::Test {
protected:
    fs::path Path(const std::string& name) const { return m_temp.Path() / name; }
    std::string Text(const std::string& name) const { return Path(name).string(); }

    std::vector<PythonEntry> Entries(const std::string& archive) {
        std::vector<PythonEntry> out;
        if (ziptest::RunPython(m_temp.Path(), kListEntries, {archive, Text("list.txt")}) != 0) {
            return out;
        }
        std::istringstream lines(ReadWholeFile(Path("list.txt")));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            PythonEntry e;
            std::string mode, method, flags;
            std::getline(fields, e.name, '\t');
            std::getline(fields, e.time, '\t');
            std::getline(fields, mode, '\t');
            std::getline(fields, method, '\t');
            std::getline(fields, flags, '\t');
            e.mode = static_cast<uint32_t>(std::stoul(mode));
            e.method = std::stoi(method);
            e.flags = std::stoi(flags);
            out.push_back(e);
        }
        return out;
    }

    std::vector<std::string> Names(const std::string& archive) {
        std::vector<std::string> names;
        for (const PythonEntry& e : Entries(archive)) names.push_back(e.name);
        return names;
    }

    // The names as our reader lists them (checked against Python in the tests of the reader).
    static std::vector<std::string> OurNames(const std::string& archive) {
        std::vector<std::string> names;
        CUnzipper unzipper(archive.c_str());
        UZ_FileInfo info;
        for (bool more = unzipper.GotoFirstFile(); more; more = unzipper.GotoNextFile()) {
            if (unzipper.GetFileInfo(info)) names.push_back(info.fileName);
        }
        return names;
    }

    // Whether the unzip program and Python both find every entry sound.
    void ExpectSound(const std::string& archive) {
        EXPECT_EQ(ziptest::Run("unzip -tqq " + ziptest::Quote(archive) + " >/dev/null 2>&1"), 0);
        EXPECT_EQ(ziptest::PythonTestZip(m_temp.Path(), archive), 0);
    }

    // The names in the test folder that are not what the test made: temporary files left over.
    std::vector<std::string> StrayFiles() const {
        std::vector<std::string> stray;
        for (const auto& item : fs::directory_iterator(m_temp.Path())) {
            const std::string name = item.path().filename().string();
            if (name.rfind(".orbo-", 0) == 0) stray.push_back(name);
        }
        return stray;
    }

    TempDir m_temp;
};

}  // namespace

TEST_F(ZipperTest, FoldersWeArchivePassOtherToolsAndExtractLikeTheSource) {
    WriteWholeFile(Path("data/readme.txt"), ziptest::SampleText(20000, 1));
    WriteWholeFile(Path("data/fw/APP0.bin"), ziptest::SampleNoise(300000, 2));
    WriteWholeFile(Path("data/fw/APP1.bin"), ziptest::SampleText(3000000, 3));
    WriteWholeFile(Path("data/fw/deep/er/empty.dat"), "");
    WriteWholeFile(Path("data/donn\xC3\xA9"
                        "es/\xC3\xBC"
                        "ber.txt"),
                   "utf-8 names\n");
    WriteWholeFile(Path("data/.hidden"), "left out");
    fs::create_directories(Path("data/empty folder"));

    ASSERT_TRUE(CZipper::ZipFolder(Text("data").c_str(), false));
    const std::string archive = Text("data.zip");
    ExpectSound(archive);
    EXPECT_TRUE(StrayFiles().empty());

    auto expected = Snapshot(Path("data"));
    expected.erase(".hidden");
    ASSERT_EQ(ziptest::RunPython(m_temp.Path(), kExtractAll, {archive, Text("python")}), 0);
    EXPECT_EQ(Snapshot(Path("python/data")), expected);
    ASSERT_EQ(ziptest::Run("LC_ALL=C.UTF-8 unzip -q " + ziptest::Quote(archive) + " -d " +
                           ziptest::Quote(Text("unzip"))),
              0);
    EXPECT_EQ(Snapshot(Path("unzip/data")), expected);
    ASSERT_TRUE(CUnzipper::Unzip(archive.c_str(), Text("ours").c_str(), false));
    EXPECT_EQ(Snapshot(Path("ours/data")), expected);

    for (const PythonEntry& e : Entries(archive)) {
        SCOPED_TRACE(e.name);
        const bool folder = e.name.back() == '/';
        EXPECT_EQ(e.method, folder ? 0 : 8);
        const bool ascii = std::all_of(e.name.begin(), e.name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        EXPECT_EQ((e.flags & 0x800) != 0, !ascii);
        EXPECT_EQ(e.name.find('\\'), std::string::npos);
    }
}

TEST_F(ZipperTest, EntriesKeepTheFileTimeAndMode) {
    WriteWholeFile(Path("tool.sh"), "#!/bin/sh\necho hi\n");
    ASSERT_EQ(chmod(Text("tool.sh").c_str(), 0750), 0);
    std::tm local{};
    local.tm_year = 2021 - 1900;
    local.tm_mon = 10;
    local.tm_mday = 5;
    local.tm_hour = 8;
    local.tm_min = 9;
    local.tm_sec = 10;
    local.tm_isdst = -1;
    const timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Text("tool.sh").c_str(), times, 0), 0);

    ASSERT_TRUE(CZipper::ZipFile(Text("tool.sh").c_str()));
    const auto entries = Entries(Text("tool.zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "tool.sh");
    EXPECT_EQ(entries[0].time, "2021-11-5 8:9:10");
    EXPECT_EQ(entries[0].mode, 0100750u);

    ASSERT_EQ(ziptest::Run("unzip -q " + ziptest::Quote(Text("tool.zip")) + " -d " +
                           ziptest::Quote(Text("out"))),
              0);
    struct stat info {};
    ASSERT_EQ(stat(Text("out/tool.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u);
}

TEST_F(ZipperTest, EntryNamesFollowThePathRules) {
    WriteWholeFile(Path("root/a.txt"), "a");
    WriteWholeFile(Path("root/sub/b.txt"), "b");
    WriteWholeFile(Path("outside.txt"), "o");
    struct Case {
        const char* path;  // below the root unless absolute (marked by a leading '@')
        bool ignorePath;
        const char* entry;  // null: refused
    };
    const Case cases[] = {
        {"a.txt", false, "a.txt"},
        {"./a.txt", false, "a.txt"},
        {".\\a.txt", false, "a.txt"},
        {"sub\\b.txt", false, "sub/b.txt"},
        {"../outside.txt", false, nullptr},
        {"..\\outside.txt", false, nullptr},
        {"sub/../a.txt", false, nullptr},
        {"sub/../../outside.txt", false, nullptr},
        {"../outside.txt", true, "outside.txt"},
        {"@root/sub/b.txt", false, "sub/b.txt"},
        {"@outside.txt", false, nullptr},
        {"@outside.txt", true, "outside.txt"},
        {"missing.txt", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path = c.path[0] == '@' ? Text(c.path + 1) : std::string(c.path);
        CZipper zipper(Text("names.zip").c_str(), Text("root").c_str(), false);
        EXPECT_EQ(zipper.AddFileToZip(path.c_str(), c.ignorePath), c.entry != nullptr);
        ASSERT_TRUE(zipper.CloseZip());
        const auto names = OurNames(Text("names.zip"));
        if (c.entry != nullptr) {
            EXPECT_EQ(names, std::vector<std::string>{c.entry});
        } else {
            EXPECT_TRUE(names.empty());
        }
    }
}

TEST_F(ZipperTest, FilesGoUnderAFolderOfTheArchive) {
    WriteWholeFile(Path("APP0.bin"), "zero");
    CZipper zipper(Text("fw.zip").c_str());
    EXPECT_TRUE(zipper.AddFileToZip(Text("APP0.bin").c_str(), "firmware\\v1\\"));
    EXPECT_TRUE(zipper.AddFileToZip(Text("APP0.bin").c_str(), ""));
    EXPECT_FALSE(zipper.AddFileToZip(Text("APP0.bin").c_str(), "c:\\firmware"));
    EXPECT_FALSE(zipper.AddFileToZip(Text("APP0.bin").c_str(), "firmware/../.."));
    EXPECT_FALSE(zipper.AddFileToZip(Text("APP0.bin").c_str(), "/abs"));
    Z_FileInfo info;
    zipper.GetFileInfo(info);
    EXPECT_EQ(info.fileCount, 2);
    EXPECT_EQ(info.totalBytes, 8u);
    ASSERT_TRUE(zipper.CloseZip());
    zipper.GetFileInfo(info);
    EXPECT_EQ(info.fileCount, 0);
    EXPECT_EQ(Names(Text("fw.zip")),
              (std::vector<std::string>{"firmware/v1/APP0.bin", "APP0.bin"}));
    ExpectSound(Text("fw.zip"));
}

TEST_F(ZipperTest, CountersTrackFilesFoldersAndBytes) {
    WriteWholeFile(Path("tree/one.txt"), "12345");
    WriteWholeFile(Path("tree/sub/two.txt"), "123");
    fs::create_directories(Path("tree/sub/none"));
    CZipper zipper(Text("tree.zip").c_str());
    ASSERT_TRUE(zipper.AddFolderToZip(Text("tree").c_str(), false));
    Z_FileInfo info;
    zipper.GetFileInfo(info);
    EXPECT_EQ(info.fileCount, 2);
    EXPECT_EQ(info.folderCount, 3);
    EXPECT_EQ(info.totalBytes, 8u);
    ASSERT_TRUE(zipper.CloseZip());
    EXPECT_EQ(Names(Text("tree.zip")),
              (std::vector<std::string>{"tree/", "tree/sub/", "tree/sub/none/", "tree/sub/two.txt",
                                        "tree/one.txt"}));
}

TEST_F(ZipperTest, IgnorePathFlattensAFolder) {
    WriteWholeFile(Path("fw.v2/APP0.bin"), "zero");
    WriteWholeFile(Path("fw.v2/sub/APP1.bin"), "one");
    ASSERT_TRUE(CZipper::ZipFolder(Text("fw.v2").c_str(), true));
    EXPECT_EQ(Names(Text("fw.v2.zip")),
              (std::vector<std::string>{"fw/", "sub/", "APP1.bin", "APP0.bin"}));
}

TEST_F(ZipperTest, TheArchiveAppearsOnlyWhenItIsComplete) {
    WriteWholeFile(Path("a.txt"), "a");
    WriteWholeFile(Path("b.txt"), "b");
    WriteWholeFile(Path("pack.zip"), "an older file of that name");
    {
        CZipper zipper(Text("pack.zip").c_str());
        ASSERT_TRUE(zipper.AddFileToZip("a.txt", false));
        EXPECT_EQ(ReadWholeFile(Path("pack.zip")), "an older file of that name");
        ASSERT_TRUE(zipper.CloseZip());
    }
    EXPECT_EQ(Names(Text("pack.zip")), std::vector<std::string>{"a.txt"});

    // Appending keeps the entries that were there.
    {
        CZipper zipper(Text("pack.zip").c_str(), nullptr, true);
        ASSERT_TRUE(zipper.AddFileToZip("b.txt", false));
        ASSERT_TRUE(zipper.CloseZip());
    }
    EXPECT_EQ(Names(Text("pack.zip")), (std::vector<std::string>{"a.txt", "b.txt"}));
    ExpectSound(Text("pack.zip"));

    // Without append the archive starts empty; the destructor closes it.
    { CZipper zipper(Text("pack.zip").c_str()); }
    EXPECT_TRUE(Names(Text("pack.zip")).empty());
    EXPECT_TRUE(StrayFiles().empty());
}

TEST_F(ZipperTest, FailedStaticFormsLeaveNoArchive) {
    EXPECT_FALSE(CZipper::ZipFile(Text("missing.txt").c_str()));
    EXPECT_FALSE(fs::exists(Path("missing.zip")));

    // A link that leads back into the folder being archived is refused, not followed forever.
    WriteWholeFile(Path("loop/a.txt"), "a");
    fs::create_directory_symlink(Path("loop"), Path("loop/again"));
    EXPECT_FALSE(CZipper::ZipFolder(Text("loop").c_str(), false));
    EXPECT_FALSE(fs::exists(Path("loop.zip")));
    EXPECT_TRUE(StrayFiles().empty());

    // A pipe is not read (it would wait for a writer forever).
    ASSERT_EQ(mkfifo(Text("pipe").c_str(), 0600), 0);
    {
        CZipper zipper(Text("pipe.zip").c_str());
        EXPECT_FALSE(zipper.AddFileToZip(Text("pipe").c_str(), false));
    }

    CZipper closed;
    EXPECT_FALSE(closed.AddFileToZip(Text("loop/a.txt").c_str(), false));
    EXPECT_FALSE(closed.AddFolderToZip(Text("loop").c_str(), false));
    EXPECT_FALSE(closed.CloseZip());
    EXPECT_FALSE(closed.OpenZip(nullptr));
    EXPECT_FALSE(closed.OpenZip(""));
    EXPECT_FALSE(closed.OpenZip(Text("no/such/folder/x.zip").c_str()));
}

TEST_F(ZipperTest, ZippingAnArchiveIntoItsOwnNameWorks) {
    WriteWholeFile(Path("x.zip"), "not really an archive");
    ASSERT_TRUE(CZipper::ZipFile(Text("x.zip").c_str()));
    ASSERT_TRUE(CUnzipper::Unzip(Text("x.zip").c_str(), Text("out").c_str(), false));
    EXPECT_EQ(ReadWholeFile(Path("out/x.zip")), "not really an archive");
}
