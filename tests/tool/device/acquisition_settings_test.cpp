#include "device/acquisition_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/xml_parser.h"
#include "core/base_string.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* kHome = "/home/user/zorvan";
constexpr const char* kSaveData = "/home/user/zorvan/SaveData";

struct Document {
    explicit Document(const std::string& xml) {
        parser.LoadFromMemory(xml.data(), xml.size());
        parser.FindRootNode("AppConfig", root);
        parser.SetModified(0);
    }
    std::string Attribute(const char* name) const {
        CBaseStringA text;
        root.GetAttributeText(name, text);
        return text.GetString();
    }
    XMLParser parser;
    XMLNode root;
};

TEST(AcquisitionSettings, DefaultsLieInTheSaveDataFolder) {
    const AcquisitionSettings settings = DefaultAcquisitionSettings(kSaveData);
    EXPECT_EQ(settings.replayFile, "/home/user/zorvan/SaveData/RadarData.dat");
    EXPECT_EQ(settings.saveFolder, kSaveData);
    EXPECT_EQ(settings.replayIntervalMs, 500);
    EXPECT_FALSE(settings.saveData);
}

TEST(AcquisitionSettings, MissingOrEmptyAttributesKeepTheDefaults) {
    for (const char* xml : {"<AppConfig/>",
                            "<AppConfig LastReplayFile=\"\" ReplayInterval=\"\" SaveData=\"\" "
                            "SaveDataPath=\"\"/>"}) {
        SCOPED_TRACE(xml);
        Document doc(xml);
        AcquisitionSettings settings = DefaultAcquisitionSettings(kSaveData);
        LoadAcquisitionSettings(doc.root, kHome, settings);
        EXPECT_EQ(settings.replayFile, "/home/user/zorvan/SaveData/RadarData.dat");
        EXPECT_EQ(settings.saveFolder, kSaveData);
        EXPECT_EQ(settings.replayIntervalMs, 500);
        EXPECT_FALSE(settings.saveData);
    }
}

TEST(AcquisitionSettings, ReadsValuesAndResolvesRelativePathsAgainstTheHome) {
    Document doc(
        "<appconfig lastreplayfile=\"SaveData\\old.dat\" ReplayInterval=\"-20\" SaveData=\"1\" "
        "SaveDataPath=\"/data/records\"/>");
    AcquisitionSettings settings = DefaultAcquisitionSettings(kSaveData);
    LoadAcquisitionSettings(doc.root, kHome, settings);
    EXPECT_EQ(settings.replayFile, "/home/user/zorvan/SaveData/old.dat");
    // Kept as stored; a run counts it as 0.
    EXPECT_EQ(settings.replayIntervalMs, -20);
    EXPECT_TRUE(settings.saveData);
    EXPECT_EQ(settings.saveFolder, "/data/records");
}

TEST(AcquisitionSettings, PathBeyondTheLimitKeepsTheDefault) {
    Document doc("<AppConfig SaveDataPath=\"" + std::string(300, 'x') + "\"/>");
    AcquisitionSettings settings = DefaultAcquisitionSettings(kSaveData);
    LoadAcquisitionSettings(doc.root, kHome, settings);
    EXPECT_EQ(settings.saveFolder, kSaveData);
}

TEST(AcquisitionSettings, SavesPathsInsideTheHomeRelativeAndOthersAsTheyAre) {
    Document doc("<AppConfig/>");
    AcquisitionSettings settings;
    settings.replayFile = "/home/user/zorvan/SaveData/RadarData_2024_05_01_13_45_09.dat";
    settings.replayIntervalMs = 250;
    settings.saveData = true;
    settings.saveFolder = "/mnt/usb/records";
    SaveAcquisitionSettings(doc.root, kHome, settings);
    EXPECT_EQ(doc.Attribute(kKeyLastReplayFile), "SaveData/RadarData_2024_05_01_13_45_09.dat");
    EXPECT_EQ(doc.Attribute(kKeyReplayInterval), "250");
    EXPECT_EQ(doc.Attribute(kKeySaveData), "1");
    EXPECT_EQ(doc.Attribute(kKeySaveDataPath), "/mnt/usb/records");
    EXPECT_TRUE(doc.parser.IsModified());
    const std::string text = doc.parser.SaveToString();
    EXPECT_LT(text.find("LastReplayFile"), text.find("ReplayInterval"));
    EXPECT_LT(text.find("ReplayInterval"), text.find("SaveData="));
    EXPECT_LT(text.find("SaveData="), text.find("SaveDataPath"));

    // Read back, the same settings; written again, nothing changes.
    AcquisitionSettings back = DefaultAcquisitionSettings(kSaveData);
    LoadAcquisitionSettings(doc.root, kHome, back);
    EXPECT_EQ(back.replayFile, settings.replayFile);
    EXPECT_EQ(back.replayIntervalMs, 250);
    EXPECT_TRUE(back.saveData);
    EXPECT_EQ(back.saveFolder, settings.saveFolder);
    doc.parser.SetModified(0);
    SaveAcquisitionSettings(doc.root, kHome, back);
    EXPECT_FALSE(doc.parser.IsModified());
}

TEST(AcquisitionSettings, ToolFoldersFollowTheHome) {
    TempDir dir;
    const std::string home = dir.Path().string();
    ScopedEnv homeFolder("ORBO_HOME", home);  // the tool's folders follow it
    AcquisitionSettings settings = DefaultAcquisitionSettings();
    EXPECT_EQ(settings.saveFolder, home + "/SaveData");
    EXPECT_EQ(settings.replayFile, home + "/SaveData/RadarData.dat");

    Document doc("<AppConfig/>");
    SaveAcquisitionSettings(doc.root, settings);
    EXPECT_EQ(doc.Attribute(kKeyLastReplayFile), "SaveData/RadarData.dat");
    EXPECT_EQ(doc.Attribute(kKeySaveDataPath), "SaveData");

    Document other("<AppConfig LastReplayFile=\"mine/r.dat\" SaveDataPath=\"mine\"/>");
    LoadAcquisitionSettings(other.root, settings);
    EXPECT_EQ(settings.replayFile, home + "/mine/r.dat");
    EXPECT_EQ(settings.saveFolder, home + "/mine");
}

TEST(AcquisitionSettings, RunTakesWhatItsModeUses) {
    AcquisitionSettings settings = DefaultAcquisitionSettings(kSaveData);
    settings.saveData = true;
    settings.replayIntervalMs = 80;
    const AcquisitionRun replay = MakeAcquisitionRun(settings, AcquisitionMode::Replay);
    EXPECT_EQ(replay.mode, AcquisitionMode::Replay);
    EXPECT_EQ(replay.replayFile, settings.replayFile);
    EXPECT_EQ(replay.replayIntervalMs, 80);
    const AcquisitionRun live = MakeAcquisitionRun(settings, AcquisitionMode::Live);
    EXPECT_EQ(live.mode, AcquisitionMode::Live);
    EXPECT_TRUE(live.saveData);
    EXPECT_EQ(live.saveFolder, kSaveData);
}

}  // namespace
