#include "serial/virtual_port_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/log_capture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(VirtualPortFolder, FolderFollowsTheRuntimeDirectory) {
    const std::string tmpFolder = "/tmp/orbo-serial-" + std::to_string(getuid());
    struct Case {
        std::optional<std::string> runtimeDir;  // nullopt: unset
        std::string folder;
    };
    const Case cases[] = {
        {"/run/user/1000", "/run/user/1000/orbo-serial"},
        {"/run/user/1000/", "/run/user/1000/orbo-serial"},
        {"/", "/orbo-serial"},
        {std::nullopt, tmpFolder},
        {"", tmpFolder},
        {"relative/dir", tmpFolder},
    };
    for (const Case& test : cases) {
        ScopedEnv env("XDG_RUNTIME_DIR", test.runtimeDir);
        EXPECT_EQ(VirtualSerialPortFolder(), test.folder) << test.runtimeDir.value_or("(unset)");
    }
}

TEST(VirtualPortFolder, EnsureCreatesAPrivateFolder) {
    TempDir dir;
    ScopedEnv env("XDG_RUNTIME_DIR", dir.Path().string());
    ASSERT_TRUE(EnsureVirtualSerialPortFolder());
    struct stat info {};
    ASSERT_EQ(lstat(VirtualSerialPortFolder().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // An existing folder is kept and narrowed.
    ASSERT_EQ(chmod(VirtualSerialPortFolder().c_str(), 0755), 0);
    ASSERT_TRUE(EnsureVirtualSerialPortFolder());
    ASSERT_EQ(lstat(VirtualSerialPortFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(VirtualPortFolder, RefusesAFolderThatIsALinkOrAFile) {
    TempDir dir;
    ScopedEnv env("XDG_RUNTIME_DIR", dir.Path().string());
    fs::create_directory(dir.Path() / "elsewhere");
    fs::create_directory_symlink(dir.Path() / "elsewhere", dir.Path() / "orbo-serial");
    LogCapture log;
    EXPECT_FALSE(EnsureVirtualSerialPortFolder());
    EXPECT_FALSE(IsTrustedVirtualSerialPortFolder(VirtualSerialPortFolder()));
    EXPECT_TRUE(log.Has("not used")) << log.All();

    fs::remove(dir.Path() / "orbo-serial");
    std::ofstream(dir.File("orbo-serial")) << "x";
    EXPECT_FALSE(EnsureVirtualSerialPortFolder());
}

TEST(VirtualPortFolder, LinkCreationReplacesStaleLinksAndRefusesLiveOnes) {
    TempDir dir;
    ScopedEnv env("XDG_RUNTIME_DIR", dir.Path().string());
    std::string path;
    ASSERT_TRUE(CreateVirtualSerialPortLink("sim-1", "/dev/null", path));
    EXPECT_EQ(path, VirtualSerialPortFolder() + "/sim-1");
    EXPECT_EQ(fs::read_symlink(path), "/dev/null");

    // A link that still leads to a device belongs to a live port.
    LogCapture log;
    std::string other;
    EXPECT_FALSE(CreateVirtualSerialPortLink("sim-1", "/dev/zero", other));
    EXPECT_TRUE(log.Has("in use")) << log.All();
    EXPECT_EQ(fs::read_symlink(path), "/dev/null");

    // A link left by a process that died is replaced.
    fs::remove(path);
    fs::create_symlink(dir.File("gone"), path);
    ASSERT_TRUE(CreateVirtualSerialPortLink("sim-1", "/dev/zero", other));
    EXPECT_EQ(other, path);
    EXPECT_EQ(fs::read_symlink(path), "/dev/zero");

    // Only the link itself is left in the folder.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(VirtualSerialPortFolder())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(VirtualPortFolder, LinkCreationRefusesBadNamesAndNonLinks) {
    TempDir dir;
    ScopedEnv env("XDG_RUNTIME_DIR", dir.Path().string());
    std::string path = "untouched";
    for (const char* name : {"", "a/b", ".", ".."}) {
        EXPECT_FALSE(CreateVirtualSerialPortLink(name, "/dev/null", path)) << name;
    }
    ASSERT_TRUE(EnsureVirtualSerialPortFolder());
    std::ofstream(VirtualSerialPortFolder() + "/plain") << "x";
    EXPECT_FALSE(CreateVirtualSerialPortLink("plain", "/dev/null", path));
    EXPECT_EQ(path, "untouched");
}

}  // namespace
