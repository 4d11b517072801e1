#include "date_file_name.h"

#include <cstdio>
#include <random>
#include <string>

#include "path_text.h"

namespace {

template <class C>
using Text = std::basic_string<C>;

template <class C>
Text<C> TextOf(const C* text) {
    return text == nullptr ? Text<C>() : Text<C>(text);
}

template <class C>
Text<C> Widen(const char* ascii) {
    Text<C> out;
    for (; *ascii != '\0'; ++ascii) out.push_back(static_cast<C>(*ascii));
    return out;
}

// Appends the extension with a dot in front unless it has one.
template <class C>
void AppendExtension(Text<C>& name, const C* extension) {
    if (extension[0] != C('.')) name.push_back(C('.'));
    name += extension;
}

template <class C>
int FormatByDateT(C* out, const C* extension, const C* prefix, const C* suffix, int withDate,
                  int withMilliseconds, const LocalDateTime& when) {
    if (out == nullptr) return 0;
    Text<C> name = TextOf(prefix);
    char field[64];
    if (withDate != 0) {
        std::snprintf(field, sizeof(field), "%04d_%02d_%02d_", when.year, when.month, when.day);
        name += Widen<C>(field);
    }
    std::snprintf(field, sizeof(field), "%02d_%02d_%02d", when.hour, when.minute, when.second);
    name += Widen<C>(field);
    if (withMilliseconds != 0) {
        std::snprintf(field, sizeof(field), "_%03d", when.milliseconds);
        name += Widen<C>(field);
    }
    name += TextOf(suffix);
    if (extension != nullptr && extension[0] != C(0)) AppendExtension(name, extension);
    return StorePath(out, name, "GetFileNameByDate") ? 1 : 0;
}

template <class C>
int ByDateT(C* out, const C* extension, const C* prefix, const C* suffix, int withDate,
            int withMilliseconds) {
    if (out == nullptr) return 0;
    LocalDateTime now;
    if (!GetLocalDateTime(now)) {
        out[0] = C(0);
        return 0;
    }
    return FormatByDateT(out, extension, prefix, suffix, withDate, withMilliseconds, now);
}

template <class C>
int ByNumberT(C* out, const C* extension, const C* prefix, uint32_t number) {
    if (out == nullptr) return 0;
    Text<C> name = TextOf(prefix);
    name += Widen<C>(std::to_string(number).c_str());
    if (extension != nullptr) AppendExtension(name, extension);
    return StorePath(out, name, "GetFileNameByNumber") ? 1 : 0;
}

std::mt19937& RandomEngine() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return engine;
}

template <class C>
int ByRandomT(C* out, const C* extension, const C* prefix, int length) {
    if (out == nullptr) return 0;
    if (length > kMaxPathChars) {
        out[0] = C(0);
        return 0;
    }
    Text<C> name = TextOf(prefix);
    std::mt19937& engine = RandomEngine();
    for (int i = 0; i < length; ++i) {
        const uint32_t r1 = engine();
        const uint32_t r2 = engine();
        const uint32_t kind = r2 % 7;
        if (kind <= 2) {
            name.push_back(static_cast<C>('a' + engine() % 26));
        } else if (kind <= 5) {
            name.push_back(static_cast<C>('A' + engine() % 26));
        } else {
            name.push_back(static_cast<C>('0' + r1 % 10));
        }
    }
    if (extension != nullptr) AppendExtension(name, extension);
    return StorePath(out, name, "GetFileNameByRandom") ? 1 : 0;
}

}  // namespace

int GetFileNameByDateA(char* out, const char* extension, const char* prefix, const char* suffix,
                       int /*reserved*/, int withDate, int withMilliseconds) {
    return ByDateT(out, extension, prefix, suffix, withDate, withMilliseconds);
}
int GetFileNameByDateW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix, const WCHAR* suffix,
                       int /*reserved*/, int withDate, int withMilliseconds) {
    return ByDateT(out, extension, prefix, suffix, withDate, withMilliseconds);
}

int FormatFileNameByDateA(char* out, const char* extension, const char* prefix, const char* suffix,
                          int withDate, int withMilliseconds, const LocalDateTime& when) {
    return FormatByDateT(out, extension, prefix, suffix, withDate, withMilliseconds, when);
}
int FormatFileNameByDateW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix,
                          const WCHAR* suffix, int withDate, int withMilliseconds,
                          const LocalDateTime& when) {
    return FormatByDateT(out, extension, prefix, suffix, withDate, withMilliseconds, when);
}

int GetFileNameByNumberA(char* out, const char* extension, const char* prefix, uint32_t number) {
    return ByNumberT(out, extension, prefix, number);
}
int GetFileNameByNumberW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix, uint32_t number) {
    return ByNumberT(out, extension, prefix, number);
}

int GetFileNameByRandomA(char* out, const char* extension, const char* prefix, int length) {
    return ByRandomT(out, extension, prefix, length);
}
int GetFileNameByRandomW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix, int length) {
    return ByRandomT(out, extension, prefix, length);
}
