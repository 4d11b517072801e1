#include "text_search.h"

#include <vector>

#include "text_chars_internal.h"

using namespace orbo_text;

namespace {

template <typename Char>
int CreateTable(const Char* pattern, int length, int* table, bool ignoreCase) {
    length = ResolveLength(pattern, length);
    if (length <= 0 || table == nullptr) return 0;
    table[0] = 0;
    int prefix = 0;
    for (int i = 1; i < length; ++i) {
        while (prefix > 0 && !SameChar(pattern[i], pattern[prefix], ignoreCase)) {
            prefix = table[prefix - 1];
        }
        if (SameChar(pattern[i], pattern[prefix], ignoreCase)) ++prefix;
        table[i] = prefix;
    }
    return length;
}

template <typename Char>
int FindPattern(const Char* buffer, int bufferLength, const Char* pattern, int patternLength,
                const int* table, bool ignoreCase) {
    if (buffer == nullptr || pattern == nullptr) return -1;
    bufferLength = ResolveLength(buffer, bufferLength);
    patternLength = ResolveLength(pattern, patternLength);
    if (patternLength == 0) return 0;
    if (patternLength > bufferLength) return -1;
    std::vector<int> ownTable;
    if (table == nullptr) {
        ownTable.resize(static_cast<size_t>(patternLength));
        CreateTable(pattern, patternLength, ownTable.data(), ignoreCase);
        table = ownTable.data();
    }
    int matched = 0;
    for (int i = 0; i < bufferLength; ++i) {
        while (matched > 0 && !SameChar(buffer[i], pattern[matched], ignoreCase)) {
            matched = table[matched - 1];
        }
        if (SameChar(buffer[i], pattern[matched], ignoreCase)) ++matched;
        if (matched == patternLength) return i - patternLength + 1;
    }
    return -1;
}

template <typename Char>
const Char* FindBuf(const Char* buffer, int length, const Char* find, int findLength) {
    if (buffer == nullptr || find == nullptr || length <= 0 || findLength <= 0) return nullptr;
    for (int i = 0; i + findLength <= length; ++i) {
        int k = 0;
        while (k < findLength && buffer[i + k] == find[k]) ++k;
        if (k == findLength) return buffer + i;
    }
    return nullptr;
}

template <typename Char>
const Char* FindChr(const Char* buffer, int length, Char ch) {
    if (buffer == nullptr) return nullptr;
    for (int i = 0; i < length; ++i) {
        if (buffer[i] == ch) return buffer + i;
    }
    return nullptr;
}

template <typename Char>
int MaxSameLength(const Char* a, const Char* b, int ignoreCase) {
    const int lengthA = TerminatedLength(a);
    const int lengthB = TerminatedLength(b);
    int best = 0;
    // Shift s aligns a[i] with b[i - s].
    for (int shift = -(lengthB - 1); shift < lengthA; ++shift) {
        const int first = shift > 0 ? shift : 0;
        const int last = lengthA < lengthB + shift ? lengthA : lengthB + shift;
        if (last - first <= best) continue;
        int same = 0;
        for (int i = first; i < last; ++i) {
            if (SameChar(a[i], b[i - shift], ignoreCase != 0)) ++same;
        }
        if (same > best) best = same;
    }
    return best;
}

}  // namespace

int CreateKMPPatternA(const char* pattern, int patternLength, int* table) {
    return CreateTable(pattern, patternLength, table, false);
}
int CreateKMPPatternW(const WCHAR* pattern, int patternLength, int* table) {
    return CreateTable(pattern, patternLength, table, false);
}
int CreateKMPPatternNoCaseA(const char* pattern, int patternLength, int* table) {
    return CreateTable(pattern, patternLength, table, true);
}
int CreateKMPPatternNoCaseW(const WCHAR* pattern, int patternLength, int* table) {
    return CreateTable(pattern, patternLength, table, true);
}

int BufFindPatternA(const char* buffer, int bufferLength, const char* pattern, int patternLength,
                    const int* table) {
    return FindPattern(buffer, bufferLength, pattern, patternLength, table, false);
}
int BufFindPatternW(const WCHAR* buffer, int bufferLength, const WCHAR* pattern, int patternLength,
                    const int* table) {
    return FindPattern(buffer, bufferLength, pattern, patternLength, table, false);
}
int BufFindPatternNoCaseA(const char* buffer, int bufferLength, const char* pattern,
                          int patternLength, const int* table) {
    return FindPattern(buffer, bufferLength, pattern, patternLength, table, true);
}
int BufFindPatternNoCaseW(const WCHAR* buffer, int bufferLength, const WCHAR* pattern,
                          int patternLength, const int* table) {
    return FindPattern(buffer, bufferLength, pattern, patternLength, table, true);
}

const char* MemFindBufA(const char* buffer, int length, const char* find, int findLength) {
    return FindBuf(buffer, length, find, findLength);
}
const WCHAR* MemFindBufW(const WCHAR* buffer, int length, const WCHAR* find, int findLength) {
    return FindBuf(buffer, length, find, findLength);
}
const char* MemFindChrA(const char* buffer, int length, char ch) {
    return FindChr(buffer, length, ch);
}
const WCHAR* MemFindChrW(const WCHAR* buffer, int length, WCHAR ch) {
    return FindChr(buffer, length, ch);
}

int StrMaxSameLengthA(const char* a, const char* b, int ignoreCase) {
    return MaxSameLength(a, b, ignoreCase);
}
int StrMaxSameLengthW(const WCHAR* a, const WCHAR* b, int ignoreCase) {
    return MaxSameLength(a, b, ignoreCase);
}
