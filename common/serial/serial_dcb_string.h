// Line settings as a short text: one digit for the byte size, one letter for the parity (N, O, E,
// M, S), then the stop bits as 1, 1.5 or 2; for example "8N1" or "7E1.5". Values as everywhere
// in the serial code: parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one, 1 one and
// a half, 2 two. Stateless; any thread.
#pragma once

#include <cstdint>

#include "core/base_string.h"
#include "core/common_api.h"

// Empties `text` and writes the settings into it: byte size 3 or less gives "4", 4 to 7 their
// digit, 8 or more "8"; parity 0 "N", 1 "O", 2 "E", 3 "M", 4 or more "S"; stop bits 0 "1",
// 1 "1.5", 2 or more "2". Nothing happens for a null `text`.
ORBO_COMMON_API void SerialDCBToString(uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                                       CBaseStringA* text);

// Reads settings from a text of `length` characters (negative: up to the terminator; the
// terminator also ends a longer length). The outputs (any may be null) first become 8, 0 and 0;
// nothing more for a null text or one of 2 characters or less. Otherwise the first character
// "4" to "7" gives byte size 4 to 7 (anything else 8); the second "O", "E", "M", "S" (either
// case) gives parity 1, 2, 3, 4 (anything else 0); the rest beginning with "1.5" gives stop bits
// 1, beginning with "2" gives 2, anything else 0.
ORBO_COMMON_API void SerialParseDCBString(const char* text, int length, uint8_t* byteSize,
                                          uint8_t* parity, uint8_t* stopBits);
