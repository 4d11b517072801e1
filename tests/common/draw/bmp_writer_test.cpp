#include "draw/bmp_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/draw/image_magick_reader.h"
#include "core/byte_order.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

// A picture of w x h opaque colours, distinct per pixel.
uint32_t PictureArgb(int x, int y) {
    return 0xFF000000u | uint32_t((x * 53 + y * 7) & 0xFF) << 16 |
           uint32_t((y * 71 + 13) & 0xFF) << 8 | uint32_t((x * 29 + y * 101 + 5) & 0xFF);
}

// Rows of `rowLength` bytes holding the picture in 24 or 32 bits; `bottomUp` puts the last
// picture row first.
std::vector<uint8_t> Source(int w, int h, int bytesPerPixel, int rowLength, bool bottomUp) {
    std::vector<uint8_t> src(size_t(rowLength) * h, 0xEE);
    for (int y = 0; y < h; ++y) {
        const int row = bottomUp ? h - 1 - y : y;
        for (int x = 0; x < w; ++x) {
            const uint32_t v = PictureArgb(x, y);
            for (int b = 0; b < bytesPerPixel; ++b)
                src[size_t(row) * rowLength + x * bytesPerPixel + b] = uint8_t(v >> (8 * b));
        }
    }
    return src;
}

void ExpectPicture(const DecodedImage& img, int w, int h, bool compareAlpha) {
    ASSERT_TRUE(img.ok);
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    const uint32_t mask = compareAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(img.Argb(x, y) & mask, PictureArgb(x, y) & mask) << x << "," << y;
}

TEST(SaveRgbBufferToBmpFile, TopDownAndBottomUpFilesShowTheSamePicture) {
    TempDir dir;
    struct Case {
        int bits, width, height, rowLength;
    } cases[] = {
        {24, 5, 3, 15},   // rows padded from 15 to 16 bytes
        {24, 5, -3, 15},  // bottom-up file, rows written last to first
        {24, 4, 0 - 2, 12}, {32, 4, 3, 16}, {32, 7, -5, 28},
        {24, 6, 4, 20},  // a source row shorter than the stride but longer than the pixels
    };
    for (const auto& c : cases) {
        const int h = c.height < 0 ? -c.height : c.height;
        const auto src = Source(c.width, h, c.bits / 8, c.rowLength, false);
        const std::string path = dir.File("plain.bmp");
        ASSERT_EQ(SaveRgbBufferToBmpFile(src.data(), c.width, c.height, c.bits, c.rowLength,
                                         nullptr, 0, path.c_str()),
                  1);
        const auto bytes = ReadWholeFileBytes(path);
        const uint32_t stride = (uint32_t(c.width) * c.bits + 31) / 32 * 4;
        EXPECT_EQ(bytes.size(), 14u + 40u + stride * h);
        EXPECT_EQ(ReadLe32(&bytes[2]), bytes.size());
        EXPECT_EQ(ReadLe32(&bytes[10]), 54u);
        EXPECT_EQ(int32_t(ReadLe32(&bytes[22])), -c.height);
        ExpectPicture(ReadWithImageMagick(path, dir.File("raw")), c.width, h, false);
    }
}

