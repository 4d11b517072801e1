// The program's exported imaging helpers (names beginning with Gdiplus_): bitmaps are QImages
// that remember the status of their last failing call; painting goes through QPainter.
//
// This header: the bitmap type, statuses, pixel format numbers, and creating, copying,
// converting and deleting bitmaps. Functions that create a bitmap return null when creation
// fails; the caller owns the result and frees it with Gdiplus_DeleteBitmap.
//
// The functions have C linkage and default visibility: Orbo_Zorvan_Tool exports exactly these
// names (see docs/bitmap_helpers.md). Bitmap functions may run on any thread (QImage is
// reentrant); functions that take a QPainter or measure text need the QGuiApplication.
#pragma once

#include <QImage>

#include <cstdint>

#include "core/platform_types.h"

#define GDIPLUS_API extern "C" __attribute__((visibility("default")))

// Status codes a bitmap remembers (the numbers of the original imaging library).
enum GpStatus : int {
    kGpOk = 0,
    kGpGenericError = 1,
    kGpInvalidParameter = 2,
    kGpOutOfMemory = 3,
    kGpNotImplemented = 6,
    kGpWin32Error = 7,  // a file could not be written
    kGpFileNotFound = 10,
    kGpUnknownImageFormat = 13,
};

// Pixel format numbers.
constexpr int kPixelFormat1bppIndexed = 0x30101;
constexpr int kPixelFormat8bppIndexed = 0x30803;  // 198659
constexpr int kPixelFormat16bppRGB555 = 0x21005;
constexpr int kPixelFormat16bppRGB565 = 0x21006;
constexpr int kPixelFormat24bppRGB = 0x21808;  // 137224, bytes B, G, R
constexpr int kPixelFormat32bppRGB = 0x22009;
constexpr int kPixelFormat32bppARGB = 0x26200A;  // 2498570, 0xAARRGGBB, straight alpha
constexpr int kPixelFormat32bppPARGB = 0xE200B;

// Bits per pixel of a format number (its second byte).
constexpr int PixelFormatBits(int pixelFormat) {
    return (pixelFormat >> 8) & 0xFF;
}

// A bitmap: the image and the status of its last failing call.
class GpBitmap : public QImage {
public:
    GpBitmap() = default;
    explicit GpBitmap(QImage image) : QImage(std::move(image)) {}

    GpStatus lastStatus() const { return m_lastStatus; }
    // Records a failure (kGpOk is ignored: the status is cleared only by Gdiplus_BitmapOK).
    void setFailure(GpStatus status) {
        if (status != kGpOk) m_lastStatus = status;
    }
    void clearStatus() { m_lastStatus = kGpOk; }

private:
    GpStatus m_lastStatus = kGpOk;
};

// The QImage format of a format number; QImage::Format_Invalid for one we do not know.
QImage::Format QtFormatOfPixelFormat(int pixelFormat);
// The format number of an image's format (32-bit ARGB for those that have no number).
int PixelFormatOfQtFormat(QImage::Format format);
// The fixed palette of the raster library for 1 or 8 bits per pixel, as Qt colours (opaque).
QList<QRgb> FixedColourTable(int bitsPerPixel);
// A heap bitmap of the image, or null when the image is null or memory ran out.
GpBitmap* NewBitmap(QImage image);

// An empty (zeroed, so transparent or black) bitmap; null for a size below 1 or an unknown
// format.
GDIPLUS_API GpBitmap* Gdiplus_CreateBitmap(int width, int height, int pixelFormat);
// A 32-bit ARGB bitmap filled with `argb` (0xAARRGGBB); null for a size below 1.
GDIPLUS_API GpBitmap* Gdiplus_CreateColorBmp(int width, int height, uint32_t argb);
// A copy of the same size, format and pixels; null for null.
GDIPLUS_API GpBitmap* Gdiplus_CopyBitmap(const GpBitmap* bitmap);
// The image converted to another format (indexed formats get a palette chosen for the image);
// null for null or an unknown format.
GDIPLUS_API GpBitmap* Gdiplus_ModifyBitmapFormat(const GpBitmap* bitmap, int pixelFormat);
// 1 when the bitmap exists and its last status is kGpOk; the status is cleared.
GDIPLUS_API int Gdiplus_BitmapOK(GpBitmap* bitmap);
// The last status; kGpInvalidParameter for null.
GDIPLUS_API int Gdiplus_BitmapLastError(const GpBitmap* bitmap);
// Destroys the bitmap; null is ignored.
GDIPLUS_API void Gdiplus_DeleteBitmap(GpBitmap* bitmap);
