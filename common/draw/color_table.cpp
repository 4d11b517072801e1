#include "color_table.h"

#include <cmath>

#include "misc/colour_space.h"

const COLORREF gCommonColorTable[5][10] = {
    {0xF0FAFF, 0xADDEFF, 0xD7EBFA, 0xF0FFFA, 0xFAFAFF, 0xF5F5F5, 0xEEF5FF, 0xCDFFFF, 0xC9E6FC,
     0xFFFFFF},
    {0x57CFE3, 0x1299FF, 0x00D7FF, 0x69A5DA, 0x0080FF, 0x2191ED, 0xB3DEF5, 0x8CE6F0, 0x60A4F4,
     0x00FFFF},
    {0x00FC7C, 0xD4FF7F, 0xD0E040, 0x00FF7F, 0x40913D, 0x57C900, 0x228B22, 0xC9FCBD, 0x7FFF00,
     0x00FF00},
    {0x4763FF, 0xCBC0FF, 0x7280FA, 0x0D17E3, 0x507FFF, 0x2222B2, 0x0045FF, 0xDDA0DD, 0x407DFF,
     0x0000FF},
    {0xEBCE87, 0xE16941, 0xCD5A6A, 0xFF901E, 0xC9A133, 0xED9564, 0xDEC4B0, 0xFFF8F0, 0x800000,
     0xFF0000},
};

namespace {

constexpr int kTableSize = 256;

uint32_t HsvPixel(double hue, double saturation, double value) {
    uint8_t r = 0, g = 0, b = 0;
    HSVToRGB(hue, saturation, value, &r, &g, &b);
    return 0xFF000000u | uint32_t{r} << 16 | uint32_t{g} << 8 | uint32_t{b};
}

}  // namespace

void InitHotImageColorTable(uint32_t* table) {
    if (table == nullptr) return;
    table[0] = HsvPixel(247.5, 0.564655172413793, 0.9098039215686274);
    for (int i = 1; i < kTableSize; ++i) table[i] = HsvPixel((30600.0 - 120.0 * i) / 255.0, 1, 1);
}

void InitHotImageColorTable2(uint32_t* table, COLORREF a, COLORREF b) {
    if (table == nullptr) return;
    double hueA, satA, valA, hueB, satB, valB;
    RGBToHSV(GetRValue(a), GetGValue(a), GetBValue(a), &hueA, &satA, &valA);
    RGBToHSV(GetRValue(b), GetGValue(b), GetBValue(b), &hueB, &satB, &valB);
    const double saturation = (satA + satB) / 2;
    const double value = (valA + valB) / 2;
    for (int i = 0; i < kTableSize; ++i) {
        table[i] = HsvPixel(hueA + (hueB - hueA) * i / kTableSize, saturation, value);
    }
}

void ImageDataToHotImage(const double* values, int count, double minimum, double maximum,
                         const uint32_t* table, uint32_t* pixels, uint8_t* indices) {
    if (values == nullptr || count <= 0) return;
    if (table == nullptr) pixels = nullptr;
    if (pixels == nullptr && indices == nullptr) return;
    const double range = maximum - minimum;
    for (int i = 0; i < count; ++i) {
        const double scaled = (values[i] - minimum) * 256.0 / range;
        // Clamped before the conversion: NaN fails both tests and lands on 0.
        int index = 0;
        if (scaled >= 255.0) {
            index = 255;
        } else if (scaled > 0.0) {
            index = static_cast<int>(scaled);
        }
        if (pixels != nullptr) pixels[i] = table[index];
        if (indices != nullptr) indices[i] = static_cast<uint8_t>(index);
    }
}
