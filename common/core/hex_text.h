// Hexadecimal and binary text: digit tests, bytes and buffers to hexadecimal text, hexadecimal
// and binary text back to numbers, buffers and strings, bit fields inside byte buffers, and a
// hexadecimal dump to the debug output.
//
// Narrow (A) and wide (W) twins behave alike. A text comes with a length in characters; a
// negative length means "up to the terminator", and a null text counts as empty. Hexadecimal
// text may start with "0x" or "0X"; reading stops at the first character that is not a digit
// of the radix (or at the length). Upper and lower case digits are read alike.
// All functions keep no state and may be called from any thread.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

class CBaseStringA;
class CBaseStringW;

// 1 for 0-9, A-F and a-f; else 0.
ORBO_COMMON_API int IsHexCharA(char ch);
ORBO_COMMON_API int IsHexCharW(WCHAR ch);

// 1 when the text, after an optional "0x"/"0X" prefix, holds at least one character and only
// hexadecimal digits; else 0.
ORBO_COMMON_API int IsHexStringA(const char* text, int length);
ORBO_COMMON_API int IsHexStringW(const WCHAR* text, int length);

// Writes the byte as two digits (A-F when upperCase is nonzero, else a-f) and a terminator:
// `out` must hold 3 characters. Nothing happens for a null out.
ORBO_COMMON_API void ByteToHexA(uint8_t value, char* out, int upperCase);
ORBO_COMMON_API void ByteToHexW(uint8_t value, WCHAR* out, int upperCase);

// Replaces the string with the bytes as hexadecimal digits, two per byte, with a blank between
// bytes when withBlank is nonzero ("0A 1B 2C"). A null buffer or a size <= 0 gives an empty
// string.
ORBO_COMMON_API void BufferToHexStringA(const void* data, int size, CBaseStringA* out,
                                        int withBlank, int upperCase);
ORBO_COMMON_API void BufferToHexStringW(const void* data, int size, CBaseStringW* out,
                                        int withBlank, int upperCase);

// As BufferToHexString with blanks, broken into lines of `bytesPerLine` bytes separated by
// "\r\n" (no line break after the last line). bytesPerLine <= 0 means one line.
ORBO_COMMON_API void FormatBufferToHexStringA(const void* data, int size, CBaseStringA* out,
                                              int bytesPerLine, int upperCase);
ORBO_COMMON_API void FormatBufferToHexStringW(const void* data, int size, CBaseStringW* out,
                                              int bytesPerLine, int upperCase);

// The value of the hexadecimal text (optional prefix, digits up to the first other character);
// 0 for an empty or digit-less text. Digits beyond the type's width push the higher ones out.
ORBO_COMMON_API uint8_t HexStringToByteA(const char* text, int length);
ORBO_COMMON_API uint8_t HexStringToByteW(const WCHAR* text, int length);
ORBO_COMMON_API uint32_t HexStringToUint32A(const char* text, int length);
ORBO_COMMON_API uint32_t HexStringToUint32W(const WCHAR* text, int length);
ORBO_COMMON_API uint64_t HexStringToUint64A(const char* text, int length);
ORBO_COMMON_API uint64_t HexStringToUint64W(const WCHAR* text, int length);

// Reads pairs of digits into bytes, left to right (optional prefix; blanks, tabs and line breaks
// between pairs are skipped, so BufferToHexString's output reads back). Stops at any other
// character, at a lone final digit, or when `outSize` bytes are stored. Returns the number of
// bytes stored; 0 for a null out.
ORBO_COMMON_API int HexStringToBufferA(const char* text, int length, void* out, int outSize);
ORBO_COMMON_API int HexStringToBufferW(const WCHAR* text, int length, void* out, int outSize);

// As HexStringToBuffer into a string, replacing it: the A form stores the bytes as they are; the
// W form takes the bytes as UTF-8 text and stores it converted (empty when it is not UTF-8).
// Returns the number of bytes read.
ORBO_COMMON_API int HexStringToStringA(const char* text, int length, CBaseStringA* out);
ORBO_COMMON_API int HexStringToStringW(const WCHAR* text, int length, CBaseStringW* out);

// As HexStringToBuffer into a caller's text buffer of outSize characters, terminated; returns
// the number of bytes before the terminator. 0 (and nothing written) for a null out or
// outSize < 1.
ORBO_COMMON_API int StringFromHexA(const char* text, int length, char* out, int outSize);

// Writes "PrintHexBuffer: addr=%p\r\n", then one line per row of `bytesPerLine` bytes (16 when
// <= 0) headed "%08x-%08x:" with the offsets of the row's first and last byte, each byte as
// " %02x", at level 2. Nothing for a null address or length <= 0.
ORBO_COMMON_API void PrintHexBuffer(const void* address, int length, int bytesPerLine);

// The value of a text of the digits 0 and 1 (most significant first), read up to the first
// other character or the length; digits beyond the width push the higher ones out.
ORBO_COMMON_API uint8_t BinStringToByteA(const char* text, int length);
ORBO_COMMON_API uint8_t BinStringToByteW(const WCHAR* text, int length);
ORBO_COMMON_API uint64_t BinStringToUINT64A(const char* text, int length);
ORBO_COMMON_API uint64_t BinStringToUINT64W(const WCHAR* text, int length);

// Bit fields in a byte buffer of bufferSize bytes. Bits are numbered from the least significant
// bit of byte 0 upwards (bit i is bit i % 8 of byte i / 8); the field runs from firstBit to
// lastBit inclusive and holds at most 64 bits, its lowest bit at firstBit.
// SetBufferValueByBit stores the low bits of the value there (other bits unchanged); returns 1,
// or 0 (buffer untouched) for a null buffer, firstBit < 0, lastBit < firstBit, a field wider
// than 64 bits or one that does not lie inside the buffer.
ORBO_COMMON_API int SetBufferValueByBit(void* buffer, int bufferSize, int firstBit, int lastBit,
                                        uint64_t value);
// The field's value; 0 for the same invalid arguments.
ORBO_COMMON_API uint64_t GetBufferValueByBit(const void* buffer, int bufferSize, int firstBit,
                                             int lastBit);
