#include "serial/virtual_port_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Sets or clears XDG_RUNTIME_DIR for one test and restores it afterwards.
class ScopedRuntimeEnv {
public:
    explicit ScopedRuntimeEnv(const char* value) {
        const char* old = getenv("XDG_RUNTIME_DIR");
        m_hadOld = old != nullptr;
        if (m_hadOld) m_old = old;
        if (value != nullptr) {
            setenv("XDG_RUNTIME_DIR", value, 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    ~ScopedRuntimeEnv() {
        if (m_hadOld) {
            setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }

private:
    std::string m_old;
    bool m_hadOld = false;
};

TEST(VirtualPortFolder, FolderFollowsTheRuntimeDirectory) {
    const std::string tmpFolder = "/tmp/orbo-serial-" + std::to_string(getuid());
    struct Case {
        const char* runtimeDir;
        std::string folder;
    };
    const Case cases[] = {
        {"/run/user/1000", "/run/user/1000/orbo-serial"},
        {"/run/user/1000/", "/run/user/1000/orbo-serial"},
        {"/", "/orbo-serial"},
        {nullptr, tmpFolder},
        {"", tmpFolder},
        {"relative/dir", tmpFolder},
    };
    for (const Case& test : cases) {
        ScopedRuntimeEnv env(test.runtimeDir);
        EXPECT_EQ(VirtualSerialPortFolder(), test.folder)
            << (test.runtimeDir ? test.runtimeDir : "(unset)");
    }
}

TEST(VirtualPortFolder, EnsureCreatesAPrivateFolder) {
    TempDir dir;
    ScopedRuntimeEnv env(dir.Path().c_str());
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
    ScopedRuntimeEnv env(dir.Path().c_str());
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
    ScopedRuntimeEnv env(dir.Path().c_str());
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
    ScopedRuntimeEnv env(dir.Path().c_str());
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
