#include "format_string.h"

#include <cstring>
#include <new>
#include <string>

#include "dbg_output.h"
#include "size_limits.h"
#include "text_format.h"

namespace {

template <typename Char>
Char* FormatValist(int* length, const Char* format, va_list args) {
    if (length != nullptr) *length = 0;
    if (format == nullptr) return nullptr;
    std::basic_string<Char> text;
    if (!FormatTextV(text, format, args)) {
        DbgOutputA(kDbgLevelError, "FormatString: the format cannot be formatted\r\n");
        return nullptr;
    }
    if (text.size() >= kMaxStringChars) {
        DbgOutputA(kDbgLevelError, "FormatString: result of %zu characters is too long\r\n",
                   text.size());
        return nullptr;
    }
    auto* block = new (std::nothrow) Char[text.size() + 1];
    if (block == nullptr) return nullptr;
    std::memcpy(block, text.c_str(), (text.size() + 1) * sizeof(Char));
    if (length != nullptr) *length = static_cast<int>(text.size());
    return block;
}

}  // namespace

char* FormatStringValistA(int* length, const char* format, va_list args) {
    return FormatValist(length, format, args);
}

WCHAR* FormatStringValistW(int* length, const WCHAR* format, va_list args) {
    return FormatValist(length, format, args);
}

char* FormatStringA(int* length, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* text = FormatValist(length, format, args);
    va_end(args);
    return text;
}

WCHAR* FormatStringW(int* length, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    WCHAR* text = FormatValist(length, format, args);
    va_end(args);
    return text;
}

void FreeFormatStringA(char* text) {
    delete[] text;
}
void FreeFormatStringW(WCHAR* text) {
    delete[] text;
}
