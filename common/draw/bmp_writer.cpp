#include "bmp_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bitmap_info.h"
#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "core/size_limits.h"

namespace {

constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kV5HeaderBytes = 124;
constexpr uint32_t kPixelsPerMetre72Dpi = 2835;
constexpr uint32_t kColorSpaceSrgb = 0x73524742;  // the letters "sRGB"

std::string NativePath(const char* path) {
    std::string p(path);
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

bool CheckSource(const char* caller, const void* pixels, int rowLength, int64_t stride,
                 const char* path) {
    if (pixels == nullptr || path == nullptr || *path == '\0') {
        DbgOutputA(kDbgLevelError, "%s: no pixels or no path\r\n", caller);
        return false;
    }
    if (std::strlen(path) > static_cast<size_t>(kMaxPathChars)) {
        DbgOutputA(kDbgLevelError, "%s: path longer than %d characters: %s\r\n", caller,
                   kMaxPathChars, path);
        return false;
    }
    if (rowLength <= 0 || rowLength > stride) {
        DbgOutputA(kDbgLevelError,
                   "%s: source row length %d does not fit the file's row of %lld bytes (%s)\r\n",
                   caller, rowLength, static_cast<long long>(stride), path);
        return false;
    }
    return true;
}

// Writes the headers and the rows; removes the file when anything fails.
int WriteFile(const char* caller, const char* path, const std::vector<uint8_t>& headers,
              const uint8_t* pixels, int rows, int rowLength, int64_t stride, bool reversed) {
    const std::string native = NativePath(path);
    FILE* f = std::fopen(native.c_str(), "wb");
    if (f == nullptr) {
        DbgOutputA(kDbgLevelError, "%s: cannot create %s: %s\r\n", caller, native.c_str(),
                   std::strerror(errno));
        return 0;
    }
    errno = 0;
    bool ok = std::fwrite(headers.data(), 1, headers.size(), f) == headers.size();
    // One padded row at a time; the padding stays zero.
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[static_cast<size_t>(stride)]());
    if (!row) {
        ok = false;
        errno = ENOMEM;
    }
    for (int i = 0; ok && i < rows; ++i) {
        const int source = reversed ? rows - 1 - i : i;
        std::memcpy(row.get(), pixels + static_cast<int64_t>(source) * rowLength,
                    static_cast<size_t>(rowLength));
        ok = std::fwrite(row.get(), 1, static_cast<size_t>(stride), f) ==
             static_cast<size_t>(stride);
    }
    const int writeErrno = errno;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        DbgOutputA(kDbgLevelError, "%s: writing %s failed: %s\r\n", caller, native.c_str(),
                   std::strerror(writeErrno != 0 ? writeErrno : errno));
        std::remove(native.c_str());
        return 0;
    }
    return 1;
}

void AppendFileHeader(std::vector<uint8_t>* out, uint32_t infoBytes, uint32_t imageBytes) {
    AppendLe16(*out, kBmpType);
    AppendLe32(*out, kFileHeaderBytes + infoBytes + imageBytes);
    AppendLe16(*out, 0);
    AppendLe16(*out, 0);
    AppendLe32(*out, kFileHeaderBytes + infoBytes);
}

}  // namespace

int SaveRgbBufferToBmpFile(const void* pixels, int width, int height, int bitsPerPixel,
                           int rowLength, const uint32_t* colorEntries, int entryCount,
                           const char* path) {
    constexpr const char* kCaller = "SaveRgbBufferToBmpFile";
    BitmapInfo info;
    if (!BuildBitmapInfo(width, height, bitsPerPixel, colorEntries, entryCount, kCaller, &info) ||
        !CheckSource(kCaller, pixels, rowLength, info.stride, path)) {
        return 0;
    }
    std::vector<uint8_t> info_bytes;
    AppendBitmapInfoBytes(info, &info_bytes);
    std::vector<uint8_t> headers;
    AppendFileHeader(&headers, static_cast<uint32_t>(info_bytes.size()), info.imageBytes);
    headers.insert(headers.end(), info_bytes.begin(), info_bytes.end());
    const int rows = height < 0 ? -height : height;
    return WriteFile(kCaller, path, headers, static_cast<const uint8_t*>(pixels), rows, rowLength,
                     info.stride, height <= 0);
}

int SaveRgbBufferToBmpFileV5(const void* pixels, int width, int height, int bitsPerPixel,
                             int rowLength, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                             uint32_t alphaMask, const uint32_t* colorEntries, int entryCount,
                             const char* path) {
    constexpr const char* kCaller = "SaveRgbBufferToBmpFileV5";
    BitmapInfo info;
    // The palette rules are those of the plain information block; masks travel in the V5 header.
    if (!BuildBitmapInfo(width, height, bitsPerPixel, colorEntries, entryCount, kCaller, &info) ||
        !CheckSource(kCaller, pixels, rowLength, info.stride, path)) {
        return 0;
    }
    // With 16 or 32 bits the masks describe the pixels; given entries are then only an optional
    // palette and are still written.
    const bool bitFields = bitsPerPixel == 16 || bitsPerPixel == 32;
    const auto entryBytes = static_cast<uint32_t>(4 * info.entries.size());
    std::vector<uint8_t> headers;
    AppendFileHeader(&headers, kV5HeaderBytes + entryBytes, info.imageBytes);
    AppendLe32(headers, kV5HeaderBytes);
    AppendLe32(headers, static_cast<uint32_t>(info.width));
    AppendLe32(headers, static_cast<uint32_t>(height < 0 ? -height : height));
    AppendLe16(headers, 1);
    AppendLe16(headers, info.bitCount);
    AppendLe32(headers, bitFields ? kCompressionBitFields : kCompressionRgb);
    AppendLe32(headers, info.imageBytes);
    AppendLe32(headers, kPixelsPerMetre72Dpi);
    AppendLe32(headers, kPixelsPerMetre72Dpi);
    AppendLe32(headers, static_cast<uint32_t>(info.entries.size()));
    AppendLe32(headers, 0);  // colours important
    AppendLe32(headers, redMask);
    AppendLe32(headers, greenMask);
    AppendLe32(headers, blueMask);
    AppendLe32(headers, alphaMask);
    AppendLe32(headers, kColorSpaceSrgb);
    // Endpoints (36 bytes), gammas (12), intent, profile offset, profile size, reserved: zero.
    headers.resize(headers.size() + 36 + 12 + 16, 0);
    for (uint32_t e : info.entries) AppendLe32(headers, e);
    const int rows = height < 0 ? -height : height;
    return WriteFile(kCaller, path, headers, static_cast<const uint8_t*>(pixels), rows, rowLength,
                     info.stride, height <= 0);
}

int SaveRgb565BufferToBmpFile(const void* pixels, int width, int height, int rowLength,
                              const char* path) {
    return SaveRgbBufferToBmpFileV5(pixels, width, height, 16, rowLength, 0xF800, 0x07E0, 0x001F, 0,
                                    nullptr, 0, path);
}
