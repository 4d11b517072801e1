#include "serial/serial_port_enum.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/ptr_array_ctrl.h"
#include "core/ptr_list_ctrl.h"
#include "core/utf_convert.h"
#include "serial/serial_port_list.h"
#include "serial/serial_port_table.h"
#include "serial/virtual_port_folder.h"
#include "support/pty_pair.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Sets XDG_RUNTIME_DIR to a private folder for one test.
class ScopedRuntimeDir {
public:
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    ScopedEnv m_env{"XDG_RUNTIME_DIR", m_dir.Path().string()};
};

// A fake /sys/class/tty and /dev: device nodes are links to /dev/null, a character device that
// needs no privileges to make.
class FakeTtyTree {
public:
    FakeTtyTree() {
        m_roots.sysClassTty = m_dir.File("sys");
        m_roots.dev = m_dir.File("dev");
        m_roots.virtualFolder = m_dir.File("virtual");
        fs::create_directories(m_roots.sysClassTty);
        fs::create_directories(m_roots.dev);
        fs::create_directories(m_roots.virtualFolder);
        fs::permissions(m_roots.virtualFolder, fs::perms::owner_all, fs::perm_options::replace);
    }
    // A tty sysfs entry, with a "type" file when type >= 0, and its device node when asked.
    void AddTty(const std::string& name, int type = -1, bool node = true) {
        fs::create_directories(m_roots.sysClassTty + "/" + name);
        if (type >= 0) std::ofstream(m_roots.sysClassTty + "/" + name + "/type") << type << "\n";
        if (node) fs::create_symlink("/dev/null", m_roots.dev + "/" + name);
    }
    void AddVirtual(const std::string& name, const std::string& target) {
        fs::create_symlink(target, m_roots.virtualFolder + "/" + name);
    }
    std::string Dev(const std::string& name) const { return m_roots.dev + "/" + name; }
    std::string Virtual(const std::string& name) const {
        return m_roots.virtualFolder + "/" + name;
    }
    const SerialPortRoots& Roots() const { return m_roots; }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    SerialPortRoots m_roots;
};

std::vector<std::string> NarrowNames(CPtrCtrl& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i) names.emplace_back(static_cast<char*>(list.GetAt(i)));
    return names;
}

std::vector<std::string> WideNames(CPtrCtrl& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i) {
        const auto* wide = static_cast<const char16_t*>(list.GetAt(i));
        std::string narrow;
        EXPECT_TRUE(Utf16ToUtf8(std::u16string_view(wide, WideLength(wide)), narrow));
        names.push_back(narrow);
    }
    return names;
}

TEST(SerialPortList, HardwarePortsInNaturalOrderThenVirtualLinks) {
    FakeTtyTree tree;
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM1", "ttyUSB0", "ttyACM0"}) {
        tree.AddTty(name);
    }
    tree.AddTty("ttyS0", 4);
    tree.AddTty("ttyS1", 0);  // a UART slot without a UART
    tree.AddTty("ttyS2");     // no type known: not taken for a port
    tree.AddTty("ttyS10", 1);
    tree.AddTty("ttyUSB3", -1, false);  // in sysfs, but no device node
    for (const char* name : {"rfcomm0", "tty0", "ttyUSB", "ttyUSBx", "console", "ptmx"}) {
        tree.AddTty(name, 4);
    }
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    tree.AddVirtual("zorvan-sim-20", "/dev/null");
    tree.AddVirtual("zorvan-sim-3", pty.SlavePath());
    tree.AddVirtual("alpha", "/dev/zero");
    tree.AddVirtual("dead", tree.Dir().File("gone"));
    std::ofstream(tree.Dir().File("regular")) << "x";
    tree.AddVirtual("to-file", tree.Dir().File("regular"));
    tree.AddVirtual(".being-made", "/dev/null");
    std::ofstream(tree.Virtual("plain")) << "x";

    const std::vector<std::string> expected = {
        tree.Dev("ttyACM0"),
        tree.Dev("ttyACM1"),
        tree.Dev("ttyS0"),
        tree.Dev("ttyS10"),
        tree.Dev("ttyUSB0"),
        tree.Dev("ttyUSB2"),
        tree.Dev("ttyUSB10"),
        tree.Virtual("alpha"),
        tree.Virtual("zorvan-sim-3"),
        tree.Virtual("zorvan-sim-20"),
    };
    EXPECT_EQ(ListSerialPortNames(tree.Roots()), expected);
}

TEST(SerialPortList, MissingOrUntrustedFoldersContributeNothing) {
    FakeTtyTree tree;
    tree.AddTty("ttyUSB0");
    SerialPortRoots roots = tree.Roots();
    roots.virtualFolder = tree.Dir().File("no-such-folder");
    EXPECT_EQ(ListSerialPortNames(roots), std::vector<std::string>{tree.Dev("ttyUSB0")});

    // A virtual folder that is a link to another folder is not trusted.
    fs::create_directory_symlink(tree.Roots().virtualFolder, tree.Dir().File("linked"));
    tree.AddVirtual("port", "/dev/null");
    roots.virtualFolder = tree.Dir().File("linked");
    EXPECT_EQ(ListSerialPortNames(roots), std::vector<std::string>{tree.Dev("ttyUSB0")});

    roots.sysClassTty = tree.Dir().File("no-sys");
    roots.virtualFolder.clear();
    EXPECT_TRUE(ListSerialPortNames(roots).empty());
}

