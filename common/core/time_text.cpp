#include "time_text.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "text_chars_internal.h"
#include "utf_convert.h"

using namespace orbo_text;

namespace {

constexpr int kMaxFieldDigits = 9;  // keeps every field far below the int range
constexpr int kMaxFractionDigits = 3;
constexpr int kSystemTimeFields = 6;

// Milliseconds of "f1:f2[:f3][.fff]" with exactly `fields` fields; -1 when malformed.
int64_t ParseClock(const char* text, int length, int fields) {
    if (text == nullptr) return -1;
    length = ResolveLength(text, length);
    int i = 0;
    int64_t seconds = 0;
    for (int f = 0; f < fields; ++f) {
        if (f > 0) {
            if (i >= length || text[i] != ':') return -1;
            ++i;
        }
        const int start = i;
        int64_t value = 0;
        while (i < length && text[i] >= '0' && text[i] <= '9')
            value = value * 10 + (text[i++] - '0');
        if (i == start || i - start > kMaxFieldDigits) return -1;
        seconds = seconds * 60 + value;
    }
    int64_t milliseconds = 0;
    if (i < length && (text[i] == '.' || text[i] == ',')) {
        ++i;
        const int start = i;
        int scale = 100;
        while (i < length && text[i] >= '0' && text[i] <= '9') {
            milliseconds += (text[i++] - '0') * scale;
            scale /= 10;
        }
        if (i == start || i - start > kMaxFractionDigits) return -1;
    }
    if (i != length) return -1;
    const int64_t total = seconds * 1000 + milliseconds;
    return total > INT_MAX ? -1 : total;
}

}  // namespace

int TimeStringToInt_HMS(const char* text, int length) {
    const int64_t ms = ParseClock(text, length, 3);
    return ms < 0 ? 0 : static_cast<int>(ms);
}

int TimeStringToInt_MS(const char* text, int length) {
    const int64_t ms = ParseClock(text, length, 2);
    return ms < 0 ? 0 : static_cast<int>(ms);
}

int StringToSystemTimeA(const char* text, LocalDateTime* time) {
    if (text == nullptr || time == nullptr) return 0;
    short fields[kSystemTimeFields] = {};
    const int read = std::sscanf(text, "%04hd/%02hd/%02hd %02hd:%02hd:%02hd", &fields[0],
                                 &fields[1], &fields[2], &fields[3], &fields[4], &fields[5]);
    if (read <= 0) return 0;
    int* targets[kSystemTimeFields] = {&time->year, &time->month,  &time->day,
                                       &time->hour, &time->minute, &time->second};
    for (int f = 0; f < read; ++f) *targets[f] = fields[f];
    return read;
}

int StringToSystemTimeW(const WCHAR* text, LocalDateTime* time) {
    if (text == nullptr || time == nullptr) return 0;
    std::string narrow;
    if (!Utf16ToUtf8(std::u16string_view(text), narrow)) return 0;
    return StringToSystemTimeA(narrow.c_str(), time);
}
