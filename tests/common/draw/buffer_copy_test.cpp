#include "draw/buffer_copy.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 32-bit test image whose stride may exceed its width; pixels start as a marker value.
struct Image {
    int width, height, stride;
    std::vector<uint32_t> px;
    Image(int w, int h, int strideBytes, uint32_t fill = 0xDEADBEEF)
        : width(w), height(h), stride(strideBytes), px(size_t(strideBytes / 4) * h, fill) {}
    uint32_t& At(int x, int y) { return px[size_t(y) * (stride / 4) + x]; }
    void* Data() { return px.data(); }
};

TEST(DrawColorOnBuffer, FillsExactlyTheRectangle) {
    struct Case {
        RECT rect;
        int x0, y0, x1, y1;  // expected painted area (exclusive ends)
    } cases[] = {
        {{2, 1, 5, 3}, 2, 1, 5, 3},   {{0, 0, 8, 6}, 0, 0, 8, 6},
        {{3, 3, 3, 5}, 0, 0, 0, 0},    // empty width
        {{4, 4, 2, 5}, 0, 0, 0, 0},    // inverted
        {{-3, -2, 2, 2}, 0, 0, 2, 2},  // left of column 0 and above row 0 are cut off
        {{6, 0, 20, 1}, 6, 0, 10, 1},  // beyond the stride (10 pixels) is cut off
    };
    for (const auto& c : cases) {
        Image img(8, 6, 40);
        DrawColorOnBuffer(0xFF123456, img.Data(), c.rect, img.stride);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
                ASSERT_EQ(img.At(x, y), inside ? 0xFF123456u : 0xDEADBEEFu)
                    << "rect " << c.rect.left << "," << c.rect.top << "," << c.rect.right << ","
                    << c.rect.bottom << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(DrawColorOnBuffer, WideRowsUseEveryColumn) {
    // Long enough for the vector loop and its tail.
    Image img(37, 2, 37 * 4, 0);
    DrawColorOnBuffer(0xA1B2C3D4, img.Data(), RECT{1, 1, 36, 2}, img.stride);
    for (int x = 0; x < 37; ++x) {
        EXPECT_EQ(img.At(x, 0), 0u);
        EXPECT_EQ(img.At(x, 1), (x >= 1 && x < 36) ? 0xA1B2C3D4u : 0u) << x;
    }
}

TEST(DrawColorOnBuffer, StridesNeedNotKeepPixelsAligned) {
    // 21-byte rows: pixels of row 1 start at an odd address.
    std::vector<uint8_t> buf(21 * 3 + 1, 0);
    DrawColorOnBuffer(0x11223344, buf.data() + 1, RECT{1, 1, 5, 3}, 21);
    for (int y = 0; y < 3; ++y) {
        for (int b = 0; b < 21; ++b) {
            const bool inside = y >= 1 && b >= 4 && b < 20;
            const uint8_t expected = inside ? uint8_t(0x11223344u >> (8 * ((b - 4) % 4))) : 0;
            ASSERT_EQ(buf[1 + y * 21 + b], expected) << y << "," << b;
        }
    }
}

TEST(DrawColorOnBuffer, IgnoresNullBufferAndBadStride) {
    DrawColorOnBuffer(1, nullptr, RECT{0, 0, 4, 4}, 16);
    Image img(4, 4, 16);
    DrawColorOnBuffer(1, img.Data(), RECT{0, 0, 4, 4}, 0);
    DrawColorOnBuffer(1, img.Data(), RECT{0, 0, 4, 4}, -16);
    for (uint32_t v : img.px) EXPECT_EQ(v, 0xDEADBEEFu);
}

TEST(DrawBufferOnBuffer, CopiesTheCommonSizeFromTopLeftCorners) {
    // 10 x 10 destination rectangle, 4 x 20 source rectangle: 4 x 10 pixels are copied.
    Image dst(16, 16, 64, 0);
    Image src(8, 24, 32);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 8; ++x) src.At(x, y) = uint32_t(y * 100 + x);
    DrawBufferOnBuffer(dst.Data(), RECT{3, 2, 13, 12}, dst.stride, src.Data(), RECT{1, 1, 5, 21},
                       src.stride, 4);
    int copied = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 2 && y < 12;
            if (inside) {
                ++copied;
                ASSERT_EQ(dst.At(x, y), uint32_t((y - 1) * 100 + (x - 2))) << x << "," << y;
            } else {
                ASSERT_EQ(dst.At(x, y), 0u) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(copied, 4 * 10);
}

TEST(DrawBufferOnBuffer, CopiesOtherPixelSizesByteForByte) {
    // 3 bytes per pixel, strides that are not multiples of the pixel size.
    std::vector<uint8_t> src(11 * 4), dst(13 * 4, 0);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i + 1);
    DrawBufferOnBuffer(dst.data(), RECT{1, 1, 3, 3}, 13, src.data(), RECT{0, 2, 2, 4}, 11, 3);
    for (int y = 0; y < 4; ++y) {
        for (int b = 0; b < 13; ++b) {
            const bool inside = y >= 1 && y < 3 && b >= 3 && b < 9;
            const uint8_t expected = inside ? src[(y + 1) * 11 + (b - 3)] : 0;
            ASSERT_EQ(dst[y * 13 + b], expected) << y << "," << b;
        }
    }
}

TEST(DrawBufferOnBuffer, KeepsPixelsPairedWhenCuttingAtTheEdges) {
    Image dst(4, 4, 16, 0);
    Image src(4, 4, 16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.At(x, y) = uint32_t(10 * y + x + 1);
    // Destination starts one column left of the buffer: that column is dropped on both sides.
    DrawBufferOnBuffer(dst.Data(), RECT{-1, 0, 2, 1}, 16, src.Data(), RECT{0, 0, 3, 1}, 16, 4);
    EXPECT_EQ(dst.At(0, 0), src.At(1, 0));
    EXPECT_EQ(dst.At(1, 0), src.At(2, 0));
    EXPECT_EQ(dst.At(2, 0), 0u);
    // A source rectangle reaching beyond its stride copies only what the row holds.
    Image dst2(8, 1, 32, 0);
    DrawBufferOnBuffer(dst2.Data(), RECT{0, 0, 8, 1}, 32, src.Data(), RECT{2, 0, 8, 1}, 16, 4);
    EXPECT_EQ(dst2.At(0, 0), src.At(2, 0));
    EXPECT_EQ(dst2.At(1, 0), src.At(3, 0));
    EXPECT_EQ(dst2.At(2, 0), 0u);
}

TEST(DrawBufferOnBuffer, WideRowsOfEveryLengthArriveWhole) {
    // Row lengths around the vector block sizes, at odd offsets.
    for (int width : {15, 16, 17, 31, 33, 47, 64, 70}) {
        std::vector<uint8_t> src(3 * 300), dst(3 * 300, 0);
        for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 31 + 7);
        DrawBufferOnBuffer(dst.data(), RECT{1, 0, 1 + width, 3}, 300, src.data(),
                           RECT{2, 0, 2 + width, 3}, 300, 3);
        for (int y = 0; y < 3; ++y) {
            for (int b = 0; b < 300; ++b) {
                const bool inside = b >= 3 && b < 3 + 3 * width;
                ASSERT_EQ(dst[y * 300 + b], inside ? src[y * 300 + b + 3] : 0)
                    << width << ": " << y << "," << b;
            }
        }
    }
}

TEST(DrawBufferOnBuffer, WholeRowCopyMatchesRowByRowCopy) {
    Image src(5, 3, 20), dst(5, 3, 20, 0);
    for (size_t i = 0; i < src.px.size(); ++i) src.px[i] = uint32_t(i * 977);
    DrawBufferOnBuffer(dst.Data(), RECT{0, 0, 5, 3}, 20, src.Data(), RECT{0, 0, 5, 3}, 20, 4);
    EXPECT_EQ(dst.px, src.px);
}

}  // namespace