TEST(SaveRgbBufferToBmpFile, PaletteImagesUseGivenOrFixedEntries) {
    TempDir dir;
    // 8 bits, 3 x 2 indices, rows of 3 bytes padded to 4.
    const uint8_t indices[6] = {0, 1, 2, 2, 1, 0};
    const uint32_t entries[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    const std::string path = dir.File("pal.bmp");
    ASSERT_EQ(SaveRgbBufferToBmpFile(indices, 3, 2, 8, 3, entries, 3, path.c_str()), 1);
    auto img = ReadWithImageMagick(path, dir.File("raw"));
    ASSERT_TRUE(img.ok);
    const uint32_t expected[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0x0000FF, 0x00FF00, 0xFF0000};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.Argb(i % 3, i / 3) & 0xFFFFFF, expected[i]) << i;
    // Without entries: the fixed palette (12 = blue, 15 = white, 16 + 36 x 5 = red cube corner).
    const uint8_t fixed[3] = {12, 15, 196};
    ASSERT_EQ(SaveRgbBufferToBmpFile(fixed, 3, 1, 8, 3, nullptr, 0, path.c_str()), 1);
    img = ReadWithImageMagick(path, dir.File("raw"));
    ASSERT_TRUE(img.ok);
    EXPECT_EQ(img.Argb(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(img.Argb(1, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(img.Argb(2, 0) & 0xFFFFFF, 0xFF0000u);
}

TEST(SaveRgbBufferToBmpFileV5, HeaderSizeIs124AndColoursUsedIsTheEntryCount) {
    TempDir dir;
    const uint8_t indices[4] = {0, 1, 1, 0};
    const uint32_t entries[2] = {0x00102030, 0x00405060};
    const std::string path = dir.File("v5.bmp");
    ASSERT_EQ(SaveRgbBufferToBmpFileV5(indices, 4, 1, 8, 4, 0, 0, 0, 0, entries, 2, path.c_str()),
              1);
    const auto b = ReadWholeFileBytes(path);
    ASSERT_EQ(b.size(), 14u + 124u + 8u + 4u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(ReadLe32(&b[2]), b.size());
    EXPECT_EQ(ReadLe32(&b[10]), 14u + 124u + 8u);  // pixels follow the entries
    EXPECT_EQ(ReadLe32(&b[14]), 124u);             // the header's own size, entries not included
    EXPECT_EQ(ReadLe32(&b[18]), 4u);
    EXPECT_EQ(ReadLe32(&b[22]), 1u);
    EXPECT_EQ(ReadLe32(&b[14 + 16]), 0u);           // plain pixels for 8 bits
    EXPECT_EQ(ReadLe32(&b[14 + 24]), 2835u);        // 72 dpi
    EXPECT_EQ(ReadLe32(&b[14 + 32]), 2u);           // colours used: the real number of entries
    EXPECT_EQ(ReadLe32(&b[14 + 56]), 0x73524742u);  // "sRGB"
    EXPECT_EQ(ReadLe32(&b[138]), 0x00102030u);
    EXPECT_EQ(ReadLe32(&b[142]), 0x00405060u);
    auto img = ReadWithImageMagick(path, dir.File("raw"));
    ASSERT_TRUE(img.ok);
    EXPECT_EQ(img.Argb(0, 0) & 0xFFFFFF, 0x102030u);
    EXPECT_EQ(img.Argb(1, 0) & 0xFFFFFF, 0x405060u);
}

TEST(SaveRgbBufferToBmpFileV5, ThirtyTwoBitsWithAlphaMaskKeepAlpha) {
    TempDir dir;
    const int w = 3, h = 2;
    // Bottom-up source for a positive height.
    std::vector<uint32_t> src(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src[(h - 1 - y) * w + x] = (PictureArgb(x, y) & 0x00FFFFFF) | uint32_t(60 + 80 * x)
                                                                              << 24;
    const std::string path = dir.File("alpha.bmp");
    ASSERT_EQ(SaveRgbBufferToBmpFileV5(src.data(), w, h, 32, w * 4, 0x00FF0000, 0x0000FF00,
                                       0x000000FF, 0xFF000000, nullptr, 0, path.c_str()),
              1);
    const auto img = ReadWithImageMagick(path, dir.File("raw"));
    ASSERT_TRUE(img.ok);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(img.Argb(x, y), (PictureArgb(x, y) & 0x00FFFFFF) | uint32_t(60 + 80 * x)
                                                                             << 24)
                << x << "," << y;
}

TEST(SaveRgb565BufferToBmpFile, BothRowOrdersDecodeToTheSamePicture) {
    TempDir dir;
    const int w = 5, h = 3, rowLength = 10;  // stride 12
    auto pixel565 = [](int x, int y) {
        return uint16_t((x * 6 + y) % 32 << 11 | (x * 13 + y * 20) % 64 << 5 | (y * 9 + x) % 32);
    };
    auto expand = [](int v, int bits) { return bits == 5 ? (v << 3 | v >> 2) : (v << 2 | v >> 4); };
    for (bool bottomUpSource : {true, false}) {
        std::vector<uint16_t> src(w * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                src[(bottomUpSource ? h - 1 - y : y) * w + x] = pixel565(x, y);
        const std::string path = dir.File("565.bmp");
        // A positive height writes a bottom-up source as it is; a negative one reverses the rows.
        ASSERT_EQ(SaveRgb565BufferToBmpFile(src.data(), w, bottomUpSource ? h : -h, rowLength,
                                            path.c_str()),
                  1);
        const auto b = ReadWholeFileBytes(path);
        EXPECT_EQ(ReadLe32(&b[14 + 16]), 3u);  // bit fields
        EXPECT_EQ(ReadLe32(&b[14 + 40]), 0xF800u);
        EXPECT_EQ(ReadLe32(&b[14 + 44]), 0x07E0u);
        EXPECT_EQ(ReadLe32(&b[14 + 48]), 0x001Fu);
        EXPECT_EQ(b.size(), 14u + 124u + 12u * h);
        const auto img = ReadWithImageMagick(path, dir.File("raw"));
        ASSERT_TRUE(img.ok);
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint16_t p = pixel565(x, y);
                const uint32_t got = img.Argb(x, y);
                EXPECT_NEAR(int(got >> 16 & 0xFF), expand(p >> 11, 5), 1) << x << "," << y;
                EXPECT_NEAR(int(got >> 8 & 0xFF), expand(p >> 5 & 0x3F, 6), 1) << x << "," << y;
                EXPECT_NEAR(int(got & 0xFF), expand(p & 0x1F, 5), 1) << x << "," << y;
            }
        }
    }
}

TEST(SaveRgbBufferToBmpFile, RefusesBadArgumentsWithoutLeavingAFile) {
    TempDir dir;
    const std::vector<uint8_t> src(64 * 4, 1);
    const std::string path = dir.File("bad.bmp");
    // A folder that exists, in a path beyond the 259-character limit.
    const auto deep =
        dir.Path() / std::string(90, 'a') / std::string(90, 'b') / std::string(90, 'c');
    std::filesystem::create_directories(deep);
    const std::string longPath = (deep / "x.bmp").string();
    struct Case {
        const char* why;
        const void* pixels;
        int width, height, bits, rowLength;
        std::string path;
    } cases[] = {
        {"row length beyond the stride", src.data(), 4, 4, 24, 13, path},
        {"row length of zero", src.data(), 4, 4, 24, 0, path},
        {"null pixels", nullptr, 4, 4, 24, 12, path},
        {"zero width", src.data(), 0, 4, 24, 12, path},
        {"unsupported bits", src.data(), 4, 4, 12, 12, path},
        {"folder that does not exist", src.data(), 4, 4, 24, 12, dir.File("none/x.bmp")},
        {"path longer than the limit", src.data(), 4, 4, 24, 12, longPath},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaveRgbBufferToBmpFile(c.pixels, c.width, c.height, c.bits, c.rowLength, nullptr,
                                         0, c.path.c_str()),
                  0)
            << c.why;
        EXPECT_EQ(SaveRgbBufferToBmpFileV5(c.pixels, c.width, c.height, c.bits, c.rowLength, 0, 0,
                                           0, 0, nullptr, 0, c.path.c_str()),
                  0)
            << c.why;
        EXPECT_FALSE(std::filesystem::exists(c.path)) << c.why;
    }
    EXPECT_EQ(SaveRgb565BufferToBmpFile(src.data(), 4, 4, 9, path.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SaveRgbBufferToBmpFile, AcceptsBackslashSeparators) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "sub");
    const uint8_t px[4] = {1, 2, 3, 0};
    const std::string path = dir.Path().string() + "\\sub\\b.bmp";
    ASSERT_EQ(SaveRgbBufferToBmpFile(px, 1, 1, 24, 3, nullptr, 0, path.c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "sub" / "b.bmp"));
}

}  // namespace
