#include "archive_paths_internal.h"

#include <unistd.h>

#include <climits>

#include "core/dbg_output.h"
#include "core/path_name.h"
#include "core/size_limits.h"

std::string AbsoluteFromWorkingFolder(const char* path, const char* operation) {
    if (path == nullptr || path[0] == '\0') return std::string();
    char workingFolder[PATH_MAX];
    if (getcwd(workingFolder, sizeof(workingFolder)) == nullptr) workingFolder[0] = '\0';
    char absolute[kMaxPathChars + 1];
    const int made = GetFileAbsolutePathA(absolute, path, workingFolder);
    if (made < 0 || (made == 1 && workingFolder[0] == '\0')) {
        DbgOutputA(kDbgLevelWarning, "%s: %s cannot be made an absolute path\r\n", operation, path);
        return std::string();
    }
    return absolute;
}
