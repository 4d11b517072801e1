// Searching in buffers of characters: Knuth-Morris-Pratt pattern search (exact, or ignoring the
// case of A-Z), first occurrence of a character sequence or of one character, and the longest
// agreement of two texts over all relative shifts.
//
// Narrow (A) forms work on bytes, wide (W) forms on UTF-16 code units. In the pattern functions a
// negative length means "up to the terminator"; the MemFind functions take lengths as given.
// No state; any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

// Builds the failure table of the pattern into `table`, which must hold patternLength ints:
// table[i] is the length of the longest proper prefix of pattern[0..i] that is also its suffix
// (letters compared without case in the NoCase forms). Returns the pattern length, 0 for a null
// or empty pattern or a null table.
ORBO_COMMON_API int CreateKMPPatternA(const char* pattern, int patternLength, int* table);
ORBO_COMMON_API int CreateKMPPatternW(const WCHAR* pattern, int patternLength, int* table);
ORBO_COMMON_API int CreateKMPPatternNoCaseA(const char* pattern, int patternLength, int* table);
ORBO_COMMON_API int CreateKMPPatternNoCaseW(const WCHAR* pattern, int patternLength, int* table);

// Index of the first occurrence of the pattern in the buffer, or -1. `table` is the pattern's
// failure table from the matching Create function; a null table makes the function build one
// itself. An empty pattern is found at 0; a null buffer or pattern gives -1.
ORBO_COMMON_API int BufFindPatternA(const char* buffer, int bufferLength, const char* pattern,
                                    int patternLength, const int* table);
ORBO_COMMON_API int BufFindPatternW(const WCHAR* buffer, int bufferLength, const WCHAR* pattern,
                                    int patternLength, const int* table);
ORBO_COMMON_API int BufFindPatternNoCaseA(const char* buffer, int bufferLength, const char* pattern,
                                          int patternLength, const int* table);
ORBO_COMMON_API int BufFindPatternNoCaseW(const WCHAR* buffer, int bufferLength,
                                          const WCHAR* pattern, int patternLength,
                                          const int* table);

// First occurrence of the sequence `find` (findLength characters, at least 1) in the buffer's
// first `length` characters; null when there is none or an argument is null. The buffer's length
// is taken as given (it may hold zeros).
ORBO_COMMON_API const char* MemFindBufA(const char* buffer, int length, const char* find,
                                        int findLength);
ORBO_COMMON_API const WCHAR* MemFindBufW(const WCHAR* buffer, int length, const WCHAR* find,
                                         int findLength);

// First occurrence of the character in the buffer's first `length` characters, or null.
ORBO_COMMON_API const char* MemFindChrA(const char* buffer, int length, char ch);
ORBO_COMMON_API const WCHAR* MemFindChrW(const WCHAR* buffer, int length, WCHAR ch);

// The largest number of positions at which the two zero-terminated texts hold the same
// character, over every shift of one against the other (ignoreCase: A-Z and a-z agree).
// "abcd" and "xbcx" give 2; 0 when either is null or empty.
ORBO_COMMON_API int StrMaxSameLengthA(const char* a, const char* b, int ignoreCase);
ORBO_COMMON_API int StrMaxSameLengthW(const WCHAR* a, const WCHAR* b, int ignoreCase);
