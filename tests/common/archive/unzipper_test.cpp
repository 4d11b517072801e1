// ctest-labels: unit
#include "archive/unzipper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "common/archive/zip_test_util.h"
#include "core/byte_order.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using ziptest::BuildStoredZip;
using ziptest::RawEntry;
using ziptest::Snapshot;

namespace {

constexpr uint32_t kUnixHost = 3u << 8;
constexpr uint32_t kUnixLink = 0120777u << 16;
constexpr uint32_t kUnixFile = 0100644u << 16;

// The tree other tools archive in these tests.
void MakeSourceTree(const fs::path& root) {
    WriteWholeFile(root / "readme.txt", ziptest::SampleText(10000, 1));
    WriteWholeFile(root / "fw" / "APP0.bin", ziptest::SampleNoise(100000, 2));
    WriteWholeFile(root / "fw" / "APP1.bin", ziptest::SampleText(300000, 3));
    WriteWholeFile(root / "fw" / "deep" / "er" / "empty.dat", "");
    WriteWholeFile(root / "notes" / "a b.txt", "spaces in the name\n");
}

const char* const kPythonArchives = R"(
import io, os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
files, dirs = [], []
for root, ds, fs in os.walk(src):
    ds.sort(); fs.sort()
    dirs += [os.path.relpath(os.path.join(root, d), src) for d in ds]
    files += [os.path.relpath(os.path.join(root, f), src) for f in fs]
def data(rel):
    with open(os.path.join(src, rel), 'rb') as f: return f.read()
with zipfile.ZipFile(os.path.join(out, 'py_deflate.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for d in dirs: z.write(os.path.join(src, d), d)
    for f in files: z.write(os.path.join(src, f), f)
with zipfile.ZipFile(os.path.join(out, 'py_stored.zip'), 'w', zipfile.ZIP_STORED) as z:
    for f in files: z.writestr(f, data(f))
with zipfile.ZipFile(os.path.join(out, 'py_backslash.zip'), 'w') as z:
    for i, f in enumerate(files):
        info = zipfile.ZipInfo(f.replace('/', '\\'), (2023, 7, 1, 12, 0, 0))
        info.create_system = 0
        info.compress_type = zipfile.ZIP_DEFLATED if i % 2 else zipfile.ZIP_STORED
        z.writestr(info, data(f))
class Stream(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open(os.path.join(out, 'py_streamed.zip'), 'wb') as raw:
    with zipfile.ZipFile(Stream(raw), 'w', zipfile.ZIP_DEFLATED) as z:
        for f in files: z.writestr(f, data(f))
)";

class UnzipperTest : public ::testing::Test {
protected:
    fs::path Path(const std::string& name) const { return m_temp.Path() / name; }
    std::string Text(const std::string& name) const { return Path(name).string(); }

    // Writes a crafted archive and returns its path.
    std::string Crafted(const std::string& name, const std::vector<RawEntry>& entries) {
        WriteWholeFile(Path(name), BuildStoredZip(entries));
        return Text(name);
    }

    // Everything below the test's folder except the archives themselves.
    std::map<std::string, std::string> Leftovers() const {
        std::map<std::string, std::string> all = Snapshot(m_temp.Path());
        for (auto it = all.begin(); it != all.end();) {
            it = it->first.size() > 4 && it->first.substr(it->first.size() - 4) == ".zip"
                     ? all.erase(it)
                     : std::next(it);
        }
        return all;
    }

    TempDir m_temp;
};

// Flips one byte in the middle of the data of the archive's first entry.
void DamageFirstEntryData(const fs::path& archive) {
    std::string bytes = ReadWholeFile(archive);
    ASSERT_GE(bytes.size(), 30u);
    const size_t nameLength = ReadLe16(&bytes[26]);
    const size_t extraLength = ReadLe16(&bytes[28]);
    const uint32_t compressed = ReadLe32(&bytes[18]);
    ASSERT_GT(compressed, 16u);
    bytes[30 + nameLength + extraLength + compressed / 2] ^= 0x5A;
    WriteWholeFile(archive, bytes);
}

}  // namespace

TEST_F(UnzipperTest, ArchivesOfOtherToolsExtractLikeTheirSources) {
    MakeSourceTree(Path("src"));
    ASSERT_EQ(ziptest::RunPython(m_temp.Path(), kPythonArchives, {Text("src"), Text("")}), 0);
    const std::string src = ziptest::Quote(Text("src"));
    ASSERT_EQ(ziptest::Run("cd " + src + " && zip -q -r ../zip_deflate.zip ."), 0);
    ASSERT_EQ(ziptest::Run("cd " + src + " && zip -q -0 -r ../zip_stored.zip ."), 0);
    ASSERT_EQ(ziptest::Run("cd " + src + " && zip -q -r - . > ../zip_streamed.zip"), 0);
    const auto expected = Snapshot(Path("src"));

    struct Case {
        const char* archive;
        bool unzipAgrees;  // whether the unzip program reads the names the same way
    };
    const Case cases[] = {{"py_deflate.zip", true},    {"py_stored.zip", true},
                          {"py_backslash.zip", false}, {"py_streamed.zip", true},
                          {"zip_deflate.zip", true},   {"zip_stored.zip", true},
                          {"zip_streamed.zip", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const fs::path ours = Path(std::string("ours_") + c.archive);
        ASSERT_TRUE(CUnzipper::Unzip(Text(c.archive).c_str(), ours.c_str(), false));
        EXPECT_EQ(Snapshot(ours), expected);
        if (c.unzipAgrees) {
            const fs::path theirs = Path(std::string("unzip_") + c.archive);
            ASSERT_EQ(ziptest::Run("unzip -q " + ziptest::Quote(Text(c.archive)) + " -d " +
                                   ziptest::Quote(theirs.string())),
                      0);
            EXPECT_EQ(Snapshot(ours), Snapshot(theirs));
        }
    }
}

TEST_F(UnzipperTest, IgnorePathPutsFilesDirectlyIntoTheFolder) {
    const std::string archive =
        Crafted("fw.zip", {{.name = "firmware/", .externalAttributes = 0x10},
                           {.name = "firmware/APP0.bin", .data = "zero"},
                           {.name = "firmware\\APP1.bin", .data = "one"}});
    ASSERT_TRUE(CUnzipper::Unzip(archive.c_str(), Text("flat").c_str(), true));
    EXPECT_EQ(Snapshot(Path("flat")),
              (std::map<std::string, std::string>{{"APP0.bin", "zero"}, {"APP1.bin", "one"}}));

    ASSERT_TRUE(CUnzipper::Unzip(archive.c_str(), Text("nested").c_str(), false));
    EXPECT_EQ(
        Snapshot(Path("nested")),
        (std::map<std::string, std::string>{
            {"firmware", "<dir>"}, {"firmware/APP0.bin", "zero"}, {"firmware/APP1.bin", "one"}}));
}

TEST_F(UnzipperTest, NamesLeavingTheFolderAreRefusedAndNothingIsWritten) {
    const std::string outside = Text("escaped.txt");
    const std::string names[] = {"../escaped.txt",
                                 "a/../../escaped.txt",
                                 "..\\escaped.txt",
                                 "a\\..\\..\\escaped.txt",
                                 outside,
                                 "\\abs.txt",
                                 "a/b/../../../escaped.txt"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string archive = Crafted(
            "evil.zip", {{.name = "good.txt", .data = "fine"}, {.name = name, .data = "payload"}});
        EXPECT_FALSE(CUnzipper::Unzip(archive.c_str(), Text("out/inner").c_str(), false));
        EXPECT_EQ(Leftovers(),
                  (std::map<std::string, std::string>{{"out", "<dir>"}, {"out/inner", "<dir>"}}));
        fs::remove_all(Path("out"));
    }
}

TEST_F(UnzipperTest, WithIgnorePathATraversalNameLandsInsideTheFolder) {
    const std::string archive = Crafted("evil.zip", {{.name = "../../escaped.txt", .data = "x"}});
    ASSERT_TRUE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), true));
    EXPECT_EQ(Leftovers(),
              (std::map<std::string, std::string>{{"out", "<dir>"}, {"out/escaped.txt", "x"}}));
}

