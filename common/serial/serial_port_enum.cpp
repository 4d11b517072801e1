#include "serial_port_enum.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "core/dbg_output.h"
#include "core/utf_convert.h"
#include "serial_port_list.h"
#include "serial_port_open.h"
#include "serial_port_table.h"

namespace {

int MatchNarrow(void* entry, void* data) {
    return entry != nullptr &&
           strcmp(static_cast<const char*>(entry), static_cast<const char*>(data)) == 0;
}

int MatchWide(void* entry, void* data) {
    if (entry == nullptr) return 0;
    const auto* a = static_cast<const char16_t*>(entry);
    const auto* b = static_cast<const char16_t*>(data);
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// A malloc'ed zero-terminated copy; null when memory cannot be had.
template <typename Char>
Char* HeapCopy(const std::basic_string<Char>& text) {
    auto* copy = static_cast<Char*>(malloc((text.size() + 1) * sizeof(Char)));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(Char));
    return copy;
}

template <typename Char>
int AppendNew(CPtrCtrl* list, const std::basic_string<Char>& name, PtrCtrlMatchFunc match) {
    if (list->FindFirst(const_cast<Char*>(name.c_str()), match) >= 0) return 0;
    Char* copy = HeapCopy(name);
    if (copy == nullptr) {
        DbgOutputA(kDbgLevelError, "EnumSerialPortName: out of memory\r\n");
        return 0;
    }
    if (list->AddData(copy, -1) < 0) {
        free(copy);
        return 0;
    }
    return 1;
}

void FreeNames(CPtrCtrl* list) {
    if (list == nullptr) return;
    const int count = list->GetCount();
    for (int i = 0; i < count; ++i) free(list->GetAt(i));
    list->DeleteAll();
}

}  // namespace

int EnumSerialPortNameA(CPtrCtrl* list) {
    if (list == nullptr) return 0;
    int added = 0;
    for (const std::string& name : ListSerialPortNames(SystemSerialPortRoots())) {
        SerialPortNumberOf(name);
        added += AppendNew(list, name, MatchNarrow);
    }
    return added;
}

int EnumSerialPortNameW(CPtrCtrl* list) {
    if (list == nullptr) return 0;
    int added = 0;
    for (const std::string& name : ListSerialPortNames(SystemSerialPortRoots())) {
        SerialPortNumberOf(name);
        std::u16string wide;
        if (!Utf8ToUtf16(name, wide)) {
            DbgOutputA(kDbgLevelWarning,
                       "EnumSerialPortNameW: port name is not UTF-8, left out: %s\r\n",
                       name.c_str());
            continue;
        }
        added += AppendNew(list, wide, MatchWide);
    }
    return added;
}

void FreeSerialPortNameA(CPtrCtrl* list) {
    FreeNames(list);
}

void FreeSerialPortNameW(CPtrCtrl* list) {
    FreeNames(list);
}

int IsSerialPortNameExistA(const char* name) {
    if (name == nullptr || name[0] == 0) return 0;
    const std::string path = ResolveSerialPortName(name);
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) ? 1 : 0;
}

int IsSerialPortNameExistW(const WCHAR* name) {
    if (name == nullptr) return 0;
    std::string narrow;
    if (!Utf16ToUtf8(std::u16string_view(name, WideLength(name)), narrow)) return 0;
    return IsSerialPortNameExistA(narrow.c_str());
}
