#include "app/app_config.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "support/comma_locale.h"
#include "support/file_size_limit.h"
#include "support/log_capture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

namespace fs = std::filesystem;

XMLNode RootNode() {
    XMLNode root;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    return root;
}

XMLNode Section(const char* name) {
    XMLNode section;
    RootNode().FindOrAddChild(name, section);
    return section;
}

// Everything but appConfig.xml in the folder.
std::vector<fs::path> OtherFiles(const fs::path& folder) {
    std::vector<fs::path> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != kAppConfigFileName) others.push_back(entry.path());
    }
    return others;
}

// A complete file as a user might have it: CRLF line ends, an encoding declaration, a comment,
// an unknown element, upper-case colour digits.
const char kCompleteFile[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- kept as it is -->\r\n"
    "<AppConfig BaudRate=\"115200\" ReplayInterval=\"500\"   SaveData=\"0\">\r\n"
    "  <ObjectInfo EnergyWaveWnd_ActiveColor=\"0XFF000000\" CurrentDetectTimeMS=\"7.05700\"/>\r\n"
    "  <Unknown keep=\"me\"/>\r\n"
    "</AppConfig>\r\n";

// Runs in a forked child: saves with the default action of SIGXFSZ (end the process) and a file
// size limit, so the child dies at the first write beyond the limit.
void SaveUnderFileSizeLimit(rlim_t limitBytes) {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    rlimit limit{limitBytes, limitBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_DFL);
    SaveAppConfig();
    _exit(0);
}

class AppConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_home.emplace("ORBO_HOME", m_dir.Path().string());
        m_file = m_dir.File(kAppConfigFileName);
    }
    void TearDown() override {
        m_home.reset();
        gAppConfig.Clear();
    }

    // The writes a run does when nothing changed: every attribute gets the value it holds.
    static void WriteSameValues() {
        XMLNode root = RootNode();
        root.SetAttributeInt64("BaudRate", 115200);
        root.SetAttributeInt64("ReplayInterval", 500);
        root.SetAttributeInt64("SaveData", 0);
        XMLNode info = Section("ObjectInfo");
        info.SetAttributeHex32("EnergyWaveWnd_ActiveColor", 0xFF000000u);
        info.SetAttributeDouble("CurrentDetectTimeMS", 7.057, "%.5f");
    }

    TempDir m_dir;
    std::string m_file;
    std::optional<ScopedEnv> m_home;
};

TEST_F(AppConfigTest, FileIsFoundInTheSettingsFolder) {
    EXPECT_EQ(GetAppConfigPath(), m_file);
}

TEST_F(AppConfigTest, NoFileGivesEveryDefaultAndARootAtExit) {
    EXPECT_EQ(LoadAppConfig(), 0);
    EXPECT_EQ(gAppConfig.IsModified(), 1);
    XMLNode root = RootNode();
    ASSERT_EQ(root.IsEmpty(), 0);

    struct IntKey {
        const char* section;  // null: the root
        const char* name;
        int32_t fallback;
    } ints[] = {
        {nullptr, "BaudRate", 115200},
        {nullptr, "ReplayInterval", 500},
        {nullptr, "SaveData", 0},
        {"ObjectInfo", "EnergyWaveWnd_ValueAutoScale", 0},
        {"ObjectInfo", "EnergyWaveWnd_ValueDisplayMax", 100},
        {"ObjectInfo", "EnergyWaveWnd_WaveLineWidth", 5},
        {"ObjectInfo", "DistanceWaveWnd_WaveLineWidth", 5},
    };
    for (const auto& key : ints) {
        XMLNode node = key.section == nullptr ? root : Section(key.section);
        int32_t value = key.fallback;
        EXPECT_EQ(node.GetAttributeInt32(key.name, &value), 0) << key.name;
        EXPECT_EQ(value, key.fallback) << key.name;
    }
    struct ByteKey {
        const char* name;
        uint8_t fallback;
    } bytes[] = {{"ByteSize", 8}, {"ParityMode", 0}, {"StopBits", 0}};
    for (const auto& key : bytes) {
        uint8_t value = key.fallback;
        EXPECT_EQ(root.GetAttributeUInt8(key.name, &value), 0) << key.name;
        EXPECT_EQ(value, key.fallback) << key.name;
    }
    uint32_t colour = 0xFF15BC59u;
    EXPECT_EQ(Section("ObjectInfo").GetAttributeUInt32("DistanceWaveWnd_NobodyColor", &colour), 0);
    EXPECT_EQ(colour, 0xFF15BC59u);
    double current = 9.66;
    EXPECT_EQ(Section("ObjectInfo").GetAttributeDouble("CurrentDetectValueMA", &current), 0);
    EXPECT_EQ(current, 9.66);

    root.SetAttributeInt64("BaudRate", 115200);  // as the main window does when it closes
    ASSERT_EQ(SaveAppConfig(), 1);
    EXPECT_EQ(gAppConfig.IsModified(), 0);
    EXPECT_EQ(ReadWholeFile(m_file),
              "<?xml version=\"1.0\"?>\n<AppConfig BaudRate=\"115200\">\n\t<ObjectInfo />\n"
              "</AppConfig>\n");

    EXPECT_EQ(LoadAppConfig(), 1);
    EXPECT_EQ(gAppConfig.IsModified(), 0);
    int32_t baud = 0;
    EXPECT_EQ(RootNode().GetAttributeInt32("BaudRate", &baud), 1);
    EXPECT_EQ(baud, 115200);
}