TEST_F(UnzipperTest, CorruptEntriesAreRefusedAndLeaveNothingBehind) {
    const std::string text = ziptest::SampleText(5000, 9);
    struct Case {
        const char* what;
        RawEntry entry;
    };
    const Case cases[] = {
        {"wrong CRC", {.name = "bad.txt", .data = text, .crc = ziptest::Crc32(text) ^ 1}},
        {"declared larger", {.name = "bad.txt", .data = text, .declaredSize = 6000}},
        {"declared smaller", {.name = "bad.txt", .data = text, .declaredSize = 4000}},
        {"encrypted", {.name = "bad.txt", .data = text, .flags = 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteWholeFile(Path("out/bad.txt"), "old content");
        const std::string archive =
            Crafted("bad.zip", {{.name = "first.txt", .data = "first"}, c.entry});
        EXPECT_FALSE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), false));
        EXPECT_EQ(Snapshot(Path("out")),
                  (std::map<std::string, std::string>{{"bad.txt", "old content"}}));

        CUnzipper unzipper(archive.c_str());
        ASSERT_TRUE(unzipper.GotoFile(1));
        EXPECT_FALSE(unzipper.UnzipFile(Text("out").c_str(), false));
        EXPECT_EQ(Snapshot(Path("out")),
                  (std::map<std::string, std::string>{{"bad.txt", "old content"}}));
        fs::remove_all(Path("out"));
    }
}

