#include "core/folder_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/ptr_array_ctrl.h"
#include "core/ptr_list_ctrl.h"
#include "core/utf_convert.h"
#include "support/temp_dir.h"
#include "support/wide_text.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Sorted(CPtrCtrl& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.GetCount(); ++i) out.emplace_back(static_cast<char*>(list.GetAt(i)));
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> SortedWide(CPtrCtrl& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.GetCount(); ++i) {
        std::string text;
        EXPECT_TRUE(Utf16ToUtf8(static_cast<WCHAR*>(list.GetAt(i)), text));
        out.push_back(text);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A folder with files of several extensions, hidden entries and sub-folders.
class FolderListTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"a.bin", "b.BIN", "c.hex", "noext", ".hidden.bin", "x.bin.txt", "APP1.bin"}) {
            std::ofstream(m_dir.File(name)) << name;
        }
        fs::create_directory(m_dir.Path() / "sub.bin");
        fs::create_directory(m_dir.Path() / ".git");
        fs::create_directory_symlink("sub.bin", m_dir.Path() / "linked");
    }
    std::string Folder() const { return m_dir.Path().string(); }
    TempDir m_dir;
};

TEST_F(FolderListTest, SortsFoldersAndFilesAndFiltersExtensions) {
    const struct {
        const char* extensions;
        int includeHidden;
        std::vector<std::string> folders;
        std::vector<std::string> files;
    } cases[] = {
        {"",
         0,
         {"linked", "sub.bin"},
         {"APP1.bin", "a.bin", "b.BIN", "c.hex", "noext", "x.bin.txt"}},
        {".bin", 0, {"linked", "sub.bin"}, {"APP1.bin", "a.bin", "b.BIN"}},
        {".bin;.hex", 0, {"linked", "sub.bin"}, {"APP1.bin", "a.bin", "b.BIN", "c.hex"}},
        {".txt.x;.hex", 0, {"linked", "sub.bin"}, {"c.hex"}},  // items are whole, not prefixes
        {".bin", 1, {".git", "linked", "sub.bin"}, {".hidden.bin", "APP1.bin", "a.bin", "b.BIN"}},
    };
    for (const auto& c : cases) {
        CPtrArrayCtrl folders;
        CPtrListCtrl files;
        EXPECT_EQ(GetLocalFolderFileListA(Folder().c_str(), &folders, &files, c.extensions,
                                          c.includeHidden, 0),
                  1);
        EXPECT_EQ(Sorted(folders), c.folders) << c.extensions;
        EXPECT_EQ(Sorted(files), c.files) << c.extensions;
        FreeFileListA(&folders);
        FreeFileListA(&files);
        EXPECT_EQ(folders.GetCount(), 0);
    }
}

TEST_F(FolderListTest, FullPathsAndMissingContainers) {
    CPtrArrayCtrl files;
    ASSERT_EQ(GetLocalFolderFileListA((Folder() + "\\").c_str(), nullptr, &files, ".hex", 0, 1), 1);
    EXPECT_EQ(Sorted(files), std::vector<std::string>{Folder() + "/c.hex"});
    FreeFileListA(&files);
    CPtrArrayCtrl folders;
    ASSERT_EQ(GetLocalFolderFileListA(Folder().c_str(), &folders, nullptr, nullptr, 0, 1), 1);
    EXPECT_EQ(Sorted(folders),
              (std::vector<std::string>{Folder() + "/linked", Folder() + "/sub.bin"}));
    FreeFileListA(&folders);
}

