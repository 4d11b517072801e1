#include "misc/pixel_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/byte_order.h"
#include "support/whole_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The generated 16 x 8 test image: byte i of every input is (i*29 + (i>>4)*7 + 3) & 0xFF.
Bytes Generated(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i * 29 + (i >> 4) * 7 + 3) & 0xFF);
    return bytes;
}

// Expected outputs in data/pixel_layout/ were produced once by ffmpeg 5.1 (not a dependency) from
// inputs written with the generator above (N bytes: 256 for yuyv422/yuv422p, 192 for
// nv12/nv21/yuv420p, 384 for rgb24/bgr24):
// clang-format off
//   python3 -c "import sys; open(sys.argv[1],'wb').write(bytes(((i*29+(i>>4)*7+3)&255) for i in range(int(sys.argv[2]))))" in_SRC.raw N
//   ffmpeg -v error -y -f rawvideo -pix_fmt SRC -s 16x8 -i in_SRC.raw -f rawvideo -pix_fmt DST out_SRC_to_DST.raw
// clang-format on
// for yuyv422 -> yuv422p, yuv422p -> yuyv422, nv12 -> yuv420p, nv21 -> yuv420p, yuv420p -> nv12,
// yuv420p -> nv21; and for rgb24|bgr24 -> rgb565le|rgb555le with "-vf scale=flags=fast_bilinear"
// before the output's "-f rawvideo", so that ffmpeg packs exactly instead of dithering.
Bytes Expected(const char* name) {
    auto path = std::filesystem::path(ORBO_SOURCE_DIR) / "tests/common/misc/data/pixel_layout" / name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << "missing " << path;
    return ReadWholeFileBytes(path);
}

constexpr int kW = 16;
constexpr int kH = 8;

Bytes Word(unsigned v) {
    Bytes word;
    AppendLe16(word, static_cast<uint16_t>(v));
    return word;
}

}  // namespace

TEST(PixelLayout, PackedAndPlanarYuvEqualFfmpeg) {
    Bytes out(256, 0);
    YUYVToYUV_422(kW, kH, Generated(256).data(), out.data(), 0);
    EXPECT_EQ(out, Expected("out_yuyv422_to_yuv422p.raw"));

    YUVToYUYV_422(kW, kH, Generated(256).data(), 0, out.data());
    EXPECT_EQ(out, Expected("out_yuv422p_to_yuyv422.raw"));
}

TEST(PixelLayout, SemiPlanarEqualFfmpeg) {
    struct Case {
        const char* file;
        int order;
        bool toPlanar;
    };
    const Case cases[] = {
        {"out_nv12_to_yuv420p.raw", 0, true},
        {"out_nv21_to_yuv420p.raw", 1, true},
        {"out_yuv420p_to_nv12.raw", 0, false},
        {"out_yuv420p_to_nv21.raw", 1, false},
    };
    for (const Case& c : cases) {
        Bytes out(192, 0);
        if (c.toPlanar) {
            YUV420SPToYUV420(kW, kH, Generated(192).data(), out.data(), c.order);
        } else {
            YUV420ToYUV420SP(kW, kH, Generated(192).data(), c.order, out.data());
        }
        EXPECT_EQ(out, Expected(c.file)) << c.file;
    }
}

TEST(PixelLayout, Rgb24To16BitEqualsFfmpeg) {
    using Convert = void (*)(int, int, const uint8_t*, uint8_t*, int, int, int);
    struct Case {
        const char* file;
        Convert convert;
        int order;
    };
    // rgb24 holds R, G, B: the order flag puts b0 into the high field. bgr24 is the flag clear.
    const Case cases[] = {
        {"out_rgb24_to_rgb565le.raw", RGB888ToRGB565, 1},
        {"out_rgb24_to_rgb555le.raw", RGB888ToRGB555, 1},
        {"out_bgr24_to_rgb565le.raw", RGB888ToRGB565, 0},
        {"out_bgr24_to_rgb555le.raw", RGB888ToRGB555, 0},
    };
    for (const Case& c : cases) {
        Bytes out(256, 0);
        c.convert(kW, kH, Generated(384).data(), out.data(), 3 * kW, 2 * kW, c.order);
        EXPECT_EQ(out, Expected(c.file)) << c.file;
    }
}

