#include "folder_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "dbg_output.h"
#include "path_name.h"
#include "path_text.h"
#include "ptr_ctrl.h"
#include "utf_convert.h"

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

DirHandle OpenFolder(const std::string& path) {
    return DirHandle(opendir(path.c_str()));
}

bool IsHidden(const char* name) {
    return name[0] == '.';
}

bool IsDotEntry(const char* name) {
    return name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool IsFolderEntry(DIR* dir, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
    struct stat info {};
    return fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

template <class C>
C FoldAsciiCase(C c) {
    return c >= C('A') && c <= C('Z') ? static_cast<C>(c - C('A') + C('a')) : c;
}

template <class C>
bool EqualIgnoringAsciiCase(std::basic_string_view<C> a, std::basic_string_view<C> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    }
    return true;
}

// Whether the name's extension is one of the ';'-separated items of the list.
template <class C>
bool ExtensionListed(std::basic_string_view<C> name, std::basic_string_view<C> list) {
    const size_t dot = name.rfind(C('.'));
    if (dot == std::basic_string_view<C>::npos) return false;
    const std::basic_string_view<C> extension = name.substr(dot);
    while (true) {
        const size_t end = list.find(C(';'));
        if (EqualIgnoringAsciiCase(list.substr(0, end), extension)) return true;
        if (end == std::basic_string_view<C>::npos) return false;
        list.remove_prefix(end + 1);
    }
}

template <class C>
C* NewText(const std::basic_string<C>& text) {
    auto* copy = static_cast<C*>(std::malloc((text.size() + 1) * sizeof(C)));
    if (copy != nullptr) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(C));
    return copy;
}

int Combine(char* out, const char* folder, const char* name) {
    return CombinePathNameA(out, folder, name);
}
int Combine(WCHAR* out, const WCHAR* folder, const WCHAR* name) {
    return CombinePathNameW(out, folder, name);
}

template <class C>
void FreeListT(CPtrCtrl* list) {
    if (list == nullptr) return;
    const int count = list->GetCount();
    for (int i = 0; i < count; ++i) std::free(list->GetAt(i));
    list->DeleteAll();
}

template <class C>
int ListT(const C* folder, CPtrCtrl* folders, CPtrCtrl* files, const C* extensions,
          int includeHidden, int fullPath) {
    // What the containers held belongs to the caller: they are emptied, never freed here.
    if (folders != nullptr) folders->DeleteAll();
    if (files != nullptr) files->DeleteAll();
    std::string systemFolder;
    if (folder == nullptr || !ToSystemPath(folder, systemFolder, "GetLocalFolderFileList")) {
        return 0;
    }
    DirHandle dir = OpenFolder(systemFolder.empty() ? std::string(".") : systemFolder);
    if (!dir) {
        DbgOutputA(kDbgLevelWarning, "GetLocalFolderFileList: cannot read %s\r\n",
                   systemFolder.c_str());
        return 0;
    }
    const std::basic_string_view<C> extensionList =
        extensions == nullptr ? std::basic_string_view<C>() : std::basic_string_view<C>(extensions);
    while (const dirent* entry = readdir(dir.get())) {
        const char* rawName = entry->d_name;
        if (IsDotEntry(rawName) || (includeHidden == 0 && IsHidden(rawName))) continue;
        const bool isFolder = IsFolderEntry(dir.get(), entry);
        CPtrCtrl* target = isFolder ? folders : files;
        if (target == nullptr) continue;
        std::basic_string<C> name;
        if (!FromSystemPath(rawName, name)) {
            DbgOutputA(kDbgLevelWarning,
                       "GetLocalFolderFileList: skipping a name that is not "
                       "UTF-8 in %s\r\n",
                       systemFolder.c_str());
            continue;
        }
        if (!isFolder && !extensionList.empty() && !ExtensionListed<C>(name, extensionList)) {
            continue;
        }
        if (fullPath != 0) {
            C joined[kMaxPathChars + 1];
            if (Combine(joined, folder, name.c_str()) == 0) continue;
            name = joined;
        }
        C* text = NewText(name);
        if (text == nullptr || target->AddData(text) < 0) std::free(text);
    }
    return 1;
}

template <class C>
int FindT(const C* folder, const C* name, int includeHidden) {
    std::string systemFolder, wanted;
    if (folder == nullptr || name == nullptr ||
        !ToSystemPath(folder, systemFolder, "FindFileInFolder")) {
        return 0;
    }
    if constexpr (std::is_same_v<C, char>) {
        wanted = name;
    } else if (!Utf16ToUtf8(std::u16string_view(name), wanted)) {
        return 0;
    }
    if (wanted.empty() || (includeHidden == 0 && IsHidden(wanted.c_str()))) return 0;
    DirHandle dir = OpenFolder(systemFolder.empty() ? std::string(".") : systemFolder);
    if (!dir) return 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (wanted == entry->d_name) return 1;
    }
    return 0;
}

}  // namespace

int GetLocalFolderFileListA(const char* folder, CPtrCtrl* folders, CPtrCtrl* files,
                            const char* extensions, int includeHidden, int fullPath) {
    return ListT(folder, folders, files, extensions, includeHidden, fullPath);
}
int GetLocalFolderFileListW(const WCHAR* folder, CPtrCtrl* folders, CPtrCtrl* files,
                            const WCHAR* extensions, int includeHidden, int fullPath) {
    return ListT(folder, folders, files, extensions, includeHidden, fullPath);
}

void FreeFileListA(CPtrCtrl* list) {
    FreeListT<char>(list);
}
void FreeFileListW(CPtrCtrl* list) {
    FreeListT<WCHAR>(list);
}

int FindFileInFolderA(const char* folder, const char* name, int includeHidden) {
    return FindT(folder, name, includeHidden);
}
int FindFileInFolderW(const WCHAR* folder, const WCHAR* name, int includeHidden) {
    return FindT(folder, name, includeHidden);
}