TEST_F(AppConfigTest, MissingSettingsFolderIsCreatedOnSave) {
    const std::string nested = (m_dir.Path() / "home" / "deeper").string();
    setenv("ORBO_HOME", nested.c_str(), 1);
    LoadAppConfig();
    ASSERT_EQ(SaveAppConfig(), 1);
    EXPECT_EQ(ReadWholeFile(nested + "/" + kAppConfigFileName),
              "<?xml version=\"1.0\"?>\n<AppConfig />\n");
}

TEST_F(AppConfigTest, UpperCaseRootIsAcceptedAndNotRepaired) {
    WriteWholeFile(m_file, "<APPCONFIG baudrate=\"9600\" BYTESIZE=\"0x108\"/>");
    EXPECT_EQ(LoadAppConfig(), 1);
    EXPECT_EQ(gAppConfig.IsModified(), 0);
    int32_t baud = 0;
    EXPECT_EQ(RootNode().GetAttributeInt32("BaudRate", &baud), 1);
    EXPECT_EQ(baud, 9600);
    uint8_t byteSize = 0;
    EXPECT_EQ(RootNode().GetAttributeUInt8("ByteSize", &byteSize), 1);
    EXPECT_EQ(byteSize, 8);
}

TEST_F(AppConfigTest, UnchangedRunLeavesTheFileUntouched) {
    WriteWholeFile(m_file, kCompleteFile);
    struct stat before {};
    ASSERT_EQ(stat(m_file.c_str(), &before), 0);

    ASSERT_EQ(LoadAppConfig(), 1);
    WriteSameValues();
    EXPECT_EQ(gAppConfig.IsModified(), 0);
    EXPECT_EQ(SaveAppConfig(), 1);

    struct stat after {};
    ASSERT_EQ(stat(m_file.c_str(), &after), 0);
    EXPECT_EQ(ReadWholeFile(m_file), kCompleteFile);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(AppConfigTest, ChangedRunRewritesKeepingUnknownContent) {
    WriteWholeFile(m_file, kCompleteFile);
    ASSERT_EQ(LoadAppConfig(), 1);
    WriteSameValues();
    RootNode().SetAttributeInt64("BaudRate", 256000);
    ASSERT_EQ(SaveAppConfig(), 1);
    EXPECT_EQ(ReadWholeFile(m_file),
              "<?xml version=\"1.0\"?>\n"
              "<AppConfig BaudRate=\"256000\" ReplayInterval=\"500\" SaveData=\"0\">\n"
              "\t<ObjectInfo EnergyWaveWnd_ActiveColor=\"0XFF000000\" "
              "CurrentDetectTimeMS=\"7.05700\" />\n"
              "\t<Unknown keep=\"me\" />\n"
              "</AppConfig>\n");
    EXPECT_TRUE(OtherFiles(m_dir.Path()).empty());
}

TEST_F(AppConfigTest, MalformedFileIsRepairedAtExit) {
    WriteWholeFile(m_file, "this is not xml");
    EXPECT_EQ(LoadAppConfig(), 1);
    EXPECT_EQ(gAppConfig.IsModified(), 1);
    ASSERT_EQ(SaveAppConfig(), 1);
    EXPECT_EQ(ReadWholeFile(m_file), "<?xml version=\"1.0\"?>\n<AppConfig />\n");
}

TEST_F(AppConfigTest, FailedWriteKeepsTheOldFileAndIsLogged) {
    WriteWholeFile(m_file, kCompleteFile);
    ASSERT_EQ(LoadAppConfig(), 1);
    RootNode().SetAttributeText("LastReplayFile", std::string(200, 'x').c_str());
    LogCapture errorLog({.level = kDbgLevelError});

    // A file size limit below the new content makes the write fail part-way (EFBIG), as a full
    // disk would.
    int saved = -1;
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.Active());
        saved = SaveAppConfig();
    }
    const std::vector<std::string> errors = errorLog.Texts();

    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadWholeFile(m_file), kCompleteFile);
    EXPECT_TRUE(OtherFiles(m_dir.Path()).empty());
    EXPECT_EQ(gAppConfig.IsModified(), 1);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().find("SaveAppConfig"), std::string::npos) << errors.back();
    EXPECT_NE(errors.back().find(m_file), std::string::npos) << errors.back();

    // Once the disk has room again, the next save goes through.
    ASSERT_EQ(SaveAppConfig(), 1);
    EXPECT_NE(ReadWholeFile(m_file).find(std::string(200, 'x')), std::string::npos);
}

