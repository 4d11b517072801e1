#include "core/process_util.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/ptr_array_ctrl.h"
#include "core/utf_convert.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kNoSuchProcess = 0x7FFFFFF0;

std::vector<uint32_t> Ids(CPtrCtrl& list) {
    std::vector<uint32_t> ids;
    for (int i = 0; i < list.GetCount(); ++i) {
        ids.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(list.GetAt(i))));
    }
    return ids;
}

// A copy of sleep under a name no other process has, running until it is ended.
class Sleeper {
public:
    Sleeper() {
        m_name = "orbo-sleeper-" + m_dir.Path().filename().string();
        m_path = m_dir.File(m_name);
        fs::copy_file("/bin/sleep", m_path);
        SpawnOptions options;
        options.program = m_path;
        m_child.Start({m_name, "120"}, options);
    }
    ~Sleeper() { m_child.Stop(SIGKILL); }
    bool Started() const { return m_child.Pid() > 0; }
    pid_t Pid() const { return m_child.Pid(); }
    const std::string& Name() const { return m_name; }
    const std::string& Path() const { return m_path; }
    // Waits for its end: the wait status, or nothing when it did not end.
    std::optional<int> Reap() {
        int status = 0;
        if (!WaitUntil([&] { return m_child.HasExited(&status); })) return std::nullopt;
        return status;
    }

private:
    TempDir m_dir;
    std::string m_name;
    std::string m_path;
    ChildProcess m_child;
};

TEST(GetParentProcessID, ReadsParentFromProc) {
    EXPECT_EQ(GetParentProcessID(static_cast<uint32_t>(getpid())),
              static_cast<uint32_t>(getppid()));
    Sleeper child;
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(GetParentProcessID(static_cast<uint32_t>(child.Pid())),
              static_cast<uint32_t>(getpid()));
    EXPECT_EQ(GetParentProcessID(kNoSuchProcess), 0xFFFFFFFFu);
}

TEST(PidsByName, FindsAndKillsProcessesOfOneProgram) {
    Sleeper child;
    ASSERT_TRUE(child.Started());
    const uint32_t pid = static_cast<uint32_t>(child.Pid());
    const struct {
        std::string name;
        int fullPath;
        bool found;
    } cases[] = {
        {child.Name(), 0, true},
        {child.Path(), 1, true},
        {child.Path(), 0, false},  // a path is not a file name
        {child.Name(), 1, false},
        {child.Path().substr(0, child.Path().rfind('/')) + "\\" + child.Name(), 1, true},
        {"ORBO-SLEEPER-" + child.Name().substr(13), 0, false},  // case-sensitive
        {"", 0, false},
    };
    ASSERT_TRUE(WaitUntil([&] {
        CPtrArrayCtrl ids;
        GetPidListByNameA(child.Name().c_str(), 0, &ids);
        return ids.GetCount() == 1;
    }));
    for (const auto& c : cases) {
        CPtrArrayCtrl ids;
        GetPidListByNameA(c.name.c_str(), c.fullPath, &ids);
        EXPECT_EQ(Ids(ids), c.found ? std::vector<uint32_t>{pid} : std::vector<uint32_t>{})
            << c.name << " full=" << c.fullPath;
        CPtrArrayCtrl wideIds;
        GetPidListByNameW(Utf8ToUtf16Lossy(c.name).c_str(), c.fullPath, &wideIds);
        EXPECT_EQ(Ids(wideIds), Ids(ids)) << c.name;
    }
    EXPECT_EQ(GetPidListByNameA(child.Name().c_str(), 0, nullptr), 0);

    EXPECT_EQ(KillPidByNameA(child.Path().c_str(), 1), 1);
    const std::optional<int> status = child.Reap();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGKILL);
    EXPECT_EQ(KillPidByNameW(Utf8ToUtf16Lossy(child.Name()).c_str(), 0), 0);
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { m_runtimeDir.emplace("XDG_RUNTIME_DIR", m_dir.Path().string()); }
    void TearDown() override { m_runtimeDir.reset(); }
    // Whether some other open of the lock file can take the lock now.
    bool LockIsFree(const std::string& name) {
        const int fd =
            open(SingleInstanceLockPath(name).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) close(fd);
        return free;
    }
    TempDir m_dir;
    std::optional<ScopedEnv> m_runtimeDir;
};

TEST_F(SingleInstanceTest, LockFileLivesInRuntimeFolder) {
    EXPECT_EQ(SingleInstanceLockPath("Zorvan Tool"), m_dir.File("orbo-Zorvan Tool.lock"));
    EXPECT_EQ(SingleInstanceLockPath("Global\\a/b"), m_dir.File("orbo-Global_a_b.lock"));
    EXPECT_EQ(SingleInstanceLockPath(""), "");
    EXPECT_EQ(SingleInstanceLockPath(std::string(300, 'n')), "");
}

TEST_F(SingleInstanceTest, FirstCallerKeepsLockAndOthersSeeIt) {
    EXPECT_TRUE(LockIsFree("first"));
    EXPECT_EQ(CheckSingleInstanceA("first"), 1);
    EXPECT_FALSE(LockIsFree("first"));            // held for as long as this process runs
    EXPECT_EQ(CheckSingleInstanceA("first"), 1);  // this process is the instance
    EXPECT_EQ(CheckSingleInstanceW(u"first"), 1);
}

TEST_F(SingleInstanceTest, LockHeldElsewhereMeansAnotherInstance) {
    const int holder =
        open(SingleInstanceLockPath("taken").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(CheckSingleInstanceA("taken"), 0);
    EXPECT_EQ(CheckSingleInstanceW(u"taken"), 0);
    close(holder);  // the other instance ends
    EXPECT_EQ(CheckSingleInstanceA("taken"), 1);
}

TEST_F(SingleInstanceTest, NothingToCheckWithoutName) {
    EXPECT_EQ(CheckSingleInstanceA(nullptr), 1);
    EXPECT_EQ(CheckSingleInstanceA(""), 1);
    EXPECT_EQ(CheckSingleInstanceW(nullptr), 1);
}

}  // namespace
