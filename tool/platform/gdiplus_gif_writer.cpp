#include "platform/gdiplus_gif_writer.h"

#include <gif_lib.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kMaxGifColours = 256;
constexpr int kMaxGifSide = 0xFFFF;
// Pixels with less alpha than this are written as the transparent colour.
constexpr int kOpaqueAlpha = 128;
constexpr int kCubeLevels = 6;
constexpr int kCubeStep = 255 / (kCubeLevels - 1);

struct IndexedPicture {
    std::vector<QRgb> palette;
    std::vector<GifByteType> pixels;  // one index per pixel, rows top first
    int transparent = -1;
};

bool IsTransparent(QRgb pixel) {
    return qAlpha(pixel) < kOpaqueAlpha;
}

bool HasTransparentPixel(const QImage& argb) {
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (IsTransparent(row[x])) return true;
        }
    }
    return false;
}

// The image's own colours, when they fit beside the transparent entry.
bool IndexExactly(const QImage& argb, bool transparent, IndexedPicture* picture) {
    const int limit = kMaxGifColours - (transparent ? 1 : 0);
    std::unordered_map<QRgb, int> indexOf;
    picture->pixels.resize(size_t(argb.width()) * argb.height());
    GifByteType* out = picture->pixels.data();
    if (transparent) {
        picture->transparent = 0;
        picture->palette.push_back(0);
    }
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (IsTransparent(row[x])) {
                *out++ = GifByteType(picture->transparent);
                continue;
            }
            const QRgb colour = row[x] & RGB_MASK;
            auto found = indexOf.find(colour);
            if (found == indexOf.end()) {
                if (int(indexOf.size()) == limit) return false;
                found = indexOf.emplace(colour, int(picture->palette.size())).first;
                picture->palette.push_back(colour);
            }
            *out++ = GifByteType(found->second);
        }
    }
    return true;
}

int CubeLevel(int channel) {
    return (channel + kCubeStep / 2) / kCubeStep;
}

void IndexByCube(const QImage& argb, bool transparent, IndexedPicture* picture) {
    picture->palette.clear();
    for (int r = 0; r < kCubeLevels; ++r) {
        for (int g = 0; g < kCubeLevels; ++g) {
            for (int b = 0; b < kCubeLevels; ++b) {
                picture->palette.push_back(qRgb(r * kCubeStep, g * kCubeStep, b * kCubeStep));
            }
        }
    }
    picture->transparent = -1;
    if (transparent) {
        picture->transparent = int(picture->palette.size());
        picture->palette.push_back(0);
    }
    GifByteType* out = picture->pixels.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = row[x];
            *out++ = IsTransparent(p)
                         ? GifByteType(picture->transparent)
                         : GifByteType((CubeLevel(qRed(p)) * kCubeLevels + CubeLevel(qGreen(p))) *
                                           kCubeLevels +
                                       CubeLevel(qBlue(p)));
        }
    }
}

// giflib's colour maps hold a power of two entries, 2 at least.
ColorMapObject* MakeColourMap(const std::vector<QRgb>& palette) {
    int count = 2;
    while (count < int(palette.size())) count *= 2;
    std::vector<GifColorType> colours(count, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i) {
        colours[i] = GifColorType{GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])),
                                  GifByteType(qBlue(palette[i]))};
    }
    return GifMakeMapObject(count, colours.data());
}

int AppendToArray(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

bool WritePicture(GifFileType* gif, const IndexedPicture& picture, ColorMapObject* map, int width,
                  int height) {
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, width, height, map->BitsPerPixel, 0, map) == GIF_ERROR) {
        return false;
    }
    if (picture.transparent >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = picture.transparent;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_ERROR) {
            return false;
        }
    }
    if (EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) return false;
    for (int y = 0; y < height; ++y) {
        auto* row = const_cast<GifByteType*>(picture.pixels.data() + size_t(y) * width);
        if (EGifPutLine(gif, row, width) == GIF_ERROR) return false;
    }
    return true;
}

}  // namespace

bool EncodeGif(const QImage& image, QByteArray* out) {
    if (image.isNull() || out == nullptr) return false;
    if (image.width() > kMaxGifSide || image.height() > kMaxGifSide) return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const bool transparent = argb.hasAlphaChannel() && HasTransparentPixel(argb);
    IndexedPicture picture;
    if (!IndexExactly(argb, transparent, &picture)) IndexByCube(argb, transparent, &picture);

    ColorMapObject* map = MakeColourMap(picture.palette);
    if (map == nullptr) return false;
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendToArray, &error);
    bool written = gif != nullptr && WritePicture(gif, picture, map, argb.width(), argb.height());
    if (gif != nullptr && EGifCloseFile(gif, &error) == GIF_ERROR) written = false;
    GifFreeMapObject(map);
    if (written) *out = std::move(bytes);
    return written;
}
