// Splitting text into parts, and small "key value" configuration texts.
//
// The split functions copy the text into a new working block, cut the parts inside that block
// and store pointers to them (char* / WCHAR*, zero-terminated) in the caller's container, after
// any entries it already holds. The parts live as long as the block: the caller releases it
// with Internal_DelArrayA/W once it is done with them (the container never owns its entries).
//
// A text comes with a length in characters; a negative length means "up to the terminator", as
// does a negative count of separator characters. Narrow (A) and wide (W) twins behave alike.
// No state; any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

class CPtrCtrl;
class CBaseStringA;

// Splits at any of the separator characters. With skipEmpty 0 every separator ends a part, so
// two adjacent separators give an empty part and a leading separator an empty first part; with
// skipEmpty nonzero empty parts are dropped. A trailing separator never gives an empty last
// part. With maxParts > 0 at most that many parts are stored, the last one holding the rest of
// the text unsplit ("a,b,c,d" with maximum 2: "a" and "b,c,d").
// Returns the working block; null (nothing stored) for a null text or container.
ORBO_COMMON_API char* DevideStringByCharListA(const char* text, int length, const char* separators,
                                              int separatorCount, int skipEmpty, CPtrCtrl* out,
                                              int maxParts);
ORBO_COMMON_API WCHAR* DevideStringByCharListW(const WCHAR* text, int length,
                                               const WCHAR* separators, int separatorCount,
                                               int skipEmpty, CPtrCtrl* out, int maxParts);

// Frees a working block of the split functions (null is allowed).
ORBO_COMMON_API void Internal_DelArrayA(char* block);
ORBO_COMMON_API void Internal_DelArrayW(WCHAR* block);

// Splits at the earliest occurrence of any of the `count` separator texts (the longer one when
// two start at the same place; empty separator texts are ignored); empty parts are dropped.
// Returns the working block; null for a null text or container.
ORBO_COMMON_API char* DevideStringByStringListA(const char* text, int length,
                                                const char* const* separators, int count,
                                                CPtrCtrl* out);
ORBO_COMMON_API WCHAR* DevideStringByStringListW(const WCHAR* text, int length,
                                                 const WCHAR* const* separators, int count,
                                                 CPtrCtrl* out);

// 1 when the word occurs in the text delimited on both sides by a separator character or an end
// of the text (ignoreCase: A-Z and a-z agree); every occurrence counts, so "ab,b" holds the
// word "b". 0 for an empty word or none.
ORBO_COMMON_API int FindStringFromStringWithSepratorA(const char* text, int length,
                                                      const char* word, int wordLength,
                                                      const char* separators, int separatorCount,
                                                      int ignoreCase);
ORBO_COMMON_API int FindStringFromStringWithSepratorW(const WCHAR* text, int length,
                                                      const WCHAR* word, int wordLength,
                                                      const WCHAR* separators, int separatorCount,
                                                      int ignoreCase);

// 1 plus the number of line feeds in the text; 0 for a null text.
ORBO_COMMON_API int GetStringLinesA(const char* text, int length);
ORBO_COMMON_API int GetStringLinesW(const WCHAR* text, int length);

// Among the lines of the container (zero-terminated narrow texts), the first one that starts
// with the key (exactly): out := the rest of that line, and 1. 0 (out untouched) when none does
// or an argument is null.
ORBO_COMMON_API int GetAttrValueFromConfigLineList(CPtrCtrl* lines, const char* key,
                                                   CBaseStringA* out);

// Splits the configuration text at the separator texts (as DevideStringByStringList) and, for
// the first part that starts with the key, sets out to the rest of it and returns 1; else 0.
ORBO_COMMON_API int GetAttrValueFromConfig(const char* config, const char* const* separators,
                                           int count, const char* key, CBaseStringA* out);

// Where the key occurs at the start of the configuration text or right after a separator
// (compared without case), replaces the key and its old value (up to the next separator or the
// end) by key + value; otherwise appends separator + key + value (no separator to an empty
// text). Nothing happens for a null config or an empty key; a null value counts as empty.
ORBO_COMMON_API void SetAttrValueToConfig(CBaseStringA* config, const char* separator,
                                          const char* key, const char* value);

// Reads up to `count` comma-separated decimal integers (blanks around them allowed); stops at
// the first part that is not a number. Values beyond the int range are clamped. Returns how many
// were stored.
ORBO_COMMON_API int ParseIntValues(const char* text, int* values, int count);