TEST(SerialPortList, NaturalOrderComparesDigitRunsByValue) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyUSB2", "ttyUSB10", true},
        {"ttyUSB10", "ttyUSB2", false},
        {"ttyACM9", "ttyS0", true},
        {"ttyS0", "ttyUSB0", true},
        {"a", "a1", true},
        {"a1", "a", false},
        {"x", "x", false},
        {"sim-1-b", "sim-1-a", false},
        {"sim-007", "sim-8", true},
        {"ttyS01", "ttyS1", true},
        {"ttyS1", "ttyS01", false},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(SerialPortNameLess(test.a, test.b), test.less) << test.a << " < " << test.b;
    }
}

TEST(SerialPortEnum, ListsVirtualPortsLastAndRegistersEveryName) {
    ScopedRuntimeDir runtime;
    PtyPair first;
    PtyPair second;
    ASSERT_TRUE(first.Valid() && second.Valid());
    std::string linkB;
    std::string linkA;
    ASSERT_TRUE(CreateVirtualSerialPortLink("sim-b", first.SlavePath(), linkB));
    ASSERT_TRUE(CreateVirtualSerialPortLink("sim-a", second.SlavePath(), linkA));

    CPtrArrayCtrl list;
    const int added = EnumSerialPortNameA(&list);
    const std::vector<std::string> names = NarrowNames(list);
    EXPECT_EQ(added, static_cast<int>(names.size()));
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], linkA);
    EXPECT_EQ(names.back(), linkB);
    EXPECT_EQ(names, ListSerialPortNames(SystemSerialPortRoots()));
    for (const std::string& name : names) {
        std::string registered;
        ASSERT_TRUE(SerialPortNameOf(SerialPortNumberOf(name), registered));
        EXPECT_EQ(registered, name);
    }
    FreeSerialPortNameA(&list);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(SerialPortEnum, AppendsOnlyNamesTheContainerDoesNotHold) {
    ScopedRuntimeDir runtime;
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    std::string link;
    ASSERT_TRUE(CreateVirtualSerialPortLink("sim", pty.SlavePath(), link));

    CPtrListCtrl list;
    const int first = EnumSerialPortNameA(&list);
    EXPECT_GE(first, 1);
    EXPECT_EQ(EnumSerialPortNameA(&list), 0);
    EXPECT_EQ(list.GetCount(), first);
    FreeSerialPortNameA(&list);

    CPtrArrayCtrl wide;
    EXPECT_EQ(EnumSerialPortNameW(&wide), first);
    EXPECT_EQ(EnumSerialPortNameW(&wide), 0);
    EXPECT_EQ(wide.GetCount(), first);
    FreeSerialPortNameW(&wide);
}

TEST(SerialPortEnum, WideNamesMatchNarrowOnesAndEitherFreeReleasesThem) {
    ScopedRuntimeDir runtime;
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    std::string link;
    ASSERT_TRUE(CreateVirtualSerialPortLink("Ünïcode-port", pty.SlavePath(), link));

    CPtrArrayCtrl narrow;
    CPtrArrayCtrl wide;
    EnumSerialPortNameA(&narrow);
    EnumSerialPortNameW(&wide);
    EXPECT_EQ(WideNames(wide), NarrowNames(narrow));
    EXPECT_EQ(NarrowNames(narrow).back(), link);

    // Plain heap blocks either way (leaks would show under the address sanitizer build).
    FreeSerialPortNameA(&wide);
    FreeSerialPortNameW(&narrow);
    EXPECT_EQ(wide.GetCount(), 0);
    EXPECT_EQ(narrow.GetCount(), 0);
}

TEST(SerialPortEnum, NullContainersAreIgnored) {
    EXPECT_EQ(EnumSerialPortNameA(nullptr), 0);
    EXPECT_EQ(EnumSerialPortNameW(nullptr), 0);
    FreeSerialPortNameA(nullptr);
    FreeSerialPortNameW(nullptr);
}

TEST(SerialPortEnum, AnyCharacterDeviceExistsSoPseudoTerminalsCount) {
    ScopedRuntimeDir runtime;
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    std::string link;
    ASSERT_TRUE(CreateVirtualSerialPortLink("present", pty.SlavePath(), link));
    std::string deadLink;
    ASSERT_TRUE(CreateVirtualSerialPortLink("absent", runtime.Dir().File("gone"), deadLink));
    std::ofstream(runtime.Dir().File("file")) << "x";
    const int number = SerialPortNumberOf(pty.SlavePath());

    struct Case {
        std::string name;
        int exists;
    };
    const Case cases[] = {
        {pty.SlavePath(), 1},
        {link, 1},
        {"present", 1},
        {"COM" + std::to_string(number), 1},
        {"/dev/null", 1},
        {"null", 1},
        {"absent", 0},
        {deadLink, 0},
        {runtime.Dir().File("file"), 0},
        {runtime.Dir().Path().string(), 0},
        {"/dev/no-such-port", 0},
        {"COM99999", 0},
        {"", 0},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(IsSerialPortNameExistA(test.name.c_str()), test.exists) << test.name;
        std::u16string wide;
        ASSERT_TRUE(Utf8ToUtf16(test.name, wide));
        EXPECT_EQ(IsSerialPortNameExistW(wide.c_str()), test.exists) << test.name;
    }
    EXPECT_EQ(IsSerialPortNameExistA(nullptr), 0);
    EXPECT_EQ(IsSerialPortNameExistW(nullptr), 0);
}

}  // namespace
