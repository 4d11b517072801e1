#include "core/program_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/size_limits.h"
#include "core/utf_convert.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kNoSuchProcess = 0x7FFFFFF0;  // beyond any pid_max

std::string SelfExe() {
    return fs::read_symlink("/proc/self/exe").string();
}

TEST(GetProgramPath, IsFolderOfRunningProgram) {
    const fs::path self = SelfExe();
    char narrow[kMaxPathChars + 1];
    ASSERT_EQ(GetProgramPathA(static_cast<uint32_t>(getpid()), narrow), 1);
    EXPECT_EQ(std::string(narrow), self.parent_path().string());
    WCHAR wide[kMaxPathChars + 1];
    ASSERT_EQ(GetProgramPathW(static_cast<uint32_t>(getpid()), wide), 1);
    std::string converted;
    ASSERT_TRUE(Utf16ToUtf8(wide, converted));
    EXPECT_EQ(converted, self.parent_path().string());
    EXPECT_EQ(GetProgramPathA(kNoSuchProcess, narrow), 0);
    EXPECT_STREQ(narrow, "");
    EXPECT_EQ(GetProgramPathA(static_cast<uint32_t>(getpid()), nullptr), 0);
}

TEST(GetProgramName, GivesFileNameOrFullPath) {
    const fs::path self = SelfExe();
    char out[kMaxPathChars + 1];
    ASSERT_EQ(GetProgramNameA(static_cast<uint32_t>(getpid()), 0, out), 1);
    EXPECT_EQ(std::string(out), self.filename().string());
    ASSERT_EQ(GetProgramNameA(static_cast<uint32_t>(getpid()), 1, out), 1);
    EXPECT_EQ(std::string(out), self.string());
    WCHAR wide[kMaxPathChars + 1];
    ASSERT_EQ(GetProgramNameW(static_cast<uint32_t>(getpid()), 0, wide), 1);
    EXPECT_EQ(std::u16string(wide), Utf8ToUtf16Lossy(self.filename().string()));
    EXPECT_EQ(GetProgramNameW(kNoSuchProcess, 1, wide), 0);
}

TEST(GetAppFolder, OrboHomeDecidesEveryFolder) {
    ScopedEnv home("ORBO_HOME", "/srv/orbo\\setup");
    const struct {
        AppFolderKind kind;
        const char* folder;
    } cases[] = {
        {AppFolderKind::Settings, "/srv/orbo/setup"},
        {AppFolderKind::Log, "/srv/orbo/setup/Log"},
        {AppFolderKind::SaveData, "/srv/orbo/setup/SaveData"},
        {AppFolderKind::FirmwareImage, "/srv/orbo/setup/FW_Image"},
        {AppFolderKind::Image, "/srv/orbo/setup/Image"},
        {AppFolderKind::Skin, "/srv/orbo/setup/Skin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetAppFolder(c.kind), c.folder);
        EXPECT_EQ(GetAppFolderForProgram(c.kind, "/opt/orbo/bin", false), c.folder);
        char narrow[kMaxPathChars + 1];
        ASSERT_EQ(GetAppFolderA(c.kind, narrow), 1);
        EXPECT_STREQ(narrow, c.folder);
        WCHAR wide[kMaxPathChars + 1];
        ASSERT_EQ(GetAppFolderW(c.kind, wide), 1);
        EXPECT_EQ(std::u16string(wide), Utf8ToUtf16Lossy(c.folder));
    }
}

TEST(GetAppFolder, WritableProgramFolderComesNext) {
    ScopedEnv home("ORBO_HOME", "");  // empty counts as unset
    EXPECT_EQ(GetAppFolderForProgram(AppFolderKind::Settings, "/work/build/bin", true),
              "/work/build/bin");
    EXPECT_EQ(GetAppFolderForProgram(AppFolderKind::Skin, "/work/build/bin", true),
              "/work/build/bin/Skin");
    // This test program's own folder is the build tree's bin folder, which is writable.
    const std::string programFolder = fs::path(SelfExe()).parent_path().string();
    if (access(programFolder.c_str(), W_OK) == 0) {
        EXPECT_EQ(GetAppFolder(AppFolderKind::Log), programFolder + "/Log");
    }
}

TEST(GetAppFolder, InstalledProgramUsesXdgFoldersAndSharedAssets) {
    ScopedEnv home("ORBO_HOME", std::nullopt);
    ScopedEnv user("HOME", "/home/u");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        ScopedEnv data("XDG_DATA_HOME", "/data/");
        const struct {
            AppFolderKind kind;
            const char* folder;
        } cases[] = {
            {AppFolderKind::Settings, "/cfg/Orbo_Zorvan_Tool"},
            {AppFolderKind::Log, "/data/Orbo_Zorvan_Tool/Log"},
            {AppFolderKind::SaveData, "/data/Orbo_Zorvan_Tool/SaveData"},
            {AppFolderKind::FirmwareImage, "/data/Orbo_Zorvan_Tool/FW_Image"},
            {AppFolderKind::Image, "/usr/share/Orbo_Zorvan_Tool/Image"},
            {AppFolderKind::Skin, "/usr/share/Orbo_Zorvan_Tool/Skin"},
        };
        for (const auto& c : cases) {
            EXPECT_EQ(GetAppFolderForProgram(c.kind, "/usr/bin", false), c.folder);
        }
    }
    {
        // Unset or relative XDG variables fall back to the home folder's defaults.
        ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(GetAppFolderForProgram(AppFolderKind::Settings, "/usr/bin", false),
                  "/home/u/.config/Orbo_Zorvan_Tool");
        EXPECT_EQ(GetAppFolderForProgram(AppFolderKind::Log, "", false),
                  "/home/u/.local/share/Orbo_Zorvan_Tool/Log");
        EXPECT_EQ(GetAppFolderForProgram(AppFolderKind::Image, "", false), "");
    }
}

TEST(GetAppFolder, RefusesFolderBeyondLimit) {
    ScopedEnv home("ORBO_HOME", "/" + std::string(kMaxPathChars - 3, 'h'));
    EXPECT_NE(GetAppFolder(AppFolderKind::Settings), "");
    EXPECT_EQ(GetAppFolder(AppFolderKind::SaveData), "");
    char out[kMaxPathChars + 1];
    EXPECT_EQ(GetAppFolderA(AppFolderKind::SaveData, out), 0);
    EXPECT_STREQ(out, "");
}

}  // namespace
