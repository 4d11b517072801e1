// ctest-labels: slow
// What `cmake --install` puts where: versioned libraries, public headers in their folders, the
// tool's assets where GetAppFolder finds them, desktop integration, manual pages that name every
// command and option, bash completion that offers them, the udev rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "core/program_path.h"
#include "support/installed_tree.h"
#include "support/scoped_env.h"
#include "support/whole_file.h"

namespace fs = std::filesystem;

namespace {

const std::string kLibDir = ORBO_INSTALL_LIBDIR;

// The commands `zorvan-cli --help` lists (the lines after "Commands:" up to an empty line).
std::vector<std::string> HelpCommands(const std::string& help) {
    std::vector<std::string> commands;
    bool inList = false;
    for (const std::string& line : SplitLines(help)) {
        if (line == "Commands:") {
            inList = true;
        } else if (inList && line.empty()) {
            break;
        } else if (inList) {
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    return commands;
}

// Every "--option" a help text names at the start of one of its option lines.
std::vector<std::string> HelpOptions(const std::string& help) {
    std::vector<std::string> options;
    const std::regex option("^  (--[a-z-]+)");
    for (const std::string& line : SplitLines(help)) {
        std::smatch match;
        if (std::regex_search(line, match, option)) options.push_back(match[1]);
    }
    return options;
}

// Whether a manual page has a bold macro line (.B, .BR, .BI) starting with the word.
bool ManPageEntry(const std::string& page, const std::string& word) {
    for (const std::string& line : SplitLines(page)) {
        for (const char* macro : {".B ", ".BR ", ".BI ", ".BR \"", ".BI \""}) {
            if (line.rfind(macro + word, 0) != 0) continue;
            const size_t end = std::string(macro).size() + word.size();
            if (end == line.size() || line[end] == ' ' || line[end] == '"') return true;
        }
    }
    return false;
}

// The PNG's width and height from its header chunk; 0 x 0 when it is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& file) {
    const std::vector<uint8_t> bytes = ReadWholeFileBytes(file);
    if (bytes.size() < 24 || bytes[1] != 'P' || bytes[2] != 'N' || bytes[3] != 'G') return {0, 0};
    auto at = [&](size_t i) {
        return uint32_t(bytes[i]) << 24 | uint32_t(bytes[i + 1]) << 16 |
               uint32_t(bytes[i + 2]) << 8 | uint32_t(bytes[i + 3]);
    };
    return {at(16), at(20)};
}

class InstalledFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tree.Installed()) << m_tree.Error(); }

    std::string Run(const std::vector<std::string>& argv) {
        const ProcessResult result = RunProcess(argv);
        EXPECT_EQ(result.exitCode, 0) << argv[0] << ": " << result.err;
        return result.out;
    }

    // The installed manual page as text (troff escapes of '-' removed).
    std::string ManPage(const std::string& name) {
        std::string text = Run({"gzip", "-dc", m_tree.Path("share/man/man1/" + name + ".1.gz")});
        for (size_t at = 0; (at = text.find("\\-", at)) != std::string::npos;) text.erase(at, 1);
        return text;
    }

    // What the installed completion offers for the words of a command line (the last one being
    // completed).
    std::vector<std::string> Completions(const std::vector<std::string>& words) {
        std::string script =
            "source /usr/share/bash-completion/bash_completion\n"
            "source '" +
            m_tree.Path("share/bash-completion/completions/zorvan-cli") +
            "'\n"
            "COMP_WORDS=(";
        for (const std::string& word : words) script += "'" + word + "' ";
        script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
                  "\nCOMP_LINE=\"${COMP_WORDS[*]}\"\nCOMP_POINT=${#COMP_LINE}\n"
                  "_zorvan_cli\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
        return SplitLines(Run({"bash", "-c", script}));
    }

    InstalledTree m_tree;
};

