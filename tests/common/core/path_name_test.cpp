#include "core/path_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/size_limits.h"

namespace {

constexpr int kPathBuffer = kMaxPathChars + 1;

struct CombineCase {
    const char* folder;
    const char* name;
    int result;
    const char* expected;
};

TEST(CombinePathName, JoinsWithOneSlashAndAcceptsBackslashes) {
    const CombineCase cases[] = {
        {"/data", "x.bin", 1, "/data/x.bin"},
        {"/data/", "x.bin", 1, "/data/x.bin"},
        {"/data\\", "x.bin", 1, "/data/x.bin"},
        {"", "x.bin", 1, "x.bin"},
        {nullptr, "x.bin", 1, "x.bin"},
        {"/data", nullptr, 1, "/data/"},
        {"/data", "", 1, "/data/"},
        {nullptr, nullptr, 1, ""},
        {"SaveData", "sub\\RadarData.dat", 1, "SaveData/sub/RadarData.dat"},
        {"C:\\data", "x.bin", 1, "C:/data/x.bin"},
    };
    for (const CombineCase& c : cases) {
        char out[kPathBuffer] = "garbage";
        EXPECT_EQ(CombinePathNameA(out, c.folder, c.name), c.result)
            << (c.folder ? c.folder : "(null)");
        EXPECT_STREQ(out, c.expected) << (c.folder ? c.folder : "(null)");
    }
}

TEST(CombinePathName, RefusesResultBeyondLimitInsteadOfCutting) {
    const std::string folder = "/" + std::string(kMaxPathChars - 7, 'f');  // 253 characters
    char out[kPathBuffer] = "garbage";
    EXPECT_EQ(CombinePathNameA(out, folder.c_str(), "12345"), 1);  // 253 + 1 + 5 = 259: fits
    EXPECT_EQ(std::strlen(out), static_cast<size_t>(kMaxPathChars));
    EXPECT_EQ(CombinePathNameA(out, folder.c_str(), "123456"), 0);  // 260: refused
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CombinePathNameA(nullptr, "/a", "b"), 0);
}

TEST(CombinePathName, OutMayBeFolderOrName) {
    char buffer[kPathBuffer] = "/base";
    EXPECT_EQ(CombinePathNameA(buffer, buffer, "file"), 1);
    EXPECT_STREQ(buffer, "/base/file");
    char name[kPathBuffer] = "leaf.txt";
    EXPECT_EQ(CombinePathNameA(name, "/root", name), 1);
    EXPECT_STREQ(name, "/root/leaf.txt");
}

TEST(CombinePathName, WideFormKeepsNonAsciiNames) {
    WCHAR out[kPathBuffer];
    EXPECT_EQ(CombinePathNameW(out, u"/données\\sub", u"名前.bin"), 1);
    EXPECT_EQ(std::u16string(out), u"/données/sub/名前.bin");
    EXPECT_EQ(CombinePathNameW(out, u"", u"x.bin"), 1);
    EXPECT_EQ(std::u16string(out), u"x.bin");
    const std::u16string tooLong(kMaxPathChars, u'n');
    EXPECT_EQ(CombinePathNameW(out, u"/", tooLong.c_str()), 0);
    EXPECT_EQ(std::u16string(out), u"");
}

struct RelativeCase {
    const char* path;
    const char* base;
    int offset;  // -1: the path itself
};

TEST(GetFileRelativePath, OnlyRealFolderPrefixMakesPathRelative) {
    const RelativeCase cases[] = {
        {"/Tool/Data/x.dat", "/Tool/", 6},   // "Data/x.dat"
        {"/Tool/Data/x.dat", "/Tool", 6},    // one trailing separator of the base is ignored
        {"/Tool/Data/x.dat", "/tool/", -1},  // names are case-sensitive
        {"/Tool/Data/x.dat", "/Other", -1},
        {"/tool2/x", "/tool", -1},  // "/tool2" does not lie in "/tool"
        {"/tool//x", "/tool", 7},   // leading separators of the rest are skipped
        {"\\tool\\x", "/tool", 6},  // '\\' and '/' are the same separator
        {"/tool", "/tool/", 5},     // the folder itself: an empty rest
        {"/tool/", "/tool", 6},
        {"/a/b", "/", 1},
        {"rel/x", "/", -1},
        {"/to", "/tool", -1},
        {"/x", "", -1},
        {"", "/x", -1},
    };
    for (const RelativeCase& c : cases) {
        const char* expected = c.offset < 0 ? c.path : c.path + c.offset;
        EXPECT_EQ(GetFileRelativePathA(c.path, c.base), expected) << c.path << " in " << c.base;
    }
    EXPECT_EQ(GetFileRelativePathA(nullptr, "/x"), nullptr);
}