TEST_F(AppConfigTest, ProcessKilledDuringSaveLeavesTheOldFile) {
    GTEST_FLAG_SET(death_test_style, "fast");
    WriteWholeFile(m_file, kCompleteFile);
    ASSERT_EQ(LoadAppConfig(), 1);
    RootNode().SetAttributeText("LastReplayFile", std::string(4000, 'y').c_str());
    constexpr rlim_t kLimit = 100;

    // The child dies by SIGXFSZ at the first write beyond the limit: in the middle of the save.
    EXPECT_EXIT(SaveUnderFileSizeLimit(kLimit), ::testing::KilledBySignal(SIGXFSZ), "");

    EXPECT_EQ(ReadWholeFile(m_file), kCompleteFile);
    // The save was cut part-way: what it had written is a partial temporary file beside it.
    const auto others = OtherFiles(m_dir.Path());
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(fs::file_size(others[0]), kLimit);

    // The next run reads the old settings.
    ASSERT_EQ(LoadAppConfig(), 1);
    int32_t baud = 0;
    RootNode().GetAttributeInt32("BaudRate", &baud);
    EXPECT_EQ(baud, 115200);
}

TEST_F(AppConfigTest, DecimalCommaLocaleChangesNothingInTheFile) {
    ScopedCommaLocale locale;
    if (!locale.Available()) GTEST_SKIP() << locale.Reason();
    WriteWholeFile(m_file, kCompleteFile);
    ASSERT_EQ(LoadAppConfig(), 1);
    WriteSameValues();
    EXPECT_EQ(gAppConfig.IsModified(), 0);
    double value = 0;
    ASSERT_EQ(Section("ObjectInfo").GetAttributeDouble("CurrentDetectTimeMS", &value), 1);
    EXPECT_DOUBLE_EQ(value, 7.057);
    Section("ObjectInfo").SetAttributeDouble("CurrentReportValueMA", 2.03, "%.5f");
    ASSERT_EQ(SaveAppConfig(), 1);
    const std::string written = ReadWholeFile(m_file);
    EXPECT_NE(written.find("CurrentReportValueMA=\"2.03000\""), std::string::npos) << written;
    EXPECT_EQ(written.find(','), std::string::npos) << written;
}

}  // namespace