TEST_F(UnzipperTest, DamagedDataOfOtherToolsIsRefused) {
    WriteWholeFile(Path("src/data.txt"), ziptest::SampleText(200000, 4));
    WriteWholeFile(Path("src/noise.bin"), ziptest::SampleNoise(50000, 5));
    const std::string src = ziptest::Quote(Text("src"));
    ASSERT_EQ(ziptest::Run("cd " + src + " && zip -q -r ../deflate.zip data.txt noise.bin"), 0);
    ASSERT_EQ(ziptest::Run("cd " + src + " && zip -q -0 -r ../stored.zip data.txt noise.bin"), 0);
    for (const char* name : {"deflate.zip", "stored.zip"}) {
        SCOPED_TRACE(name);
        DamageFirstEntryData(Path(name));
        ASSERT_NE(ziptest::Run("unzip -tqq " + ziptest::Quote(Text(name)) + " >/dev/null 2>&1"), 0);
        EXPECT_FALSE(CUnzipper::Unzip(Text(name).c_str(), Text("out").c_str(), false));
        EXPECT_TRUE(Snapshot(Path("out")).empty());
    }
}

TEST_F(UnzipperTest, AFailedRunKeepsTheFilesThatWereThere) {
    WriteWholeFile(Path("out/keep.txt"), "old");
    const std::string archive = Crafted("bad.zip", {{.name = "keep.txt", .data = "new"},
                                                    {.name = "sub/new.txt", .data = "new"},
                                                    {.name = "bad.txt", .data = "abc", .crc = 0}});
    EXPECT_FALSE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), false));
    EXPECT_EQ(Snapshot(Path("out")), (std::map<std::string, std::string>{{"keep.txt", "old"}}));
}