TEST(GetFileRelativePath, WideFormMatchesNarrow) {
    const WCHAR* path = u"/Tool/Data/x.dat";
    EXPECT_EQ(GetFileRelativePathW(path, u"/Tool/"), path + 6);
    EXPECT_EQ(GetFileRelativePathW(path, u"/Too"), path);
}

struct AbsoluteCase {
    const char* path;
    const char* base;
    int result;
    const char* expected;
};

TEST(GetFileAbsolutePath, LeadingSeparatorMeansAbsolute) {
    const AbsoluteCase cases[] = {
        {"/x", "/b", 0, "/x"},           {"\\x\\y", "/b", 0, "/x/y"},   {"x", "/b", 1, "/b/x"},
        {"x", "/b/", 1, "/b/x"},         {"C:\\x", "/b", 1, "/b/C:/x"},  // a drive letter is just a
                                                                         // name here
        {"sub\\x", nullptr, 1, "sub/x"},
    };
    for (const AbsoluteCase& c : cases) {
        char out[kPathBuffer] = "garbage";
        EXPECT_EQ(GetFileAbsolutePathA(out, c.path, c.base), c.result) << c.path;
        EXPECT_STREQ(out, c.expected) << c.path;
    }
}

TEST(GetFileAbsolutePath, RefusedResultIsDistinctFromBothAnswers) {
    const std::string longName(kMaxPathChars, 'n');
    char out[kPathBuffer] = "garbage";
    EXPECT_EQ(GetFileAbsolutePathA(out, longName.c_str(), "/base"), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetFileAbsolutePathA(nullptr, "x", "/b"), -1);
    WCHAR wide[kPathBuffer];
    EXPECT_EQ(GetFileAbsolutePathW(wide, u"x", u"/b"), 1);
    EXPECT_EQ(std::u16string(wide), u"/b/x");
}

struct InPlaceCase {
    const char* path;
    int result;
    const char* expected;
};

