#include "text_split.h"

#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "base_string.h"
#include "ptr_array_ctrl.h"
#include "text_chars_internal.h"

using namespace orbo_text;

namespace {

// A zero-terminated copy of the text that the parts will point into; null when memory fails.
template <typename Char>
Char* WorkingCopy(const Char* text, int length) {
    auto* block = new (std::nothrow) Char[static_cast<size_t>(length) + 1];
    if (block == nullptr) return nullptr;
    if (length > 0) std::memcpy(block, text, static_cast<size_t>(length) * sizeof(Char));
    block[length] = Char(0);
    return block;
}

template <typename Char>
bool IsOneOf(Char ch, const Char* list, int count) {
    for (int i = 0; i < count; ++i) {
        if (list[i] == ch) return true;
    }
    return false;
}

template <typename Char>
Char* SplitByChars(const Char* text, int length, const Char* separators, int separatorCount,
                   int skipEmpty, CPtrCtrl* out, int maxParts) {
    if (text == nullptr || out == nullptr) return nullptr;
    length = ResolveLength(text, length);
    separatorCount = ResolveLength(separators, separatorCount);
    Char* block = WorkingCopy(text, length);
    if (block == nullptr) return nullptr;
    int stored = 0;
    int start = 0;
    for (int i = 0; i < length; ++i) {
        if (!IsOneOf(block[i], separators, separatorCount)) continue;
        if (i > start || skipEmpty == 0) {
            if (maxParts > 0 && stored >= maxParts - 1) break;
            block[i] = Char(0);
            out->AddData(block + start, -1);
            ++stored;
        }
        start = i + 1;
    }
    if (start < length) out->AddData(block + start, -1);
    return block;
}

template <typename Char>
Char* SplitByStrings(const Char* text, int length, const Char* const* separators, int count,
                     CPtrCtrl* out) {
    if (text == nullptr || out == nullptr) return nullptr;
    length = ResolveLength(text, length);
    Char* block = WorkingCopy(text, length);
    if (block == nullptr) return nullptr;
    int start = 0;
    int i = 0;
    while (i < length) {
        int matched = 0;
        for (int s = 0; s < count && separators != nullptr; ++s) {
            const int sepLength = TerminatedLength(separators[s]);
            if (sepLength <= matched || sepLength > length - i) continue;
            if (std::memcmp(block + i, separators[s], sepLength * sizeof(Char)) == 0) {
                matched = sepLength;
            }
        }
        if (matched == 0) {
            ++i;
            continue;
        }
        if (i > start) {
            block[i] = Char(0);
            out->AddData(block + start, -1);
        }
        i += matched;
        start = i;
    }
    if (start < length) out->AddData(block + start, -1);
    return block;
}

template <typename Char>
int FindDelimitedWord(const Char* text, int length, const Char* word, int wordLength,
                      const Char* separators, int separatorCount, int ignoreCase) {
    length = ResolveLength(text, length);
    wordLength = ResolveLength(word, wordLength);
    separatorCount = ResolveLength(separators, separatorCount);
    if (wordLength == 0) return 0;
    for (int at = 0; at + wordLength <= length; ++at) {
        int k = 0;
        while (k < wordLength && SameChar(text[at + k], word[k], ignoreCase != 0)) ++k;
        if (k < wordLength) continue;
        const bool leftOk = at == 0 || IsOneOf(text[at - 1], separators, separatorCount);
        const int end = at + wordLength;
        const bool rightOk = end == length || IsOneOf(text[end], separators, separatorCount);
        if (leftOk && rightOk) return 1;
    }
    return 0;
}

template <typename Char>
int CountLines(const Char* text, int length) {
    if (text == nullptr) return 0;
    length = ResolveLength(text, length);
    int lines = 1;
    for (int i = 0; i < length; ++i) {
        if (text[i] == Char('\n')) ++lines;
    }
    return lines;
}

bool StartsWith(const char* text, const char* key, size_t keyLength) {
    return std::strncmp(text, key, keyLength) == 0;
}

void ReplaceContent(CBaseStringA* out, const char* text) {
    out->Free();
    out->Append(text, -1);
}

}  // namespace

char* DevideStringByCharListA(const char* text, int length, const char* separators,
                              int separatorCount, int skipEmpty, CPtrCtrl* out, int maxParts) {
    return SplitByChars(text, length, separators, separatorCount, skipEmpty, out, maxParts);
}

WCHAR* DevideStringByCharListW(const WCHAR* text, int length, const WCHAR* separators,
                               int separatorCount, int skipEmpty, CPtrCtrl* out, int maxParts) {
    return SplitByChars(text, length, separators, separatorCount, skipEmpty, out, maxParts);
}

