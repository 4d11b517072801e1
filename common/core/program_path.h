// Where a program lives and where the tool keeps its files.
//
// GetProgramPath and GetProgramName read /proc/<pid>/exe. GetAppFolder is the one place that
// decides where the tool's own files go (settings, logs, recordings, firmware images, pictures,
// skins), so that a build tree, a portable copy and an installed program all work:
//   1. the folder named by the environment variable ORBO_HOME, when it is set and not empty;
//   2. else the program folder, when the current user may write to it;
//   3. else, for the settings, $XDG_CONFIG_HOME/Orbo_Zorvan_Tool (default ~/.config/...);
//      for the writable folders, $XDG_DATA_HOME/Orbo_Zorvan_Tool/<name> (default
//      ~/.local/share/...); for the read-only assets, <install prefix>/share/Orbo_Zorvan_Tool/
//      <name>, the install prefix being the parent of the program folder.
// Folders are returned without a trailing separator and are not created here (writers create
// them with RecursiveCreateDirectory). Results are limited to kMaxPathChars units; a longer
// result is refused. All functions are reentrant and may be called from any thread (GetAppFolder
// reads the environment, which the caller must not change concurrently).
#pragma once

#include <cstdint>
#include <string>

#include "core/common_api.h"
#include "platform_types.h"

// The full path of the program file of process `processId` as the file system has it (bytes).
// False when the process does not exist or may not be queried (another user's process).
ORBO_COMMON_API bool ReadProgramFile(uint32_t processId, std::string& path);

// out := the folder of the program file of process `processId`, without a trailing separator
// (the root folder is "/"). 0 when the process cannot be queried, its path is not well-formed
// for the width (W: not UTF-8) or does not fit; else 1.
ORBO_COMMON_API int GetProgramPathA(uint32_t processId, char* out);
ORBO_COMMON_API int GetProgramPathW(uint32_t processId, WCHAR* out);

// out := the program file's full path when fullPath is set, else its file name. 0 on failure.
ORBO_COMMON_API int GetProgramNameA(uint32_t processId, int fullPath, char* out);
ORBO_COMMON_API int GetProgramNameW(uint32_t processId, int fullPath, WCHAR* out);

enum class AppFolderKind {
    Settings,       // holds appConfig.xml (the home folder itself)
    Log,            // "Log", one log file per run
    SaveData,       // "SaveData", recordings
    FirmwareImage,  // "FW_Image", fetched firmware archives and images
    Image,          // "Image", state pictures (read-only asset)
    Skin,           // "Skin", window skins (read-only asset)
};

// The folder for the kind, as UTF-8 without a trailing separator; empty when none can be found
// (no program path and no home folder) or it does not fit the limit.
ORBO_COMMON_API std::string GetAppFolder(AppFolderKind kind);

// The decision of GetAppFolder for a given program folder (empty: unknown) and whether it may
// be written; GetAppFolder passes this process's program folder.
ORBO_COMMON_API std::string GetAppFolderForProgram(AppFolderKind kind,
                                                   const std::string& programFolder,
                                                   bool programFolderWritable);

// The same into a caller's buffer of kMaxPathChars + 1 units; 1 on success, 0 otherwise.
ORBO_COMMON_API int GetAppFolderA(AppFolderKind kind, char* out);
ORBO_COMMON_API int GetAppFolderW(AppFolderKind kind, WCHAR* out);

// The name of the kind's subfolder ("Log", ...); empty for Settings.
ORBO_COMMON_API const char* GetAppFolderName(AppFolderKind kind);