TEST(FixToPathName, AppendsOneSlashAndReportsLengthBefore) {
    const InPlaceCase cases[] = {
        {"", 0, ""}, {"/a", 2, "/a/"}, {"/a/", 3, "/a/"}, {"\\a\\", 3, "/a/"}, {"a\\b", 3, "a/b/"},
    };
    for (const InPlaceCase& c : cases) {
        char buffer[kPathBuffer];
        std::strcpy(buffer, c.path);
        EXPECT_EQ(FixToPathNameA(buffer), c.result) << c.path;
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
}

TEST(FixToPathName, RefusesToOverrunFullBuffer) {
    char buffer[kPathBuffer];
    const std::string full(kMaxPathChars, 'p');
    std::strcpy(buffer, full.c_str());
    EXPECT_EQ(FixToPathNameA(buffer), -1);
    EXPECT_EQ(std::string(buffer), full);
    const std::string almost(kMaxPathChars - 1, 'p');
    std::strcpy(buffer, almost.c_str());
    EXPECT_EQ(FixToPathNameA(buffer), kMaxPathChars - 1);
    EXPECT_EQ(std::string(buffer), almost + "/");
}

TEST(FixToFileName, RemovesOneTrailingSeparator) {
    const InPlaceCase cases[] = {
        {"/a/", 0, "/a"}, {"/a//", 0, "/a/"}, {"/a", 0, "/a"}, {"\\a\\", 0, "/a"}, {"", 0, ""},
    };
    for (const InPlaceCase& c : cases) {
        char buffer[kPathBuffer];
        std::strcpy(buffer, c.path);
        FixToFileNameA(buffer);
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
    WCHAR wide[kPathBuffer] = u"/w/";
    FixToFileNameW(wide);
    EXPECT_EQ(std::u16string(wide), u"/w");
}

TEST(GetFileParentDir, CutsAtLastSeparatorKeepingTheRoot) {
    const InPlaceCase cases[] = {
        {"/a/b/c", 1, "/a/b"}, {"/a/b/c/", 1, "/a/b"}, {"/a", 1, "/"}, {"a", 1, ""},
        {"", 1, ""},           {"a\\b", 1, "a"},       {"/", 1, ""},
    };
    for (const InPlaceCase& c : cases) {
        char out[kPathBuffer] = "garbage";
        EXPECT_EQ(GetFileParentDirA(out, c.path), c.result) << c.path;
        EXPECT_STREQ(out, c.expected) << c.path;
    }
    char same[kPathBuffer] = "/x/y/z";
    EXPECT_EQ(GetFileParentDirA(same, same), 1);
    EXPECT_STREQ(same, "/x/y");
    EXPECT_EQ(GetFileParentDirA(nullptr, "/a"), 0);
    EXPECT_EQ(GetFileParentDirA(same, nullptr), 0);
}

TEST(GetFileShortName, TakesPartAfterLastSeparator) {
    const InPlaceCase cases[] = {
        {"/a/b.txt", 1, "b.txt"},
        {"b.txt", 1, "b.txt"},
        {"/a/", 1, ""},
        {"a\\b", 1, "b"},
    };
    for (const InPlaceCase& c : cases) {
        char out[kPathBuffer] = "garbage";
        EXPECT_EQ(GetFileShortNameA(out, c.path), c.result) << c.path;
        EXPECT_STREQ(out, c.expected) << c.path;
    }
    WCHAR wide[kPathBuffer];
    EXPECT_EQ(GetFileShortNameW(wide, u"/dossier/été.log"), 1);
    EXPECT_EQ(std::u16string(wide), u"été.log");
}

struct ExtCase {
    const char* path;
    int outLength;
    const char* expected;
};

TEST(GetFileExtName, TakesLastDotOfFileNameOnly) {
    const ExtCase cases[] = {
        {"a.b\\c", 16, ""},  // the dot lies in a folder name: no extension
        {"a.b/c", 16, ""},         {"name", 16, ""},      {"x.tar.gz", 16, "gz"},
        {"/p/x.bin", 4, "bin"},    {"/p/x.bin", 3, ""},  // too small for the whole extension
        {".bashrc", 16, "bashrc"}, {"trailing.", 16, ""},
    };
    for (const ExtCase& c : cases) {
        char out[16] = "garbage";
        GetFileExtNameA(c.path, out, c.outLength);
        EXPECT_STREQ(out, c.expected) << c.path << " / " << c.outLength;
    }
    WCHAR wide[8];
    GetFileExtNameW(u"/p/photo.JPEG", wide, 8);
    EXPECT_EQ(std::u16string(wide), u"JPEG");
}

struct SetExtCase {
    const char* path;
    int size;
    const char* extension;
    int result;
    const char* expected;
};

TEST(SetFileExtName, ReplacesOrAppendsWithinBufferSize) {
    const SetExtCase cases[] = {
        {"/p/x.txt", 32, ".bin", 1, "/p/x.bin"}, {"/p/x", 32, ".bin", 1, "/p/x.bin"},
        {"/p/x.txt", 32, "", 1, "/p/x"},         {"/p/x.txt", 32, nullptr, 1, "/p/x"},
        {"a.b/c", 32, ".d", 1, "a.b/c.d"},       {"a\\x.y", 32, ".z", 1, "a/x.z"},
        {"/p/x.txt", 9, ".bin", 1, "/p/x.bin"},   // 8 characters and the terminator: fits
        {"/p/x.txt", 9, ".long", 0, "/p/x.txt"},  // would need 10: unchanged
    };
    for (const SetExtCase& c : cases) {
        char buffer[32];
        std::strcpy(buffer, c.path);
        EXPECT_EQ(SetFileExtNameA(buffer, c.size, c.extension), c.result) << c.path;
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
    WCHAR wide[16] = u"/p/x.txt";
    EXPECT_EQ(SetFileExtNameW(wide, 16, u".bin"), 1);
    EXPECT_EQ(std::u16string(wide), u"/p/x.bin");
    EXPECT_EQ(SetFileExtNameA(nullptr, 16, ".x"), 0);
}

}  // namespace
