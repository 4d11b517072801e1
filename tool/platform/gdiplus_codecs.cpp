#include "platform/gdiplus_codecs.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <optional>
#include <string>
#include <string_view>

#include "core/path_text.h"
#include "platform/gdiplus_gif_writer.h"

namespace {

struct ExtensionType {
    std::string_view extension;  // lower case
    int type;
};

constexpr ExtensionType kExtensions[] = {
    {"bmp", kPictureBmp},  {"jpg", kPictureJpeg},  {"jpeg", kPictureJpeg}, {"gif", kPictureGif},
    {"tif", kPictureTiff}, {"tiff", kPictureTiff}, {"png", kPicturePng},
};

// Qt's writer names of the types (GIF has its own encoder).
const char* QtWriterFormat(int type) {
    switch (type) {
        case kPictureBmp:
            return "bmp";
        case kPictureJpeg:
            return "jpeg";
        case kPictureTiff:
            return "tiff";
        default:
            return "png";
    }
}

// The extension of the last path component, lower-cased (ASCII).
std::string LowerExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension;
}

std::optional<int> KnownPictureType(const std::string& path) {
    const std::string extension = LowerExtension(path);
    for (const ExtensionType& entry : kExtensions) {
        if (entry.extension == extension) return entry.type;
    }
    return std::nullopt;
}

template <class C>
int PictureTypeOf(const C* path) {
    std::string systemPath;
    if (path == nullptr || !ToSystemPath(path, systemPath, "Gdiplus_GetPictureTypeByFileName")) {
        return kPicturePng;
    }
    return KnownPictureType(systemPath).value_or(kPicturePng);
}

// Formats without a pixel format number (grey levels, 16 bits per channel, ...) become 32-bit.
QImage WithKnownFormat(QImage image) {
    const QImage::Format format = image.format();
    if (QtFormatOfPixelFormat(PixelFormatOfQtFormat(format)) == format) return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                         : QImage::Format_RGB32);
}

GpBitmap* Decode(QIODevice* device) {
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) return nullptr;
    return NewBitmap(WithKnownFormat(std::move(image)));
}

template <class C>
GpBitmap* LoadFromFile(const C* path) {
    std::string systemPath;
    if (path == nullptr || !ToSystemPath(path, systemPath, "Gdiplus_LoadBitmapFromFile")) {
        return nullptr;
    }
    const QString name = QString::fromUtf8(systemPath);
    if (!QFileInfo(name).isFile()) return nullptr;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    return Decode(&file);
}

bool Encode(const QImage& image, int type, QByteArray* bytes) {
    if (type == kPictureGif) return EncodeGif(image, bytes);
    QBuffer buffer(bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&buffer, QtWriterFormat(type));
    return writer.write(image);
}

template <class C>
int SaveToFile(GpBitmap* bitmap, const C* path) {
    if (bitmap == nullptr) return 0;
    std::string systemPath;
    if (bitmap->isNull() || path == nullptr ||
        !ToSystemPath(path, systemPath, "Gdiplus_SaveBitmapToFile")) {
        bitmap->setFailure(kGpInvalidParameter);
        return 0;
    }
    const std::optional<int> type = KnownPictureType(systemPath);
    QByteArray bytes;
    if (!type || !Encode(*bitmap, *type, &bytes)) {
        bitmap->setFailure(kGpUnknownImageFormat);
        return 0;
    }
    QSaveFile file(QString::fromUtf8(systemPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        bitmap->setFailure(kGpWin32Error);
        return 0;
    }
    return 1;
}

}  // namespace

int Gdiplus_GetPictureTypeByFileNameA(const char* path) {
    return PictureTypeOf(path);
}
int Gdiplus_GetPictureTypeByFileNameW(const WCHAR* path) {
    return PictureTypeOf(path);
}

GpBitmap* Gdiplus_LoadBitmapFromFileA(const char* path) {
    return LoadFromFile(path);
}
GpBitmap* Gdiplus_LoadBitmapFromFileW(const WCHAR* path) {
    return LoadFromFile(path);
}

GpBitmap* Gdiplus_LoadBitmapFromData(const void* data, size_t length) {
    if (data == nullptr || length == 0 || length > size_t(INT32_MAX)) return nullptr;
    QByteArray bytes(static_cast<const char*>(data), qsizetype(length));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return nullptr;
    return Decode(&buffer);
}

int Gdiplus_SaveBitmapToFileA(GpBitmap* bitmap, const char* path) {
    return SaveToFile(bitmap, path);
}
int Gdiplus_SaveBitmapToFileW(GpBitmap* bitmap, const WCHAR* path) {
    return SaveToFile(bitmap, path);
}