TEST_F(FolderListTest, ListingEmptiesTheContainersWithoutFreeingTheCallersEntries) {
    // Entries the caller put there itself: a literal, a stack text and one block shared with
    // another container. Freeing any of them would be an invalid free or a use after free.
    char onStack[] = "caller's own";
    const char* literal = "a literal";
    char* shared = static_cast<char*>(std::malloc(8));
    ASSERT_NE(shared, nullptr);
    std::strcpy(shared, "shared");
    CPtrArrayCtrl elsewhere;
    ASSERT_GE(elsewhere.AddData(shared), 0);

    CPtrArrayCtrl folders;
    CPtrListCtrl files;
    for (void* entry : {static_cast<void*>(onStack), static_cast<void*>(const_cast<char*>(literal)),
                        static_cast<void*>(shared)}) {
        ASSERT_GE(folders.AddData(entry), 0);
        ASSERT_GE(files.AddData(entry), 0);
    }
    ASSERT_EQ(GetLocalFolderFileListA(Folder().c_str(), &folders, &files, ".bin", 0, 0), 1);
    EXPECT_EQ(Sorted(folders), (std::vector<std::string>{"linked", "sub.bin"}));
    EXPECT_EQ(Sorted(files), (std::vector<std::string>{"APP1.bin", "a.bin", "b.BIN"}));
    FreeFileListA(&folders);
    FreeFileListA(&files);
    EXPECT_STREQ(static_cast<const char*>(elsewhere.GetAt(0)), "shared");
    EXPECT_STREQ(onStack, "caller's own");

    // The same for the wide form, and for a folder that cannot be read (containers then empty).
    const WCHAR* wideLiteral = u"wide literal";
    ASSERT_GE(files.AddData(const_cast<WCHAR*>(wideLiteral)), 0);
    ASSERT_EQ(GetLocalFolderFileListW(WideText(Folder()).c_str(), nullptr, &files, u".hex", 0, 0),
              1);
    EXPECT_EQ(SortedWide(files), std::vector<std::string>{"c.hex"});
    FreeFileListW(&files);
    ASSERT_GE(files.AddData(onStack), 0);
    EXPECT_EQ(
        GetLocalFolderFileListA((Folder() + "/missing").c_str(), nullptr, &files, nullptr, 0, 0),
        0);
    EXPECT_EQ(files.GetCount(), 0);
    ASSERT_GE(files.AddData(onStack), 0);
    EXPECT_EQ(GetLocalFolderFileListA(nullptr, nullptr, &files, nullptr, 0, 0), 0);
    EXPECT_EQ(files.GetCount(), 0);
    FreeFileListA(nullptr);
    FreeFileListA(&elsewhere);
}

TEST_F(FolderListTest, WideListingLeavesOutNamesThatAreNotUtf8) {
    std::ofstream(m_dir.File("été.bin")) << "x";
    std::ofstream(m_dir.File("bad\xFF.bin")) << "x";
    CPtrListCtrl files;
    ASSERT_EQ(GetLocalFolderFileListW(WideText(Folder()).c_str(), nullptr, &files, u".BIN", 0, 0),
              1);
    EXPECT_EQ(SortedWide(files),
              (std::vector<std::string>{"APP1.bin", "a.bin", "b.BIN", "été.bin"}));
    FreeFileListW(&files);
    CPtrArrayCtrl narrow;
    ASSERT_EQ(GetLocalFolderFileListA(Folder().c_str(), nullptr, &narrow, ".bin", 0, 0), 1);
    EXPECT_EQ(narrow.GetCount(), 5);  // the narrow form passes the bytes on as they are
    FreeFileListA(&narrow);
}

TEST_F(FolderListTest, FindFileInFolderMatchesExactNamesOnly) {
    const struct {
        const char* name;
        int includeHidden;
        int found;
    } cases[] = {
        {"a.bin", 0, 1},   {"A.BIN", 0, 0},       {"*.bin", 0, 0},       {"a.bi", 0, 0},
        {"sub.bin", 0, 1}, {".hidden.bin", 0, 0}, {".hidden.bin", 1, 1}, {"", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindFileInFolderA(Folder().c_str(), c.name, c.includeHidden), c.found) << c.name;
        EXPECT_EQ(FindFileInFolderW(WideText(Folder()).c_str(), WideText(c.name).c_str(),
                                    c.includeHidden),
                  c.found)
            << c.name;
    }
    EXPECT_EQ(FindFileInFolderA((Folder() + "/nope").c_str(), "a.bin", 0), 0);
    EXPECT_EQ(FindFileInFolderA(nullptr, "a.bin", 0), 0);
}

}  // namespace
