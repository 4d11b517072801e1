// The small value types the library's interfaces share with its callers: rectangles, points,
// sizes, colours, wide characters and opaque window handles. Plain data, nothing more.
#pragma once

#include <cstdint>
#include "core/common_api.h"

static_assert(sizeof(void*) == 8, "Orbo is built for 64-bit Linux only");

// Wide text is UTF-16 in char16_t, never wchar_t.
using WCHAR = char16_t;

// A platform colour: 0x00BBGGRR.
using COLORREF = uint32_t;

// An opaque message target issued by the window layer (a handle id, never an object pointer).
using HWND = uintptr_t;

struct ORBO_COMMON_API RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ORBO_COMMON_API POINT {
    int32_t x;
    int32_t y;
};

struct ORBO_COMMON_API SIZE {
    int32_t cx;
    int32_t cy;
};

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c); }
constexpr uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>(c >> 16); }