TEST(PixelLayout, SixteenBitPackingsOfSinglePixels) {
    struct Case {
        const char* what;
        Bytes result;
        Bytes expected;
    };
    auto run = [](auto convert, Bytes src, size_t dstBytes, int flag) {
        Bytes dst(dstBytes, 0xCC);
        convert(1, 1, src.data(), dst.data(), int(src.size()), int(dstBytes), flag);
        return dst;
    };
    const Case cases[] = {
        {"888->565 order set", run(RGB888ToRGB565, {0xFF, 0, 0}, 2, 1), Word(0xF800)},
        {"888->565 order clear", run(RGB888ToRGB565, {0xFF, 0, 0}, 2, 0), Word(0x001F)},
        {"888->555 middle", run(RGB888ToRGB555, {0, 0xFF, 0}, 2, 0), Word(0x03E0)},
        {"565->888 clear", run(RGB565ToRGB888, Word(0xF800), 3, 0), Bytes{0, 0, 0xF8}},
        {"565->888 set", run(RGB565ToRGB888, Word(0xF800), 3, 1), Bytes{0xF8, 0, 0}},
        {"565->888 middle", run(RGB565ToRGB888, Word(0x07E0), 3, 1), Bytes{0, 0xFC, 0}},
        {"555->888 set", run(RGB555ToRGB888, Word(0x7C00 | 0x8000), 3, 1), Bytes{0xF8, 0, 0}},
        {"555->888 clear", run(RGB555ToRGB888, Word(0x001F), 3, 0), Bytes{0xF8, 0, 0}},
        {"555->565", run(RGB555ToRGB565, Word(0x7FFF), 2, 0), Word(0xFFDF)},
        {"555->565 bit 15 ignored", run(RGB555ToRGB565, Word(0x8000), 2, 0), Word(0x0000)},
        {"565->555", run(RGB565ToRGB555, Word(0xFFFF), 2, 0), Word(0x7FFF)},
        {"565->555 drops low middle bit", run(RGB565ToRGB555, Word(0x0020), 2, 0), Word(0)},
        {"565->555 swap", run(RGB565ToRGB555, Word(0xF800), 2, 1), Word(0x001F)},
        {"555->565 swap", run(RGB555ToRGB565, Word(0x001F), 2, 1), Word(0xF800)},
        {"555->565 swap keeps middle", run(RGB555ToRGB565, Word(0x03E1), 2, 1),
         Word(0x0800 | 0x07C0)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.what;
}

TEST(PixelLayout, SixteenBitRoundTripKeepsTopBits) {
    // Every 16-bit pixel survives 565 -> 888 -> 565 and 555 -> 888 -> 555 (bit 15 cleared).
    Bytes words(2 * 65536);
    for (unsigned v = 0; v < 65536; ++v) WriteLe16(&words[2 * v], static_cast<uint16_t>(v));
    for (int order = 0; order < 2; ++order) {
        Bytes rgb(3 * 65536), back(2 * 65536);
        RGB565ToRGB888(256, 256, words.data(), rgb.data(), 512, 768, order);
        RGB888ToRGB565(256, 256, rgb.data(), back.data(), 768, 512, order);
        EXPECT_EQ(back, words);
        RGB555ToRGB888(256, 256, words.data(), rgb.data(), 512, 768, order);
        RGB888ToRGB555(256, 256, rgb.data(), back.data(), 768, 512, order);
        for (unsigned v = 0; v < 65536; ++v) {
            ASSERT_EQ(ReadLe16(&back[2 * v]), v & 0x7FFF) << v;
        }
    }
}

TEST(PixelLayout, RgbStridesSkipPadding) {
    // Two rows of two pixels, source rows padded to 8 bytes, destination rows to 6.
    const Bytes src = {0xFF, 0, 0,    0,    0xFF, 0,    0xEE, 0xEE,
                       0,    0, 0xFF, 0xFF, 0xFF, 0xFF, 0xEE, 0xEE};
    Bytes dst(12, 0xAA);
    RGB888ToRGB565(2, 2, src.data(), dst.data(), 8, 6, 1);
    const Bytes expected = {0x00, 0xF8, 0xE0, 0x07, 0xAA, 0xAA, 0x1F, 0x00, 0xFF, 0xFF, 0xAA, 0xAA};
    EXPECT_EQ(dst, expected);
}

TEST(PixelLayout, RgbFunctionsRefuseBadArguments) {
    const Bytes src(64, 0xFF);
    Bytes dst(64, 0x11);
    RGB888ToRGB565(0, 2, src.data(), dst.data(), 6, 4, 0);
    RGB888ToRGB565(2, -1, src.data(), dst.data(), 6, 4, 0);
    RGB888ToRGB565(2, 2, nullptr, dst.data(), 6, 4, 0);
    RGB888ToRGB565(2, 2, src.data(), dst.data(), 5, 4, 0);  // source rows overlap
    RGB565ToRGB888(2, 2, src.data(), dst.data(), 4, 5, 0);  // destination rows overlap
    RGB565ToRGB555(2, 2, src.data(), dst.data(), -4, 4, 0);
    RGB555ToRGB565(2, 2, src.data(), nullptr, 4, 4, 0);
    EXPECT_EQ(dst, Bytes(64, 0x11));
}

TEST(PixelLayout, YuvPlanesAreAveragedAndDuplicated) {
    // 4 x 2 image, 4:2:2 planar U first: Y 8 bytes, U 2x2, V 2x2.
    const Bytes yuv422 = {1, 2, 3, 4, 5, 6, 7, 8, 10, 20, 13, 21, 30, 40, 31, 43};
    Bytes yuv420(12, 0);
    YUV422ToYUV420(4, 2, yuv422.data(), 0, yuv420.data(), 0);
    EXPECT_EQ(yuv420, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 11, 20, 30, 41}));

    // Source V first, destination U first: the U plane still goes to the U plane.
    const Bytes vFirst = {1, 2, 3, 4, 5, 6, 7, 8, 30, 40, 31, 43, 10, 20, 13, 21};
    std::fill(yuv420.begin(), yuv420.end(), 0);
    YUV422ToYUV420(4, 2, vFirst.data(), 1, yuv420.data(), 0);
    EXPECT_EQ(yuv420, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 11, 20, 30, 41}));

    Bytes back(16, 0);
    YUV420ToYUV422(4, 2, yuv420.data(), 0, back.data(), 1);
    EXPECT_EQ(back, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 30, 41, 30, 41, 11, 20, 11, 20}));
}

