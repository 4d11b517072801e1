#include "number_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "base_string.h"
#include "dbg_output.h"
#include "ptr_array_ctrl.h"
#include "text_chars_internal.h"
#include "text_format.h"
#include "text_split.h"
#include "value_text.h"

using namespace orbo_text;

namespace {

enum class ArgKind { Invalid, Int32, Int64, Double };

template <typename Char>
bool IsIn(Char ch, const char* set) {
    const auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(ch));
    return code != 0 && code < 128 && std::strchr(set, static_cast<char>(code)) != nullptr;
}

// What the single numeric conversion of the format expects; Invalid for anything else.
template <typename Char>
ArgKind InspectFormat(const Char* format) {
    if (format == nullptr) return ArgKind::Invalid;
    ArgKind kind = ArgKind::Invalid;
    int conversions = 0;
    for (const Char* p = format; *p != Char(0); ++p) {
        if (*p != Char('%')) continue;
        ++p;
        if (*p == Char('%')) continue;
        while (IsIn(*p, "-+ #0'")) ++p;
        while (*p >= Char('0') && *p <= Char('9')) ++p;
        if (*p == Char('.')) {
            ++p;
            while (*p >= Char('0') && *p <= Char('9')) ++p;
        }
        bool wide = false;
        if (*p == Char('h')) {
            p += p[1] == Char('h') ? 2 : 1;
        } else if (*p == Char('l')) {
            p += p[1] == Char('l') ? 2 : 1;
            wide = true;
        } else if (IsIn(*p, "jzt")) {
            ++p;
            wide = true;
        } else if (*p == Char('I')) {
            if (p[1] == Char('6') && p[2] == Char('4')) {
                p += 3;
                wide = true;
            } else if (p[1] == Char('3') && p[2] == Char('2')) {
                p += 3;
            } else {
                ++p;
                wide = true;  // pointer-sized on a 64-bit platform
            }
        }
        if (IsIn(*p, "diouxXc")) {
            kind = wide ? ArgKind::Int64 : ArgKind::Int32;
        } else if (IsIn(*p, "eEfFgGaA")) {
            kind = ArgKind::Double;
        } else {
            return ArgKind::Invalid;
        }
        if (++conversions > 1) return ArgKind::Invalid;
    }
    return conversions == 1 ? kind : ArgKind::Invalid;
}

// A typed value read through an untyped pointer, in its type's width.
struct TypedValue {
    bool isFloat = false;
    int64_t integer = 0;  // signed types sign-extended, unsigned ones zero-extended
    double real = 0;
};

TypedValue ReadValue(int type, const void* at) {
    TypedValue v;
    const auto* p = static_cast<const uint8_t*>(at);
    auto read = [p](auto sample) {
        std::memcpy(&sample, p, sizeof sample);
        return sample;
    };
    switch (type) {
        case kValueTypeUInt8:
            v.integer = read(uint8_t{});
            break;
        case kValueTypeInt8:
            v.integer = read(int8_t{});
            break;
        case kValueTypeInt32:
            v.integer = read(int32_t{});
            break;
        case kValueTypeInt16:
            v.integer = read(int16_t{});
            break;
        case kValueTypeUInt16:
            v.integer = read(uint16_t{});
            break;
        case kValueTypeUInt32:
        case kValueTypeUInt32B:
            v.integer = read(uint32_t{});
            break;
        case kValueTypeInt64:
        case kValueTypeUInt64:
            v.integer = read(int64_t{});
            break;
        case kValueTypeFloat:
            v.isFloat = true;
            v.real = read(float{});
            break;
        default:
            v.isFloat = true;
            v.real = read(double{});
            break;
    }
    return v;
}

// The value as the format's conversion expects it. Floating values given to an integer
// conversion are truncated (saturating), integers given to a floating one are converted.
template <typename Char>
bool FormatValue(std::basic_string<Char>& text, const Char* format, ArgKind kind, int type,
                 const TypedValue& v) {
    switch (kind) {
        case ArgKind::Double: {
            const double real = v.isFloat ? v.real
                                : type == kValueTypeUInt64
                                    ? static_cast<double>(static_cast<uint64_t>(v.integer))
                                    : static_cast<double>(v.integer);
            return FormatText(text, format, real);
        }
        case ArgKind::Int64: {
            long long integer = v.integer;
            if (v.isFloat) {
                integer = std::isnan(v.real)                 ? 0
                          : v.real >= 9.2233720368547758e18  ? INT64_MAX
                          : v.real <= -9.2233720368547758e18 ? INT64_MIN
                                                             : static_cast<long long>(v.real);
            }
            return FormatText(text, format, integer);
        }
        case ArgKind::Int32: {
            int64_t integer = v.integer;
            if (v.isFloat) {
                integer = std::isnan(v.real)        ? 0
                          : v.real >= 2147483647.0  ? INT32_MAX
                          : v.real <= -2147483648.0 ? INT32_MIN
                                                    : static_cast<int64_t>(v.real);
            }
            return FormatText(text, format, static_cast<int>(static_cast<uint32_t>(integer)));
        }
        default:
            return false;
    }
}

