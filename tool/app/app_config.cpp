#include "app/app_config.h"

#include <cstdint>

#include "core/dbg_output.h"
#include "core/file_data.h"
#include "core/file_system.h"
#include "core/path_name.h"
#include "core/program_path.h"
#include "core/size_limits.h"

XMLParser gAppConfig;

std::string GetAppConfigPath() {
    const std::string folder = GetAppFolder(AppFolderKind::Settings);
    if (folder.empty()) return {};
    char path[kMaxPathChars + 1];
    if (!CombinePathNameA(path, folder.c_str(), kAppConfigFileName)) return {};
    return path;
}

int LoadAppConfig() {
    gAppConfig.Clear();
    int read = 0;
    const std::string path = GetAppConfigPath();
    if (!path.empty()) {
        uint8_t* data = nullptr;
        const int64_t size = ReadFileDataA(path.c_str(), &data);
        if (size > 0 && data != nullptr) {
            gAppConfig.LoadFromMemory(data, static_cast<size_t>(size));
            read = 1;
        }
        ReleaseFileData(data);
    }
    XMLNode root;
    if (!gAppConfig.FindRootNode(kAppConfigRootName, root)) {
        gAppConfig.GetDocumentNode().FindOrAddChild(kAppConfigRootName, root);
    }
    return read;
}

int SaveAppConfig() {
    if (!gAppConfig.IsModified()) return 1;
    const std::string path = GetAppConfigPath();
    if (path.empty()) {
        DbgOutputA(kDbgLevelError,
                   "SaveAppConfig: no settings folder (set ORBO_HOME); settings not saved\r\n");
        return 0;
    }
    const std::string folder = GetAppFolder(AppFolderKind::Settings);
    RecursiveCreateDirectoryA(folder.c_str());
    const std::string bytes = gAppConfig.SaveToString();
    if (!WriteFileDataA(path.c_str(), bytes.data(), bytes.size(), 0)) {
        DbgOutputA(kDbgLevelError,
                   "SaveAppConfig: writing %s failed; the previous file is kept unchanged\r\n",
                   path.c_str());
        return 0;
    }
    gAppConfig.SetModified(0);
    return 1;
}