TEST_F(UnzipperTest, NamesThatDoNotFitOrHoldZeroBytesAreRefused) {
    // 259 bytes still fit (in short components, as file systems allow); 260 and more do not.
    std::string fits;
    while (fits.size() + 50 < 259) fits += std::string(49, 'd') + "/";
    fits += std::string(259 - fits.size(), 'f');
    ASSERT_EQ(fits.size(), 259u);
    const std::string archive = Crafted("long.zip", {{.name = fits, .data = "ok"}});
    ASSERT_TRUE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), false));
    EXPECT_EQ(ReadWholeFile(Path("out") / fits), "ok");
    fs::remove_all(Path("out"));

    const std::string refused[] = {fits + "x", std::string(300, 'n'), std::string("a\0b.txt", 7)};
    for (const std::string& name : refused) {
        SCOPED_TRACE(name.size());
        const std::string bad = Crafted("bad.zip", {{.name = name, .data = "payload"}});
        CUnzipper unzipper(bad.c_str());
        ASSERT_EQ(unzipper.GetFileCount(), 1);
        UZ_FileInfo info;
        EXPECT_FALSE(unzipper.GetFileInfo(0, info));
        EXPECT_FALSE(unzipper.UnzipTo(Text("out").c_str(), false));
        EXPECT_TRUE(Snapshot(Path("out")).empty());
    }
}

TEST_F(UnzipperTest, LinkEntriesBecomeFilesAndNoLinkIsFollowed) {
    WriteWholeFile(Path("victim.txt"), "victim");
    fs::create_directory(Path("elsewhere"));

    // A link entry is a file holding the link's text; a later entry through it fails.
    const std::string linked = Crafted("link.zip", {{.name = "link",
                                                     .data = Text("victim.txt"),
                                                     .externalAttributes = kUnixLink,
                                                     .versionMadeBy = kUnixHost | 20}});
    ASSERT_TRUE(CUnzipper::Unzip(linked.c_str(), Text("out1").c_str(), false));
    EXPECT_EQ(Snapshot(Path("out1")),
              (std::map<std::string, std::string>{{"link", Text("victim.txt")}}));
    const std::string through =
        Crafted("through.zip", {{.name = "dir",
                                 .data = Text("elsewhere"),
                                 .externalAttributes = kUnixLink,
                                 .versionMadeBy = kUnixHost | 20},
                                {.name = "dir/planted.txt", .data = "planted"}});
    EXPECT_FALSE(CUnzipper::Unzip(through.c_str(), Text("out2").c_str(), false));
    EXPECT_TRUE(Snapshot(Path("out2")).empty());

    // Links already in the target folder are not followed.
    fs::create_directories(Path("out3"));
    fs::create_directory_symlink(Path("elsewhere"), Path("out3/escape"));
    fs::create_symlink(Path("victim.txt"), Path("out3/file.txt"));
    const std::string planted =
        Crafted("planted.zip", {{.name = "escape/planted.txt", .data = "planted"}});
    EXPECT_FALSE(CUnzipper::Unzip(planted.c_str(), Text("out3").c_str(), false));
    const std::string replaced = Crafted(
        "replaced.zip", {{.name = "file.txt", .data = "archive", .externalAttributes = kUnixFile}});
    EXPECT_TRUE(CUnzipper::Unzip(replaced.c_str(), Text("out3").c_str(), false));
    EXPECT_FALSE(fs::is_symlink(Path("out3/file.txt")));
    EXPECT_EQ(ReadWholeFile(Path("out3/file.txt")), "archive");
    EXPECT_EQ(ReadWholeFile(Path("victim.txt")), "victim");
    EXPECT_TRUE(fs::is_empty(Path("elsewhere")));

    // The same with a link stored by the zip program.
    fs::create_directories(Path("src"));
    fs::create_symlink(Path("victim.txt"), Path("src/link"));
    ASSERT_EQ(ziptest::Run("cd " + ziptest::Quote(Text("src")) + " && zip -q -y ../y.zip link"), 0);
    ASSERT_TRUE(CUnzipper::Unzip(Text("y.zip").c_str(), Text("out4").c_str(), false));
    EXPECT_EQ(Snapshot(Path("out4")),
              (std::map<std::string, std::string>{{"link", Text("victim.txt")}}));
}

