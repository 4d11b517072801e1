#include "program_path.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dbg_output.h"
#include "path_text.h"

namespace {

constexpr const char* kAppDirName = "Orbo_Zorvan_Tool";

std::string ParentFolder(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return std::string();
    return cut == 0 ? std::string("/") : path.substr(0, cut);
}

std::string Join(const std::string& folder, const char* name) {
    if (name == nullptr || *name == '\0') return folder;
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + '/' + name;
}

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return std::string();
    return value;
}

std::string UserHome() {
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty()) return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return std::string();
}

// $<variable>, or ~/<fallback> when it is unset or not absolute (the XDG rule).
std::string XdgFolder(const char* variable, const char* fallback) {
    std::string folder = AbsoluteEnv(variable);
    if (!folder.empty()) return folder;
    const std::string home = UserHome();
    return home.empty() ? std::string() : Join(home, fallback);
}

bool IsAsset(AppFolderKind kind) {
    return kind == AppFolderKind::Image || kind == AppFolderKind::Skin;
}

std::string HomeFolder(AppFolderKind kind, const std::string& programFolder, bool writable) {
    const char* home = std::getenv("ORBO_HOME");
    if (home != nullptr && home[0] != '\0') return NormalizedPath(home);
    if (!programFolder.empty()) {
        if (writable) return programFolder;
        if (IsAsset(kind)) return Join(Join(ParentFolder(programFolder), "share"), kAppDirName);
    }
    if (kind == AppFolderKind::Settings) {
        const std::string config = XdgFolder("XDG_CONFIG_HOME", ".config");
        return config.empty() ? std::string() : Join(config, kAppDirName);
    }
    if (IsAsset(kind)) return std::string();
    const std::string data = XdgFolder("XDG_DATA_HOME", ".local/share");
    return data.empty() ? std::string() : Join(data, kAppDirName);
}

template <class C>
int ProgramPathT(uint32_t processId, int fullPath, C* out, const char* operation) {
    if (out == nullptr) return 0;
    out[0] = C(0);
    std::string program;
    if (!ReadProgramFile(processId, program)) return 0;
    const size_t cut = program.find_last_of('/');
    std::string wanted;
    if (fullPath < 0) {
        wanted = ParentFolder(program);
    } else {
        wanted = fullPath != 0 ? program : program.substr(cut + 1);
    }
    std::basic_string<C> text;
    if (!FromSystemPath(wanted, text)) {
        DbgOutputA(kDbgLevelWarning, "%s: program path of pid %u is not valid UTF-8\r\n", operation,
                   processId);
        return 0;
    }
    return StorePath(out, text, operation) ? 1 : 0;
}

template <class C>
int GetAppFolderT(AppFolderKind kind, C* out) {
    if (out == nullptr) return 0;
    out[0] = C(0);
    const std::string folder = GetAppFolder(kind);
    std::basic_string<C> text;
    if (folder.empty() || !FromSystemPath(folder, text)) return 0;
    return StorePath(out, text, "GetAppFolder") ? 1 : 0;
}

}  // namespace

bool ReadProgramFile(uint32_t processId, std::string& path) {
    path.clear();
    const std::string link = "/proc/" + std::to_string(processId) + "/exe";
    std::vector<char> buffer(4096);
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return false;
    path.assign(buffer.data(), static_cast<size_t>(n));
    // A program file replaced while it runs (a rebuild) is reported with this suffix.
    static constexpr std::string_view kDeleted = " (deleted)";
    struct stat info {};
    if (path.ends_with(kDeleted) && lstat(path.c_str(), &info) != 0) {
        path.resize(path.size() - kDeleted.size());
    }
    return path[0] == '/';
}

int GetProgramPathA(uint32_t processId, char* out) {
    return ProgramPathT(processId, -1, out, "GetProgramPath");
}
int GetProgramPathW(uint32_t processId, WCHAR* out) {
    return ProgramPathT(processId, -1, out, "GetProgramPath");
}

int GetProgramNameA(uint32_t processId, int fullPath, char* out) {
    return ProgramPathT(processId, fullPath != 0 ? 1 : 0, out, "GetProgramName");
}
int GetProgramNameW(uint32_t processId, int fullPath, WCHAR* out) {
    return ProgramPathT(processId, fullPath != 0 ? 1 : 0, out, "GetProgramName");
}

const char* GetAppFolderName(AppFolderKind kind) {
    switch (kind) {
        case AppFolderKind::Settings:
            return "";
        case AppFolderKind::Log:
            return "Log";
        case AppFolderKind::SaveData:
            return "SaveData";
        case AppFolderKind::FirmwareImage:
            return "FW_Image";
        case AppFolderKind::Image:
            return "Image";
        case AppFolderKind::Skin:
            return "Skin";
    }
    return "";
}

std::string GetAppFolderForProgram(AppFolderKind kind, const std::string& programFolder,
                                   bool programFolderWritable) {
    const std::string home = HomeFolder(kind, programFolder, programFolderWritable);
    if (home.empty()) {
        DbgOutputA(kDbgLevelWarning, "GetAppFolder: no program folder and no home folder\r\n");
        return std::string();
    }
    std::string folder = Join(home, GetAppFolderName(kind));
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.size() > static_cast<size_t>(kMaxPathChars)) {
        DbgOutputA(kDbgLevelWarning, "GetAppFolder: %s exceeds the limit of %d characters\r\n",
                   folder.c_str(), kMaxPathChars);
        return std::string();
    }
    return folder;
}

std::string GetAppFolder(AppFolderKind kind) {
    std::string program;
    std::string folder;
    if (ReadProgramFile(static_cast<uint32_t>(getpid()), program)) folder = ParentFolder(program);
    const bool writable = !folder.empty() && access(folder.c_str(), W_OK) == 0;
    return GetAppFolderForProgram(kind, folder, writable);
}

int GetAppFolderA(AppFolderKind kind, char* out) {
    return GetAppFolderT(kind, out);
}
int GetAppFolderW(AppFolderKind kind, WCHAR* out) {
    return GetAppFolderT(kind, out);
}