TEST_F(InstalledFiles, LibrariesCarryTheirSonameAndLinks) {
    for (const char* name : {"Orbo_Common", "Orbo_DataProcess", "Orbo_Upgrade"}) {
        SCOPED_TRACE(name);
        const std::string base = m_tree.Path(kLibDir + "/lib" + name + ".so");
        ASSERT_TRUE(fs::is_symlink(base));
        EXPECT_EQ(fs::read_symlink(base), fs::path(std::string("lib") + name + ".so.0"));
        EXPECT_EQ(fs::read_symlink(base + ".0"),
                  fs::path(std::string("lib") + name + ".so." + ORBO_PROJECT_VERSION));
        EXPECT_TRUE(fs::is_regular_file(base + "." + ORBO_PROJECT_VERSION));
        const std::string dynamic = Run({"readelf", "-d", base + "." + ORBO_PROJECT_VERSION});
        EXPECT_NE(dynamic.find(std::string("Library soname: [lib") + name + ".so.0]"),
                  std::string::npos)
            << dynamic;
        EXPECT_EQ(dynamic.find(m_tree.BuildDir()), std::string::npos) << dynamic;
    }
}

TEST_F(InstalledFiles, PublicHeadersKeepTheirFoldersAndLeaveTheInternalOnes) {
    const fs::path include = m_tree.Path("include/orbo");
    // Nothing but folders at the top: with include/orbo on the path, no header of ours stands
    // where <limits.h> or another system header is looked up.
    for (const auto& entry : fs::directory_iterator(include)) {
        EXPECT_TRUE(entry.is_directory()) << entry.path();
    }
    for (const char* header : {"core/base_string.h", "core/size_limits.h", "serial/serial_util.h",
                               "net/socket_client.h", "archive/unzipper.h", "draw/pixel_bitmap.h",
                               "misc/crc32.h", "dataprocess/radar_device_interface.h",
                               "dataprocess/radar_command_mode.h", "upgrade/upgrade_interface.h"}) {
        EXPECT_TRUE(fs::is_regular_file(include / header)) << header;
    }
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(include)) {
        if (!entry.is_regular_file()) continue;
        ++count;
        EXPECT_EQ(entry.path().extension(), ".h") << entry.path();
        EXPECT_EQ(entry.path().filename().string().find("_internal.h"), std::string::npos)
            << entry.path();
    }
    EXPECT_GT(count, 100u);
}

TEST_F(InstalledFiles, AssetsLieWhereTheInstalledProgramLooks) {
    ScopedEnv noHome("ORBO_HOME", std::nullopt);
    const std::string image =
        GetAppFolderForProgram(AppFolderKind::Image, m_tree.Path("bin"), false);
    const std::string skin = GetAppFolderForProgram(AppFolderKind::Skin, m_tree.Path("bin"), false);
    EXPECT_EQ(fs::weakly_canonical(image),
              fs::weakly_canonical(m_tree.Path("share/Orbo_Zorvan_Tool/Image")));
    for (const char* picture :
         {"Orbo_Zorvan_Tool.png", "Nobody.png", "Motion.png", "Motionless.png"}) {
        EXPECT_GT(PngSize(fs::path(image) / picture).first, 0u) << picture;
    }
    EXPECT_TRUE(fs::is_directory(skin)) << skin;
    for (const char* language : {"ENG", "CHS"}) {
        const std::string file = skin + "/" + language + "/Download/Download_FW.xml";
        EXPECT_NE(ReadWholeFile(file).find("name=\"DownloadInfoEdit\""), std::string::npos) << file;
    }
}

TEST_F(InstalledFiles, DesktopEntryMetainfoAndIconsAtTheHicolorSizes) {
    const std::string id = "org.orbo.ZorvanTool";
    const std::string desktop = ReadWholeFile(m_tree.Path("share/applications/" + id + ".desktop"));
    EXPECT_NE(desktop.find("\nExec=Orbo_Zorvan_Tool\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=" + id + "\n"), std::string::npos) << desktop;
    const std::string metainfo =
        ReadWholeFile(m_tree.Path("share/metainfo/" + id + ".metainfo.xml"));
    EXPECT_NE(metainfo.find(std::string("<release version=\"") + ORBO_PROJECT_VERSION + "\""),
              std::string::npos);
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"),
              std::string::npos);
    for (uint32_t size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u, 512u}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const auto [width, height] =
            PngSize(m_tree.Path("share/icons/hicolor/" + folder + "/apps/" + id + ".png"));
        EXPECT_EQ(width, size) << folder;
        EXPECT_EQ(height, size) << folder;
    }
    EXPECT_TRUE(
        fs::is_regular_file(m_tree.Path("share/icons/hicolor/scalable/apps/" + id + ".svg")));
}