template <typename Char>
const char* FormatForLog(const Char* format, std::string& holder) {
    holder.clear();
    for (const Char* p = format; p != nullptr && *p != Char(0); ++p) {
        const auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(*p));
        holder += code < 128 ? static_cast<char>(code) : '?';
    }
    return holder.c_str();
}

template <typename Char, typename String>
int AppendGroups(String* out, const Char* format, int type, const void* array, int groups,
                 int perGroup, int stride, const Char* groupSeparator, const Char* valueSeparator) {
    const int size = GetValueTypeSize(type);
    if (out == nullptr || array == nullptr || size == 0 || groups <= 0 || perGroup <= 0) return 0;
    const ArgKind kind = InspectFormat(format);
    if (kind == ArgKind::Invalid) {
        std::string holder;
        DbgOutputA(kDbgLevelError, "DigtalValueToString: unusable number format \"%s\"\r\n",
                   FormatForLog(format, holder));
        return 0;
    }
    if (stride <= 0) stride = perGroup;
    const auto* bytes = static_cast<const uint8_t*>(array);
    std::basic_string<Char> text;
    std::basic_string<Char> piece;
    for (int g = 0; g < groups; ++g) {
        if (g > 0 && groupSeparator != nullptr) text += groupSeparator;
        for (int i = 0; i < perGroup; ++i) {
            if (i > 0 && valueSeparator != nullptr) text += valueSeparator;
            const size_t index = static_cast<size_t>(g) * stride + i;
            if (!FormatValue(piece, format, kind, type, ReadValue(type, bytes + index * size))) {
                return 0;
            }
            text += piece;
        }
    }
    out->Append(text.c_str(), static_cast<int>(text.size()));
    return groups;
}

void ToValue(const char* text, void* out, int type) {
    DigtalStringToValueA(text, -1, out, type);
}
void ToValue(const WCHAR* text, void* out, int type) {
    DigtalStringToValueW(text, -1, out, type);
}

char* Split(const char* text, int length, const char* separators, int count, int skipEmpty,
            CPtrCtrl* out) {
    return DevideStringByCharListA(text, length, separators, count, skipEmpty, out, 0);
}
WCHAR* Split(const WCHAR* text, int length, const WCHAR* separators, int count, int skipEmpty,
             CPtrCtrl* out) {
    return DevideStringByCharListW(text, length, separators, count, skipEmpty, out, 0);
}
void FreeBlock(char* block) {
    Internal_DelArrayA(block);
}
void FreeBlock(WCHAR* block) {
    Internal_DelArrayW(block);
}

// Stores the values of the text's parts from `out` on; returns how many.
template <typename Char>
int ParseInto(const Char* text, int length, int type, uint8_t* out, int maxCount,
              const Char* separators, int separatorCount, int skipEmpty) {
    const int size = GetValueTypeSize(type);
    if (text == nullptr || out == nullptr || size == 0 || maxCount <= 0) return 0;
    CPtrArrayCtrl parts;
    Char* block = Split(text, length, separators, separatorCount, skipEmpty, &parts);
    int stored = 0;
    for (; stored < parts.GetCount() && stored < maxCount; ++stored) {
        ToValue(static_cast<const Char*>(parts.GetAt(stored)), out + stored * size, type);
    }
    FreeBlock(block);
    return stored;
}

template <typename Char>
int ParseGroups(const Char* text, int length, int type, void* out, int maxGroups, int perGroup,
                const Char* groupSeparators, int groupSeparatorCount, const Char* valueSeparators,
                int valueSeparatorCount, int skipEmpty) {
    const int size = GetValueTypeSize(type);
    if (text == nullptr || out == nullptr || size == 0 || maxGroups <= 0 || perGroup <= 0) {
        return 0;
    }
    CPtrArrayCtrl groups;
    Char* block = Split(text, length, groupSeparators, groupSeparatorCount, skipEmpty, &groups);
    auto* bytes = static_cast<uint8_t*>(out);
    int stored = 0;
    for (; stored < groups.GetCount() && stored < maxGroups; ++stored) {
        ParseInto(static_cast<const Char*>(groups.GetAt(stored)), -1, type,
                  bytes + static_cast<size_t>(stored) * perGroup * size, perGroup, valueSeparators,
                  valueSeparatorCount, skipEmpty);
    }
    FreeBlock(block);
    return stored;
}

