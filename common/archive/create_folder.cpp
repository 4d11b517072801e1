#include "create_folder.h"

#include "core/dbg_output.h"
#include "core/file_system.h"

bool CreateFolder(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    if (IsDirExistA(path)) return true;
    if (IsFileExistA(path)) {
        DbgOutputA(kDbgLevelWarning, "CreateFolder: %s exists and is not a folder\r\n", path);
        return false;
    }
    return RecursiveCreateDirectoryA(path) == 1;
}