TEST(PixelLayout, YuyvTo420TakesChromaFromFirstRowOfPair) {
    // 2 x 2 YUYV: row 0 = Y 1, U 10, Y 2, V 20; row 1 = Y 3, U 99, Y 4, V 98.
    const Bytes yuyv = {1, 10, 2, 20, 3, 99, 4, 98};
    Bytes out(6, 0);
    YUYV422ToYUV420(2, 2, yuyv.data(), out.data(), 0);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 10, 20}));
    YUYV422ToYUV420(2, 2, yuyv.data(), out.data(), 1);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 20, 10}));
}

TEST(PixelLayout, SemiPlanarOrderFlagPicksPlane) {
    const Bytes sp = {1, 1, 1, 1, 1, 2};
    Bytes out(6, 0);
    YUV420SPToYUV420(2, 2, sp.data(), out.data(), 0);
    EXPECT_EQ(out, (Bytes{1, 1, 1, 1, 1, 2}));
    YUV420SPToYUV420(2, 2, sp.data(), out.data(), 1);
    EXPECT_EQ(out, (Bytes{1, 1, 1, 1, 2, 1}));
}

TEST(PixelLayout, OddSizesLeaveTheLastColumnAndRowUntouched) {
    // 3 x 3 YUYV rows are 6 bytes: one pair and one lone pixel.
    const Bytes yuyv = {1, 50, 2, 60, 3, 70, 4, 51, 5, 61, 6, 71, 7, 52, 8, 62, 9, 72};
    Bytes planar(9 + 3 + 3, 0xEE);
    YUYVToYUV_422(3, 3, yuyv.data(), planar.data(), 0);
    EXPECT_EQ(planar, (Bytes{1, 2, 0xEE, 4, 5, 0xEE, 7, 8, 0xEE, 50, 51, 52, 60, 61, 62}));

    Bytes packed(18, 0xEE);
    YUVToYUYV_422(3, 3, planar.data(), 0, packed.data());
    EXPECT_EQ(packed, (Bytes{1, 50, 2, 60, 0xEE, 0xEE, 4, 51, 5, 61, 0xEE, 0xEE, 7, 52, 8, 62, 0xEE,
                             0xEE}));

    Bytes yuv420(9 + 1 + 1, 0xEE);
    YUYV422ToYUV420(3, 3, yuyv.data(), yuv420.data(), 0);
    EXPECT_EQ(yuv420, (Bytes{1, 2, 0xEE, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE, 50, 60}));

    // Whole Y planes are copied whole; the 3 x 3 4:2:0 chroma is one sample per plane.
    Bytes from422(11, 0xEE);
    YUV422ToYUV420(3, 3, planar.data(), 0, from422.data(), 0);
    EXPECT_EQ(from422, (Bytes{1, 2, 0xEE, 4, 5, 0xEE, 7, 8, 0xEE, 50, 60}));
    Bytes to422(15, 0xEE);
    YUV420ToYUV422(3, 3, from422.data(), 0, to422.data(), 0);
    EXPECT_EQ(to422, (Bytes{1, 2, 0xEE, 4, 5, 0xEE, 7, 8, 0xEE, 50, 50, 0xEE, 60, 60, 0xEE}));
}

TEST(PixelLayout, YuvFunctionsIgnoreNullBuffersAndTakeMagnitudes) {
    const Bytes src = {1, 10, 2, 20};
    Bytes dst(4, 0x33);
    YUYVToYUV_422(2, 1, nullptr, dst.data(), 0);
    YUYVToYUV_422(2, 1, src.data(), nullptr, 0);
    YUVToYUYV_422(2, 1, nullptr, 0, dst.data());
    YUYV422ToYUV420(2, 2, nullptr, dst.data(), 0);
    YUV422ToYUV420(2, 2, nullptr, 0, dst.data(), 0);
    YUV420ToYUV422(2, 2, src.data(), 0, nullptr, 0);
    YUV420SPToYUV420(2, 2, nullptr, dst.data(), 0);
    YUV420ToYUV420SP(2, 2, src.data(), 0, nullptr);
    EXPECT_EQ(dst, Bytes(4, 0x33));
    YUYVToYUV_422(-2, -1, src.data(), dst.data(), 0);
    EXPECT_EQ(dst, (Bytes{1, 2, 10, 20}));
}