template <typename String>
void SetDisplayFormat(double value, int maximum, String* out) {
    if (out == nullptr) return;
    out->Free();
    out->AppendFormat("%%.%df", GetSuitableDecimalFormatCount(value, maximum));
}

}  // namespace

int GetSuitableDecimalFormatCount(double value, int maximum) {
    int decimals = 0;
    double x = value;
    const double halfStep = 0.5 * std::pow(10.0, -maximum);
    while (decimals < maximum) {
        // Rounded in double: a value beyond the 32-bit range must not wrap into a false fraction.
        const double distance = std::fabs(x - std::round(x));
        if (!(distance > 0 && (distance >= 0.01 || distance >= halfStep))) break;
        ++decimals;
        x = distance * 10;
    }
    return decimals;
}

void GetDoubleSuitableDisplayFormatA(double value, int maximum, CBaseStringA* out) {
    SetDisplayFormat(value, maximum, out);
}

void GetDoubleSuitableDisplayFormatW(double value, int maximum, CBaseStringW* out) {
    SetDisplayFormat(value, maximum, out);
}

void DigtalValueToStringA(CBaseStringA* out, const char* format, int type, const void* value) {
    AppendGroups<char>(out, format, type, value, 1, 1, 1, nullptr, nullptr);
}

void DigtalValueToStringW(CBaseStringW* out, const WCHAR* format, int type, const void* value) {
    AppendGroups<WCHAR>(out, format, type, value, 1, 1, 1, nullptr, nullptr);
}

void AppendDigitalArrayValueA(CBaseStringA* out, const char* format, int type, const void* array,
                              int count, const char* separator) {
    AppendGroups<char>(out, format, type, array, 1, count, count, nullptr, separator);
}

void AppendDigitalArrayValueW(CBaseStringW* out, const WCHAR* format, int type, const void* array,
                              int count, const WCHAR* separator) {
    AppendGroups<WCHAR>(out, format, type, array, 1, count, count, nullptr, separator);
}

int AppendDigitalGroupArrayValueA(CBaseStringA* out, const char* format, int type,
                                  const void* array, int groups, int perGroup, int groupStride,
                                  const char* groupSeparator, const char* valueSeparator) {
    return AppendGroups<char>(out, format, type, array, groups, perGroup, groupStride,
                              groupSeparator, valueSeparator);
}

int AppendDigitalGroupArrayValueW(CBaseStringW* out, const WCHAR* format, int type,
                                  const void* array, int groups, int perGroup, int groupStride,
                                  const WCHAR* groupSeparator, const WCHAR* valueSeparator) {
    return AppendGroups<WCHAR>(out, format, type, array, groups, perGroup, groupStride,
                               groupSeparator, valueSeparator);
}

int ParseDigitalArrayValueA(const char* text, int length, int type, void* out, int maxCount,
                            const char* separators, int separatorCount, int skipEmpty) {
    return ParseInto(text, length, type, static_cast<uint8_t*>(out), maxCount, separators,
                     separatorCount, skipEmpty);
}

int ParseDigitalArrayValueW(const WCHAR* text, int length, int type, void* out, int maxCount,
                            const WCHAR* separators, int separatorCount, int skipEmpty) {
    return ParseInto(text, length, type, static_cast<uint8_t*>(out), maxCount, separators,
                     separatorCount, skipEmpty);
}

int ParseDigitalGroupArrayValueA(const char* text, int length, int type, void* out, int maxGroups,
                                 int perGroup, const char* groupSeparators, int groupSeparatorCount,
                                 const char* valueSeparators, int valueSeparatorCount,
                                 int skipEmpty) {
    return ParseGroups(text, length, type, out, maxGroups, perGroup, groupSeparators,
                       groupSeparatorCount, valueSeparators, valueSeparatorCount, skipEmpty);
}

int ParseDigitalGroupArrayValueW(const WCHAR* text, int length, int type, void* out, int maxGroups,
                                 int perGroup, const WCHAR* groupSeparators,
                                 int groupSeparatorCount, const WCHAR* valueSeparators,
                                 int valueSeparatorCount, int skipEmpty) {
    return ParseGroups(text, length, type, out, maxGroups, perGroup, groupSeparators,
                       groupSeparatorCount, valueSeparators, valueSeparatorCount, skipEmpty);
}
