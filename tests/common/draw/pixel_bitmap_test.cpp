#include "draw/pixel_bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "draw/bitmap_info.h"

namespace {

struct StrideCase {
    int width, height, bits;
    int stride;
};

TEST(CreateHBitmap, StrideRoundsRowsUpToFourBytes) {
    const StrideCase cases[] = {
        {100, 50, 32, 400}, {100, 50, 24, 300}, {101, 1, 24, 304}, {3, 2, 16, 8},
        {9, 1, 1, 4},       {33, 1, 1, 8},      {5, 1, 4, 4},      {-7, -3, 8, 8},
    };
    for (const auto& c : cases) {
        UniqueHBitmap bitmap(CreateHBitmap(nullptr, c.width, c.height, c.bits, nullptr, 0));
        ASSERT_NE(bitmap, nullptr) << c.width << "x" << c.height << "@" << c.bits;
        EXPECT_EQ(bitmap->stride, c.stride) << c.width << "x" << c.height << "@" << c.bits;
        EXPECT_EQ(bitmap->width, c.width < 0 ? -c.width : c.width);
        EXPECT_EQ(bitmap->height, c.height < 0 ? -c.height : c.height);
        EXPECT_EQ(bitmap->bitsPerPixel, c.bits);
        EXPECT_EQ(BitmapStride(c.width, c.bits), c.stride);
    }
}

TEST(CreateHBitmap, HandsOutZeroedPixelsThroughThePointer) {
    void* pixels = nullptr;
    UniqueHBitmap bitmap(CreateHBitmap(&pixels, 100, 50, 32, nullptr, 0));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(pixels, bitmap->pixels);
    const auto* bytes = static_cast<const uint8_t*>(pixels);
    for (int i = 0; i < 400 * 50; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_TRUE(bitmap->topDown);
}

TEST(CreateHBitmap, CopiesTheCallersPixelsAndLeavesThePointer) {
    std::vector<uint8_t> source(304 * 3);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7);
    void* pixels = source.data();
    UniqueHBitmap bitmap(CreateHBitmap(&pixels, 101, -3, 24, nullptr, 0));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(pixels, source.data());
    EXPECT_NE(bitmap->pixels, source.data());
    EXPECT_EQ(std::memcmp(bitmap->pixels, source.data(), source.size()), 0);
    EXPECT_FALSE(bitmap->topDown);  // a negative height is a bottom-up bitmap
}

TEST(CreateHBitmap, RefusesWhatCannotBeABitmap) {
    const uint32_t entries[3] = {1, 2, 3};
    struct Case {
        const char* what;
        int width, height, bits;
        const uint32_t* entries;
        int count;
    } cases[] = {
        {"unsupported bit count", 10, 10, 7, nullptr, 0},
        {"zero width", 0, 10, 32, nullptr, 0},
        {"zero height", 10, 0, 32, nullptr, 0},
        {"above the size limit", 100000, 100000, 32, nullptr, 0},
        {"row beyond 32 bits", INT_MAX, 1, 32, nullptr, 0},
        {"INT_MIN height", 1, INT_MIN, 8, nullptr, 0},
        {"more entries than a 1-bit palette", 8, 8, 1, entries, 3},
        {"negative entry count", 8, 8, 8, entries, -1},
    };
    for (const auto& c : cases) {
        void* pixels = nullptr;
        EXPECT_EQ(CreateHBitmap(&pixels, c.width, c.height, c.bits, c.entries, c.count), nullptr)
            << c.what;
        EXPECT_EQ(pixels, nullptr) << c.what;
    }
}

TEST(CreateHBitmap, PaletteBitmapsWithoutEntriesGetTheFixedPalette) {
    UniqueHBitmap b8(CreateHBitmap(nullptr, 4, 4, 8, nullptr, 0));
    ASSERT_NE(b8, nullptr);
    ASSERT_EQ(b8->colorEntries.size(), 256u);
    EXPECT_EQ(b8->colorEntries[0], 0x000000u);
    EXPECT_EQ(b8->colorEntries[1], 0x800000u);   // maroon
    EXPECT_EQ(b8->colorEntries[12], 0x0000FFu);  // blue
    EXPECT_EQ(b8->colorEntries[15], 0xFFFFFFu);
    EXPECT_EQ(b8->colorEntries[16 + 36 * 5 + 6 * 2 + 1], 0xFF6633u);  // cube r=5 g=2 b=1
    EXPECT_EQ(b8->colorEntries[232], 0x080808u);
    EXPECT_EQ(b8->colorEntries[255], 0xEEEEEEu);
    EXPECT_EQ(b8->compression, kCompressionRgb);

    UniqueHBitmap b4(CreateHBitmap(nullptr, 4, 4, 4, nullptr, 0));
    ASSERT_NE(b4, nullptr);
    ASSERT_EQ(b4->colorEntries.size(), 16u);
    EXPECT_EQ(b4->colorEntries[9], 0xFF0000u);

    UniqueHBitmap b1(CreateHBitmap(nullptr, 4, 4, 1, nullptr, 0));
    ASSERT_NE(b1, nullptr);
    EXPECT_EQ(b1->colorEntries, (std::vector<uint32_t>{0x000000u, 0xFFFFFFu}));

    UniqueHBitmap b32(CreateHBitmap(nullptr, 4, 4, 32, nullptr, 0));
    ASSERT_NE(b32, nullptr);
    EXPECT_TRUE(b32->colorEntries.empty());
}

TEST(CreateHBitmap, EntriesOfSixteenAndThirtyTwoBitBitmapsAreChannelMasks) {
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    UniqueHBitmap b16(CreateHBitmap(nullptr, 4, 4, 16, masks, 3));
    ASSERT_NE(b16, nullptr);
    EXPECT_EQ(b16->compression, kCompressionBitFields);
    EXPECT_EQ(b16->colorEntries, (std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}));
    UniqueHBitmap b24(CreateHBitmap(nullptr, 4, 4, 24, masks, 3));
    ASSERT_NE(b24, nullptr);
    EXPECT_EQ(b24->compression, kCompressionRgb);
}

TEST(BitmapInfo, HeaderBytesFollowTheBlockLayout) {
    BitmapInfo info;
    const uint32_t entries[2] = {0x00112233, 0x00445566};
    ASSERT_TRUE(BuildBitmapInfo(3, 2, 8, entries, 2, "test", &info));
    std::vector<uint8_t> bytes;
    AppendBitmapInfoBytes(info, &bytes);
    ASSERT_EQ(bytes.size(), 40u + 8u);
    auto le32 = [&](size_t at) { return ReadLe32(&bytes[at]); };
    EXPECT_EQ(le32(0), 40u);
    EXPECT_EQ(le32(4), 3u);
    EXPECT_EQ(static_cast<int32_t>(le32(8)), -2);  // positive height: top-down
    EXPECT_EQ(ReadLe16(&bytes[12]), 1);            // planes
    EXPECT_EQ(ReadLe16(&bytes[14]), 8);            // bit count
    EXPECT_EQ(le32(16), 0u);                       // compression
    EXPECT_EQ(le32(20), 8u);                       // image size = 2 rows x 4 bytes
    EXPECT_EQ(le32(32), 2u);                       // colours used
    EXPECT_EQ(le32(40), 0x00112233u);
    EXPECT_EQ(le32(44), 0x00445566u);
}

}  // namespace
