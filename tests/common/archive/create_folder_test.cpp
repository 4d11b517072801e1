#include "archive/create_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

TEST(CreateFolder, CreatesMissingParentsAndAcceptsExistingFolders) {
    TempDir temp;
    EXPECT_TRUE(CreateFolder(temp.File("a/b/c").c_str()));
    EXPECT_TRUE(fs::is_directory(temp.Path() / "a/b/c"));
    EXPECT_TRUE(CreateFolder(temp.File("a/b").c_str()));
    EXPECT_TRUE(CreateFolder((temp.File("x") + "\\y\\z").c_str()));
    EXPECT_TRUE(fs::is_directory(temp.Path() / "x/y/z"));
}

TEST(CreateFolder, FailsForEmptyPathsAndFiles) {
    TempDir temp;
    std::ofstream(temp.File("file")) << "x";
    EXPECT_FALSE(CreateFolder(nullptr));
    EXPECT_FALSE(CreateFolder(""));
    EXPECT_FALSE(CreateFolder(temp.File("file").c_str()));
    EXPECT_FALSE(CreateFolder(temp.File("file/below").c_str()));
    EXPECT_FALSE(CreateFolder(std::string(300, 'n').c_str()));
}

TEST(CreateFolder, ARelativeNameIsReallyCreated) {
    TempDir temp;
    const fs::path before = fs::current_path();
    fs::current_path(temp.Path());
    const bool created = CreateFolder("plain");
    const bool exists = fs::is_directory(temp.Path() / "plain");
    fs::current_path(before);
    EXPECT_TRUE(created);
    EXPECT_TRUE(exists);
}
