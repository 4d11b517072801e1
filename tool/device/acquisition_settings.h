// The acquisition settings of the target page, kept as attributes of the settings document's root
// element "AppConfig":
//   "LastReplayFile"  the file replayed last          default <SaveData folder>/RadarData.dat
//   "ReplayInterval"  ms between replayed reports      default 500 ("%d")
//   "SaveData"        1 = record live runs             default 0 ("%d")
//   "SaveDataPath"    the folder for recordings        default the SaveData folder
// Paths inside the tool's home folder are stored relative to it and made absolute again when
// read; paths elsewhere are stored as they are.
//
// The values are taken as stored: a negative "ReplayInterval" is kept (and written back as it
// was) and counts as 0 only when a run uses it (EffectiveReplayInterval).
//
// Window thread (zorvan-cli: its main thread), like the document.
#pragma once

#include <string>

#include "device/acquisition_engine.h"

class XMLNode;

constexpr const char* kKeyLastReplayFile = "LastReplayFile";
constexpr const char* kKeyReplayInterval = "ReplayInterval";
constexpr const char* kKeySaveData = "SaveData";
constexpr const char* kKeySaveDataPath = "SaveDataPath";
constexpr int kDefaultReplayIntervalMs = 500;
constexpr const char* kDefaultReplayFileName = "RadarData.dat";

struct AcquisitionSettings {
    std::string replayFile;  // absolute
    int replayIntervalMs = kDefaultReplayIntervalMs;
    bool saveData = false;
    std::string saveFolder;  // absolute
};

// The defaults, given the folder for recordings (for the tool
// GetAppFolder(AppFolderKind::SaveData); the home folder of the loaders is
// GetAppFolder(AppFolderKind::Settings)).
AcquisitionSettings DefaultAcquisitionSettings(const std::string& saveDataFolder);

// Reads the four attributes of `root` into `settings`; missing or empty ones, and paths that
// cannot be made absolute within the path limit (logged at level 3), leave what `settings`
// holds. `homeFolder` is what relative paths are resolved against.
void LoadAcquisitionSettings(const XMLNode& root, const std::string& homeFolder,
                             AcquisitionSettings& settings);

// Writes the four attributes in the order above (unchanged values leave the document
// unmodified).
void SaveAcquisitionSettings(XMLNode& root, const std::string& homeFolder,
                             const AcquisitionSettings& settings);

// The same for the tool's own folders: recordings in GetAppFolder(AppFolderKind::SaveData),
// relative paths against GetAppFolder(AppFolderKind::Settings), the folder of appConfig.xml.
AcquisitionSettings DefaultAcquisitionSettings();
void LoadAcquisitionSettings(const XMLNode& root, AcquisitionSettings& settings);
void SaveAcquisitionSettings(XMLNode& root, const AcquisitionSettings& settings);

// What a run of the given mode takes from the settings.
AcquisitionRun MakeAcquisitionRun(const AcquisitionSettings& settings, AcquisitionMode mode);