TEST_F(UnzipperTest, AnArchiveDeclaringMoreThanTheDiskHoldsIsRefusedBeforeWriting) {
    // Each entry claims 4 GiB - 1; together they claim far more than any disk here holds.
    std::vector<RawEntry> entries;
    for (int i = 0; i < 4096; ++i) {
        entries.push_back(
            {.name = "bomb" + std::to_string(i), .data = "x", .declaredSize = 0xFFFFFFFFu});
    }
    entries.insert(entries.begin(), RawEntry{.name = "first.txt", .data = "first"});
    const std::string archive = Crafted("bomb.zip", entries);
    EXPECT_FALSE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), false));
    EXPECT_TRUE(Snapshot(Path("out")).empty());
}

TEST_F(UnzipperTest, AnEmptyArchiveFails) {
    const std::string archive = Crafted("empty.zip", {});
    CUnzipper unzipper(archive.c_str());
    EXPECT_EQ(unzipper.GetFileCount(), 0);
    EXPECT_FALSE(unzipper.GotoFirstFile());
    EXPECT_FALSE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), false));
}

TEST_F(UnzipperTest, ExtractedFilesCarryTheEntryTime) {
    RawEntry entry{.name = "timed.txt", .data = "t"};
    entry.dosDate = (44u << 25) | (3u << 21) | (15u << 16) | (10u << 11) | (30u << 5) | 7u;
    const std::string archive = Crafted("timed.zip", {entry});
    ASSERT_TRUE(CUnzipper::Unzip(archive.c_str(), Text("out").c_str(), false));
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 15;
    local.tm_hour = 10;
    local.tm_min = 30;
    local.tm_sec = 14;
    local.tm_isdst = -1;
    struct stat info {};
    ASSERT_EQ(stat(Text("out/timed.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, mktime(&local));
}

TEST_F(UnzipperTest, MovesThroughEntriesByIndexNameAndExtension) {
    const std::string archive = Crafted("nav.zip", {{.name = "FW\\", .externalAttributes = 0x10},
                                                    {.name = "FW\\App0.BIN",
                                                     .data = "zero",
                                                     .externalAttributes = kUnixFile,
                                                     .versionMadeBy = kUnixHost | 20},
                                                    {.name = "readme.txt", .data = "read me"},
                                                    {.name = "fw/sub/app1.bin", .data = "one"},
                                                    {.name = "java-style-folder/"}});
    CUnzipper unzipper(archive.c_str());
    ASSERT_EQ(unzipper.GetFileCount(), 5);
    EXPECT_EQ(std::string(unzipper.GetOutputFolder()), Text("nav"));

    UZ_FileInfo info;
    ASSERT_TRUE(unzipper.GotoFirstFile("bin"));
    ASSERT_TRUE(unzipper.GetFileInfo(info));
    EXPECT_STREQ(info.fileName, "FW/App0.BIN");
    EXPECT_FALSE(info.folder);
    EXPECT_EQ(info.uncompressedSize, 4u);
    EXPECT_EQ(info.compressedSize, 4u);
    EXPECT_EQ(info.crc, ziptest::Crc32("zero"));
    EXPECT_EQ(info.compressionMethod, 0u);
    EXPECT_EQ(info.externalAttributes, kUnixFile);
    EXPECT_EQ(info.version, kUnixHost | 20);
    ASSERT_TRUE(unzipper.GotoNextFile("BIN"));
    ASSERT_TRUE(unzipper.GetFileInfo(info));
    EXPECT_STREQ(info.fileName, "fw/sub/app1.bin");
    EXPECT_FALSE(unzipper.GotoNextFile("bin"));

    ASSERT_TRUE(unzipper.GetFileInfo(0, info));
    EXPECT_TRUE(info.folder);
    ASSERT_TRUE(unzipper.GetFileInfo(4, info));
    EXPECT_TRUE(info.folder);  // no directory bit, but the name ends with '/'
    EXPECT_FALSE(unzipper.GotoFile(5));
    EXPECT_FALSE(unzipper.GotoFile(-1));

    ASSERT_TRUE(unzipper.GotoFile("fw/APP0.bin", false));
    EXPECT_TRUE(unzipper.GetFileInfo(info));
    EXPECT_STREQ(info.fileName, "FW/App0.BIN");
    ASSERT_TRUE(unzipper.GotoFile(2));
    EXPECT_FALSE(unzipper.GotoFile("APP1.BIN", false));
    ASSERT_TRUE(unzipper.GetFileInfo(info));
    EXPECT_STREQ(info.fileName, "readme.txt");  // a failed search keeps the current entry
    ASSERT_TRUE(unzipper.GotoFile("APP1.BIN", true));
    ASSERT_TRUE(unzipper.GetFileInfo(info));
    EXPECT_STREQ(info.fileName, "fw/sub/app1.bin");

    ASSERT_TRUE(unzipper.UnzipFile(Text("one").c_str(), false));
    EXPECT_EQ(Snapshot(Path("one")),
              (std::map<std::string, std::string>{
                  {"fw", "<dir>"}, {"fw/sub", "<dir>"}, {"fw/sub/app1.bin", "one"}}));
    ASSERT_TRUE(unzipper.UnzipFile(4, Text("two").c_str(), true));  // a folder: nothing to do
    EXPECT_TRUE(Snapshot(Path("two")).empty());
    ASSERT_TRUE(unzipper.UnzipFile(4, Text("two").c_str(), false));
    EXPECT_TRUE(fs::is_directory(Path("two/java-style-folder")));

    EXPECT_TRUE(unzipper.CloseZip());
    EXPECT_FALSE(unzipper.CloseZip());
    EXPECT_EQ(unzipper.GetFileCount(), 0);
    EXPECT_STREQ(unzipper.GetOutputFolder(), "");
}

TEST_F(UnzipperTest, OpeningAndTheOutputFolder) {
    const std::string archive = Crafted("pack.zip", {{.name = "a.txt", .data = "a"}});
    WriteWholeFile(Path("not-a-zip.zip"), "this is not an archive at all, only text");
    CUnzipper unzipper;
    EXPECT_FALSE(unzipper.OpenZip(nullptr));
    EXPECT_FALSE(unzipper.OpenZip(""));
    EXPECT_FALSE(unzipper.OpenZip(Text("missing.zip").c_str()));
    EXPECT_FALSE(unzipper.OpenZip(Text("not-a-zip.zip").c_str()));
    EXPECT_FALSE(unzipper.OpenZip(m_temp.Path().c_str()));
    ASSERT_EQ(mkfifo(Text("pipe.zip").c_str(), 0600), 0);
    EXPECT_FALSE(unzipper.OpenZip(Text("pipe.zip").c_str()));
    EXPECT_FALSE(unzipper.Unzip(false));

    ASSERT_TRUE(unzipper.OpenZip(archive.c_str()));
    EXPECT_FALSE(unzipper.SetOutputFolder(Text("not-a-zip.zip").c_str()));
    EXPECT_STREQ(unzipper.GetOutputFolder(), Text("pack").c_str());
    ASSERT_TRUE(unzipper.SetOutputFolder((Text("x") + "\\y\\z").c_str()));
    EXPECT_TRUE(fs::is_directory(Path("x/y/z")));
    ASSERT_TRUE(unzipper.Unzip(false));
    EXPECT_EQ(ReadWholeFile(Path("x/y/z/a.txt")), "a");

    ASSERT_TRUE(unzipper.OpenZip(archive.c_str()));
    ASSERT_TRUE(unzipper.Unzip(false));
    EXPECT_EQ(ReadWholeFile(Path("pack/a.txt")), "a");
}
