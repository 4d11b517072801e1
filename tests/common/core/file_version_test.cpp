#include "core/file_version.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "core/utf_convert.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace fs = std::filesystem;

namespace {

std::string LibraryPath() {
    Dl_info info{};
    EXPECT_NE(dladdr(reinterpret_cast<void*>(&GetFileVersionA), &info), 0);
    return info.dli_fname != nullptr ? fs::canonical(info.dli_fname).string() : std::string();
}

TEST(GetFileVersion, OwnBinariesCarryTheProjectVersion) {
    const std::string expected = GetOrboVersionText();
    EXPECT_TRUE(std::regex_match(expected, std::regex(R"(\d+\.\d+\.\d+)"))) << expected;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    for (const std::string& path : {self, LibraryPath()}) {
        char narrow[64] = "garbage";
        ASSERT_EQ(GetFileVersionA(path.c_str(), narrow, sizeof(narrow)), 1) << path;
        EXPECT_EQ(std::string(narrow), expected) << path;
        WCHAR wide[64];
        ASSERT_EQ(GetFileVersionW(Utf8ToUtf16Lossy(path).c_str(), wide, 64), 1) << path;
        EXPECT_EQ(std::u16string(wide), Utf8ToUtf16Lossy(expected)) << path;
    }
    char cut[3];
    ASSERT_EQ(GetFileVersionA(self.c_str(), cut, sizeof(cut)), 1);
    EXPECT_EQ(std::string(cut), expected.substr(0, 2));
}

TEST(GetFileVersion, OtherFilesHaveNone) {
    TempDir dir;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string image = ReadWholeFile(self);
    std::ofstream(dir.File("head.bin"), std::ios::binary) << image.substr(0, 64);
    std::ofstream(dir.File("text.txt")) << "Orbo " << GetOrboVersionText() << "\n";
    std::ofstream(dir.File("empty"));
    const std::string cases[] = {"/bin/sh",         dir.File("head.bin"), dir.File("text.txt"),
                                 dir.File("empty"), dir.File("missing"),  dir.Path().string()};
    for (const std::string& path : cases) {
        char out[64] = "garbage";
        EXPECT_EQ(GetFileVersionA(path.c_str(), out, sizeof(out)), 0) << path;
        EXPECT_STREQ(out, "") << path;
    }
    char out[8];
    EXPECT_EQ(GetFileVersionA(self.c_str(), nullptr, 8), 0);
    EXPECT_EQ(GetFileVersionA(self.c_str(), out, 0), 0);
    EXPECT_EQ(GetFileVersionA(nullptr, out, 8), 0);
}

}  // namespace
