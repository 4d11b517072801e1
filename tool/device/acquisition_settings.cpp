#include "device/acquisition_settings.h"

#include "app/xml_parser.h"
#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/path_name.h"
#include "core/program_path.h"
#include "core/size_limits.h"

namespace {

// path := the attribute made absolute against the home folder; false when it is missing, empty
// or does not fit.
bool ReadPath(const XMLNode& root, const char* key, const std::string& homeFolder,
              std::string& path) {
    CBaseStringA text;
    root.GetAttributeText(key, text);
    if (text.GetLength() == 0) return false;
    char absolute[kMaxPathChars + 1];
    if (GetFileAbsolutePathA(absolute, text.GetString(), homeFolder.c_str()) < 0) {
        DbgOutputA(kDbgLevelWarning, "Setting %s=\"%s\" ignored: the path is too long\r\n", key,
                   text.GetString());
        return false;
    }
    path = absolute;
    return true;
}

void WritePath(XMLNode& root, const char* key, const std::string& homeFolder,
               const std::string& path) {
    const char* relative =
        homeFolder.empty() ? path.c_str() : GetFileRelativePathA(path.c_str(), homeFolder.c_str());
    root.SetAttributeText(key, relative);
}

}  // namespace

AcquisitionSettings DefaultAcquisitionSettings(const std::string& saveDataFolder) {
    AcquisitionSettings settings;
    settings.saveFolder = saveDataFolder;
    char replayFile[kMaxPathChars + 1];
    if (CombinePathNameA(replayFile, saveDataFolder.c_str(), kDefaultReplayFileName)) {
        settings.replayFile = replayFile;
    }
    return settings;
}

void LoadAcquisitionSettings(const XMLNode& root, const std::string& homeFolder,
                             AcquisitionSettings& settings) {
    ReadPath(root, kKeyLastReplayFile, homeFolder, settings.replayFile);
    int32_t interval = settings.replayIntervalMs;
    if (root.GetAttributeInt32(kKeyReplayInterval, &interval)) settings.replayIntervalMs = interval;
    int32_t saveData = settings.saveData ? 1 : 0;
    if (root.GetAttributeInt32(kKeySaveData, &saveData)) settings.saveData = saveData != 0;
    ReadPath(root, kKeySaveDataPath, homeFolder, settings.saveFolder);
}

void SaveAcquisitionSettings(XMLNode& root, const std::string& homeFolder,
                             const AcquisitionSettings& settings) {
    WritePath(root, kKeyLastReplayFile, homeFolder, settings.replayFile);
    root.SetAttributeInt64(kKeyReplayInterval, settings.replayIntervalMs);
    root.SetAttributeInt64(kKeySaveData, settings.saveData ? 1 : 0);
    WritePath(root, kKeySaveDataPath, homeFolder, settings.saveFolder);
}

AcquisitionSettings DefaultAcquisitionSettings() {
    return DefaultAcquisitionSettings(GetAppFolder(AppFolderKind::SaveData));
}

void LoadAcquisitionSettings(const XMLNode& root, AcquisitionSettings& settings) {
    LoadAcquisitionSettings(root, GetAppFolder(AppFolderKind::Settings), settings);
}

void SaveAcquisitionSettings(XMLNode& root, const AcquisitionSettings& settings) {
    SaveAcquisitionSettings(root, GetAppFolder(AppFolderKind::Settings), settings);
}

AcquisitionRun MakeAcquisitionRun(const AcquisitionSettings& settings, AcquisitionMode mode) {
    AcquisitionRun run;
    run.mode = mode;
    run.replayFile = settings.replayFile;
    run.replayIntervalMs = settings.replayIntervalMs;
    run.saveData = settings.saveData;
    run.saveFolder = settings.saveFolder;
    return run;
}