void Internal_DelArrayA(char* block) {
    delete[] block;
}
void Internal_DelArrayW(WCHAR* block) {
    delete[] block;
}

char* DevideStringByStringListA(const char* text, int length, const char* const* separators,
                                int count, CPtrCtrl* out) {
    return SplitByStrings(text, length, separators, count, out);
}

WCHAR* DevideStringByStringListW(const WCHAR* text, int length, const WCHAR* const* separators,
                                 int count, CPtrCtrl* out) {
    return SplitByStrings(text, length, separators, count, out);
}

int FindStringFromStringWithSepratorA(const char* text, int length, const char* word,
                                      int wordLength, const char* separators, int separatorCount,
                                      int ignoreCase) {
    return FindDelimitedWord(text, length, word, wordLength, separators, separatorCount,
                             ignoreCase);
}

int FindStringFromStringWithSepratorW(const WCHAR* text, int length, const WCHAR* word,
                                      int wordLength, const WCHAR* separators, int separatorCount,
                                      int ignoreCase) {
    return FindDelimitedWord(text, length, word, wordLength, separators, separatorCount,
                             ignoreCase);
}

int GetStringLinesA(const char* text, int length) {
    return CountLines(text, length);
}
int GetStringLinesW(const WCHAR* text, int length) {
    return CountLines(text, length);
}

int GetAttrValueFromConfigLineList(CPtrCtrl* lines, const char* key, CBaseStringA* out) {
    if (lines == nullptr || key == nullptr || out == nullptr) return 0;
    const size_t keyLength = std::strlen(key);
    const int count = lines->GetCount();
    for (int i = 0; i < count; ++i) {
        const auto* line = static_cast<const char*>(lines->GetAt(i));
        if (line != nullptr && StartsWith(line, key, keyLength)) {
            ReplaceContent(out, line + keyLength);
            return 1;
        }
    }
    return 0;
}

int GetAttrValueFromConfig(const char* config, const char* const* separators, int count,
                           const char* key, CBaseStringA* out) {
    if (config == nullptr || key == nullptr || out == nullptr) return 0;
    CPtrArrayCtrl parts;
    char* block = DevideStringByStringListA(config, -1, separators, count, &parts);
    const int found = GetAttrValueFromConfigLineList(&parts, key, out);
    Internal_DelArrayA(block);
    return found;
}

void SetAttrValueToConfig(CBaseStringA* config, const char* separator, const char* key,
                          const char* value) {
    if (config == nullptr || key == nullptr || key[0] == '\0') return;
    if (separator == nullptr) separator = "";
    if (value == nullptr) value = "";
    const std::string text(config->GetString(), static_cast<size_t>(config->GetLength()));
    const size_t keyLength = std::strlen(key);
    const size_t sepLength = std::strlen(separator);

    size_t at = std::string::npos;
    for (size_t pos = 0; pos + keyLength <= text.size(); ++pos) {
        const bool atBoundary =
            pos == 0 || (sepLength > 0 && pos >= sepLength &&
                         text.compare(pos - sepLength, sepLength, separator) == 0);
        if (!atBoundary) continue;
        size_t k = 0;
        while (k < keyLength && SameChar(text[pos + k], key[k], true)) ++k;
        if (k == keyLength) {
            at = pos;
            break;
        }
    }

    std::string result;
    if (at == std::string::npos) {
        result = text;
        if (!result.empty()) result += separator;
        result += key;
        result += value;
    } else {
        size_t end = sepLength > 0 ? text.find(separator, at + keyLength) : std::string::npos;
        if (end == std::string::npos) end = text.size();
        result = text.substr(0, at) + key + value + text.substr(end);
    }
    config->Free();
    config->Append(result.c_str(), static_cast<int>(result.size()));
}

int ParseIntValues(const char* text, int* values, int count) {
    if (text == nullptr || values == nullptr || count <= 0) return 0;
    int stored = 0;
    const char* p = text;
    while (stored < count) {
        while (*p == ' ' || *p == '\t') ++p;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (*p < '0' || *p > '9') break;
        long long value = 0;
        while (*p >= '0' && *p <= '9') {
            if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - '0');
            ++p;
        }
        if (negative) value = -value;
        if (value > INT_MAX) value = INT_MAX;
        if (value < INT_MIN) value = INT_MIN;
        values[stored++] = static_cast<int>(value);
        while (*p == ' ' || *p == '\t') ++p;
        if (*p != ',') break;
        ++p;
    }
    return stored;
}