TEST_F(InstalledFiles, CliManualPageAndCompletionNameEveryCommandAndOption) {
    const std::string cli = m_tree.Path("bin/zorvan-cli");
    const std::string page = ManPage("zorvan-cli");
    const std::vector<std::string> commands = HelpCommands(Run({cli, "--help"}));
    ASSERT_GE(commands.size(), 8u);
    const std::vector<std::string> offered = Completions({"zorvan-cli", ""});
    for (const std::string& command : commands) {
        EXPECT_TRUE(ManPageEntry(page, command)) << command;
        EXPECT_NE(std::find(offered.begin(), offered.end(), command), offered.end()) << command;
        const std::vector<std::string> options = Completions({"zorvan-cli", command, "--"});
        for (const std::string& option : HelpOptions(Run({cli, "help", command}))) {
            EXPECT_NE(page.find(option), std::string::npos) << command << " " << option;
            EXPECT_NE(std::find(options.begin(), options.end(), option), options.end())
                << command << " " << option;
        }
    }
    for (const std::string& option : HelpOptions(Run({cli, "--help"}))) {
        EXPECT_NE(page.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(Completions({"zorvan-cli", "params", ""}),
              (std::vector<std::string>{"get", "set", "reset", "save", "load", "diff"}));
    EXPECT_EQ(Completions({"zorvan-cli", "--lang", ""}), (std::vector<std::string>{"en", "zh"}));
}

// The simulator's and the desktop program's manual pages describe every option their help lists.
TEST_F(InstalledFiles, SimulatorAndToolManualPagesNameEveryOption) {
    struct Case {
        const char* program;
        size_t minimumOptions;
    };
    for (const Case& c : {Case{"zorvan-sim", 20}, Case{"Orbo_Zorvan_Tool", 6}}) {
        SCOPED_TRACE(c.program);
        const std::string page = ManPage(c.program);
        ProcessOptions options;
        options.environment = {{"QT_QPA_PLATFORM", "offscreen"}};
        const ProcessResult help =
            RunProcess({m_tree.Path(std::string("bin/") + c.program), "--help"}, options);
        ASSERT_EQ(help.exitCode, 0) << help.err;
        const std::vector<std::string> named = HelpOptions(help.out);
        EXPECT_GE(named.size(), c.minimumOptions) << help.out;
        for (const std::string& option : named) {
            EXPECT_TRUE(ManPageEntry(page, option)) << option;
        }
    }
}

// Each bridge is named in a comment above its line, and each line gives the port to the user at
// the seat.
TEST_F(InstalledFiles, UdevRuleGivesEachBridgeToTheSeatUser) {
    const std::vector<std::string> lines =
        SplitLines(ReadWholeFile(m_tree.Path("lib/udev/rules.d/70-orbo-zorvan.rules")));
    const std::regex device(
        R"re(^ATTRS\{idVendor\}=="[0-9a-f]{4}", ATTRS\{idProduct\}=="[0-9a-f]{4}", TAG\+="uaccess"$)re");
    size_t devices = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("ATTRS", 0) != 0) continue;
        ++devices;
        EXPECT_TRUE(std::regex_match(lines[i], device)) << lines[i];
        ASSERT_GT(i, 0u);
        EXPECT_EQ(lines[i - 1].rfind("# ", 0), 0u) << "no comment above: " << lines[i];
    }
    EXPECT_GE(devices, 8u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SUBSYSTEM!=\"tty\", GOTO=\"orbo_zorvan_end\""),
              lines.end());
}

}  // namespace
