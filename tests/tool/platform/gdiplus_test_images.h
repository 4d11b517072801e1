// Small bitmaps for the bitmap helpers' tests, and an owning handle for them.
#pragma once

#include <QImage>

#include <memory>

#include "platform/gdiplus_bitmap.h"

struct BitmapDeleter {
    void operator()(GpBitmap* bitmap) const { Gdiplus_DeleteBitmap(bitmap); }
};
using UniqueBitmap = std::unique_ptr<GpBitmap, BitmapDeleter>;

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

// A 32-bit ARGB bitmap whose pixel (x, y) is colour(x, y).
template <class F>
UniqueBitmap MakeBitmap(int width, int height, F colour) {
    UniqueBitmap bitmap(Gdiplus_CreateBitmap(width, height, kPixelFormat32bppARGB));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bitmap->setPixel(x, y, colour(x, y));
    }
    return bitmap;
}

// Quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
inline UniqueBitmap MakeQuadrants(int width, int height) {
    return MakeBitmap(width, height, [=](int x, int y) {
        const bool right = x >= width / 2;
        if (y < height / 2) return right ? kGreen : kRed;
        return right ? kWhite : kBlue;
    });
}

// Every pixel a different colour (for exact copies).
inline QRgb Distinct(int x, int y) {
    return qRgba(x * 7 + 3, y * 11 + 5, (x * y) & 0xFF, 255);
}

// Channels differ by at most `tolerance`.
inline bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance &&
           std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}
