#include "misc/gif_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "support/log_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Colour {
    uint8_t r, g, b;
};

// ---- a small GIF writer of our own, independent of giflib ----

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    std::string rows;  // one character per pixel: '0'..'9' give the colour index, rows in order
    bool interlace = false;
    bool control = true;  // write a graphic control extension
    int disposal = 0;
    int transparent = -1;
    int delayCs = 0;
    std::vector<Colour> localMap = {};
};

struct GifSpec {
    int width = 4, height = 4;
    std::vector<Colour> globalMap;
    int background = 0;
    std::vector<Frame> frames;
    bool trailer = true;
};

// Colour table bits for a map (at least 2 entries); the table is padded with black.
int TableBits(size_t colours) {
    int bits = 1;
    while ((size_t(1) << bits) < colours) ++bits;
    return bits;
}

void PutTable(Bytes& out, const std::vector<Colour>& map) {
    size_t size = size_t(1) << TableBits(map.size());
    for (size_t i = 0; i < size; ++i) {
        Colour c = i < map.size() ? map[i] : Colour{0, 0, 0};
        out.insert(out.end(), {c.r, c.g, c.b});
    }
}

// LZW without compression: every index is a literal code, and a clear code comes before the
// table would make the codes one bit wider.
void PutImageData(Bytes& out, const Bytes& indices, int minCodeSize) {
    const int clear = 1 << minCodeSize;
    const int width = minCodeSize + 1;
    Bytes packed;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](int code) {
        acc |= uint32_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            packed.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    int sinceClear = 0;
    emit(clear);
    for (uint8_t index : indices) {
        if (sinceClear == clear - 2) {
            emit(clear);
            sinceClear = 0;
        }
        emit(index);
        ++sinceClear;
    }
    emit(clear + 1);
    if (bits > 0) packed.push_back(uint8_t(acc));
    out.push_back(uint8_t(minCodeSize));
    for (size_t i = 0; i < packed.size(); i += 255) {
        size_t n = std::min<size_t>(255, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + i, packed.begin() + i + n);
    }
    out.push_back(0);
}

Bytes MakeGif(const GifSpec& spec) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    AppendLe16(out, static_cast<uint16_t>(spec.width));
    AppendLe16(out, static_cast<uint16_t>(spec.height));
    if (spec.globalMap.empty()) {
        out.insert(out.end(), {0x00, uint8_t(spec.background), 0});
    } else {
        int bits = TableBits(spec.globalMap.size());
        out.insert(out.end(), {uint8_t(0x80 | 0x70 | (bits - 1)), uint8_t(spec.background), 0});
        PutTable(out, spec.globalMap);
    }
    for (const Frame& f : spec.frames) {
        if (f.control) {
            uint8_t packed = uint8_t((f.disposal << 2) | (f.transparent >= 0 ? 1 : 0));
            out.insert(out.end(), {0x21, 0xF9, 0x04, packed});
            AppendLe16(out, static_cast<uint16_t>(f.delayCs));
            out.insert(out.end(), {uint8_t(f.transparent >= 0 ? f.transparent : 0), 0x00});
        }
        out.push_back(0x2C);
        AppendLe16(out, static_cast<uint16_t>(f.left));
        AppendLe16(out, static_cast<uint16_t>(f.top));
        AppendLe16(out, static_cast<uint16_t>(f.width));
        AppendLe16(out, static_cast<uint16_t>(f.height));
        int bits = TableBits(f.localMap.empty() ? spec.globalMap.size() : f.localMap.size());
        uint8_t packed = f.interlace ? 0x40 : 0x00;
        if (!f.localMap.empty()) packed |= uint8_t(0x80 | (TableBits(f.localMap.size()) - 1));
        out.push_back(packed);
        if (!f.localMap.empty()) PutTable(out, f.localMap);
        // Rows in file order: interlaced frames are stored pass by pass.
        Bytes indices;
        auto putRow = [&](int y) {
            for (int x = 0; x < f.width; ++x)
                indices.push_back(uint8_t(f.rows[y * f.width + x] - '0'));
        };
        if (f.interlace) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int y = start[pass]; y < f.height; y += step[pass]) putRow(y);
            }
        } else {
            for (int y = 0; y < f.height; ++y) putRow(y);
        }
        PutImageData(out, indices, std::max(2, bits));
    }
    if (spec.trailer) out.push_back(0x3B);
    return out;
}

// ---- expected canvases written as letters ----

const Colour kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kWhite{255, 255, 255};
// Palette used by most tests: 0 black, 1 red, 2 green, 3 blue.
const std::vector<Colour> kPalette = {kBlack, kRed, kGreen, kBlue};

uint32_t Pixel(char c) {
    switch (c) {
        case 'K':
            return 0xFF000000;
        case 'R':
            return 0xFFFF0000;
        case 'G':
            return 0xFF00FF00;
        case 'B':
            return 0xFF0000FF;
        case 'W':
            return 0xFFFFFFFF;
        default:
            return 0;  // '.': never drawn
    }
}

std::vector<uint32_t> Canvas(const std::string& letters) {
    std::vector<uint32_t> pixels;
    for (char c : letters) {
        if (c != ' ') pixels.push_back(Pixel(c));
    }
    return pixels;
}

std::vector<uint32_t> CanvasOf(CGifDecoder& decoder) {
    size_t n = size_t(decoder.GetGifWidth()) * size_t(decoder.GetGifHeight());
    std::vector<uint32_t> pixels(n);
    const uint8_t* bytes = decoder.GetGifFrameBuffer();
    if (bytes) std::memcpy(pixels.data(), bytes, n * 4);
    return pixels;
}

std::string Fill(int n, char c) {
    return std::string(size_t(n), c);
}

CGifDecoder* Load(CGifDecoder& decoder, const GifSpec& spec) {
    Bytes gif = MakeGif(spec);
    EXPECT_TRUE(decoder.LoadFromGifData(gif.data(), int(gif.size())));
    return &decoder;
}

}  // namespace

TEST(CGifDecoder, SingleFrameIsRedrawnOnEveryCallOnAClearedCanvas) {
    GifSpec spec;
    spec.width = 3, spec.height = 2;
    spec.globalMap = kPalette;
    spec.frames = {{.left = 1, .top = 0, .width = 2, .height = 2, .rows = "1223"}};
    CGifDecoder decoder;
    Load(decoder, spec);
    EXPECT_TRUE(decoder.IsLoad());
    EXPECT_EQ(decoder.GetGifWidth(), 3);
    EXPECT_EQ(decoder.GetGifHeight(), 2);
    EXPECT_EQ(decoder.GetFrameCount(), 1);
    EXPECT_EQ(decoder.GetDelayTimeMS(), 100);
    for (int round = 0; round < 3; ++round) {
        decoder.DecNextFrame(false);
        EXPECT_EQ(decoder.GetCurFrameIndex(), 0);
        EXPECT_EQ(CanvasOf(decoder), Canvas(".RG .GB"));
    }
}

TEST(CGifDecoder, SwapFlagChoosesTheChannelOrder) {
    GifSpec spec;
    spec.width = 1, spec.height = 1;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1"}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder)[0], 0xFFFF0000u);
    const uint8_t* bytes = decoder.GetGifFrameBuffer();  // B, G, R, A in memory
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 0xFF);
    decoder.DecNextFrame(true);
    EXPECT_EQ(CanvasOf(decoder)[0], 0xFF0000FFu);
}

TEST(CGifDecoder, DelayComesFromTheGraphicControlExtension) {
    GifSpec spec;
    spec.width = 1, spec.height = 1;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1", .delayCs = 0x32},
                   {.width = 1, .height = 1, .rows = "2", .delayCs = 7}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    EXPECT_EQ(decoder.GetDelayTimeMS(), 500);
    decoder.DecNextFrame(false);
    EXPECT_EQ(decoder.GetDelayTimeMS(), 70);
}

TEST(CGifDecoder, FramesCycleAndStartAgainOnAClearedCanvas) {
    GifSpec spec;
    spec.width = 2, spec.height = 1;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1"},
                   {.left = 1, .width = 1, .height = 1, .rows = "2"},
                   {.width = 1, .height = 1, .rows = "3"}};
    CGifDecoder decoder;
    Load(decoder, spec);
    ASSERT_EQ(decoder.GetFrameCount(), 3);
    const char* expected[] = {"R.", "RG", "BG", "R.", "RG"};
    const int index[] = {1, 2, 0, 1, 2};
    for (int i = 0; i < 5; ++i) {
        decoder.DecNextFrame(false);
        EXPECT_EQ(CanvasOf(decoder), Canvas(expected[i])) << "call " << i;
        EXPECT_EQ(decoder.GetCurFrameIndex(), index[i]) << "call " << i;
    }
    decoder.ResetGifFrameIndex();
    EXPECT_EQ(decoder.GetCurFrameIndex(), 0);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("R."));
}

TEST(CGifDecoder, DisposalMethodsUndoThePreviousFrame) {
    struct Case {
        const char* what;
        GifSpec spec;
        std::vector<std::string> canvases;  // after each DecNextFrame
    };
    const std::string red = Fill(16, '1');
    auto spec = [](std::vector<Frame> frames, std::vector<Colour> map = kPalette, int bg = 0) {
        GifSpec s;
        s.globalMap = std::move(map);
        s.background = bg;
        s.frames = std::move(frames);
        return s;
    };
    const Case cases[] = {
        {"0 and 1 leave the frame in place",
         spec({{.width = 4, .height = 4, .rows = red, .disposal = 0},
               {.left = 1, .top = 1, .width = 2, .height = 2, .rows = "2222", .disposal = 1},
               {.left = 3, .top = 3, .width = 1, .height = 1, .rows = "3"}}),
         {"RRRR RRRR RRRR RRRR", "RRRR RGGR RGGR RRRR", "RRRR RGGR RGGR RRRB"}},
        {"2 fills with the background colour when the file has no transparency",
         spec({{.width = 4, .height = 4, .rows = red},
               {.left = 1, .top = 1, .width = 2, .height = 2, .rows = "2222", .disposal = 2},
               {.left = 3, .top = 3, .width = 1, .height = 1, .rows = "2"}},
              kPalette, 3),
         {"RRRR RRRR RRRR RRRR", "RRRR RGGR RGGR RRRR", "RRRR RBBR RBBR RRRG"}},
        {"2 clears to 0 when any frame of the file is transparent",
         spec({{.width = 4, .height = 4, .rows = red, .disposal = 2},
               {.width = 1, .height = 1, .rows = "2", .transparent = 3}},
              kPalette, 3),
         {"RRRR RRRR RRRR RRRR", "G... .... .... ...."}},
        {"2 clears to 0 when the background index lies outside the map",
         spec({{.width = 4, .height = 4, .rows = red, .disposal = 2},
               {.width = 1, .height = 1, .rows = "2"}},
              {kBlack, kRed, kGreen}, 9),
         {"RRRR RRRR RRRR RRRR", "G... .... .... ...."}},
        {"3 restores the canvas saved after the last frame with disposal 1",
         spec({{.width = 4, .height = 4, .rows = red, .disposal = 1},
               {.width = 2, .height = 2, .rows = "2222", .disposal = 3},
               {.left = 3, .top = 3, .width = 1, .height = 1, .rows = "3", .disposal = 3},
               {.left = 2, .top = 0, .width = 1, .height = 1, .rows = "0"}}),
         {"RRRR RRRR RRRR RRRR", "GGRR GGRR RRRR RRRR", "RRRR RRRR RRRR RRRB",
          "RRKR RRRR RRRR RRRR"}},
        {"3 without an earlier disposal 1 restores the cleared canvas",
         spec({{.width = 4, .height = 4, .rows = red, .disposal = 3},
               {.left = 1, .top = 1, .width = 1, .height = 1, .rows = "2"}}),
         {"RRRR RRRR RRRR RRRR", ".... .G.. .... ...."}},
    };
    for (const Case& c : cases) {
        CGifDecoder decoder;
        Load(decoder, c.spec);
        ASSERT_EQ(decoder.GetFrameCount(), int(c.canvases.size())) << c.what;
        for (size_t i = 0; i < c.canvases.size(); ++i) {
            decoder.DecNextFrame(false);
            EXPECT_EQ(CanvasOf(decoder), Canvas(c.canvases[i])) << c.what << ", frame " << i;
        }
    }
}

TEST(CGifDecoder, DisposalTwoWithoutGlobalMapClearsToZero) {
    GifSpec spec;
    spec.width = 2, spec.height = 1;
    spec.background = 1;
    spec.frames = {{.width = 2, .height = 1, .rows = "11", .disposal = 2, .localMap = kPalette},
                   {.width = 1, .height = 1, .rows = "1", .localMap = {kWhite, kBlue}}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("RR"));
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("B."));
}

TEST(CGifDecoder, TransparentAndOutOfPaletteIndicesKeepTheCanvas) {
    GifSpec spec;
    spec.width = 4, spec.height = 1;
    spec.globalMap = kPalette;
    // The second frame's local map has two colours (white, green); index 3 lies outside it.
    spec.frames = {
        {.width = 4, .height = 1, .rows = "1111"},
        {.width = 4, .height = 1, .rows = "0132", .transparent = 2, .localMap = {kWhite, kGreen}}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("WGRR"));
}

TEST(CGifDecoder, InterlacedFramesLandOnTheirRows) {
    // Ten rows of one pixel, row y coloured with index y % 4 and the last two white-on-black.
    const std::string rows = "0123012345";
    const std::vector<Colour> map = {kBlack, kRed, kGreen, kBlue, kWhite, kWhite};
    for (bool interlace : {false, true}) {
        GifSpec spec;
        spec.width = 2, spec.height = 10;
        spec.globalMap = map;
        spec.frames = {{.left = 1, .width = 1, .height = 10, .rows = rows, .interlace = interlace}};
        CGifDecoder decoder;
        Load(decoder, spec);
        decoder.DecNextFrame(false);
        EXPECT_EQ(CanvasOf(decoder), Canvas(".K .R .G .B .K .R .G .B .W .W"))
            << (interlace ? "interlaced" : "sequential");
    }
}

TEST(CGifDecoder, InterlacedMultiColumnFrameMatchesItsRows) {
    GifSpec spec;
    spec.width = 3, spec.height = 5;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 3,
                    .height = 5,
                    .rows = "123"
                            "230"
                            "301"
                            "012"
                            "111",
                    .interlace = true}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("RGB GBK BKR KRG RRR"));
}

TEST(CGifDecoder, FrameWithoutAnyColourMapIsSkippedWithALogLine) {
    GifSpec spec;
    spec.width = 2, spec.height = 1;
    spec.frames = {{.width = 2, .height = 1, .rows = "11", .localMap = kPalette},
                   {.width = 2, .height = 1, .rows = "22"},
                   {.left = 1, .width = 1, .height = 1, .rows = "3", .localMap = kPalette}};
    LogCapture log;
    CGifDecoder decoder;
    Load(decoder, spec);
    EXPECT_TRUE(log.Has("frame 1 has no colour map")) << log.All();
    EXPECT_EQ(decoder.GetFrameCount(), 3);
    decoder.DecNextFrame(false);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("RR"));
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("RB"));
}

TEST(CGifDecoder, FrameOutsideTheScreenIsNotDrawnAndTheNextFrameStillIs) {
    GifSpec spec;
    spec.width = 2, spec.height = 2;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 2, .height = 2, .rows = "1111", .disposal = 2},
                   {.left = 1, .top = 1, .width = 2, .height = 1, .rows = "22"},
                   {.left = 0, .top = 1, .width = 1, .height = 1, .rows = "3"}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    decoder.DecNextFrame(false);
    // Not drawn, and the previous frame's disposal is not applied either.
    EXPECT_EQ(CanvasOf(decoder), Canvas("RR RR"));
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("RR BR"));
}

TEST(CGifDecoder, FileWithoutTrailerCountsNoFramesAndRepeatsTheFirst) {
    GifSpec spec;
    spec.width = 2, spec.height = 1;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1"},
                   {.left = 1, .width = 1, .height = 1, .rows = "2"}};
    spec.trailer = false;
    CGifDecoder decoder;
    Load(decoder, spec);
    EXPECT_EQ(decoder.GetFrameCount(), 0);
    for (int i = 0; i < 3; ++i) {
        decoder.DecNextFrame(false);
        EXPECT_EQ(decoder.GetCurFrameIndex(), 0);
        EXPECT_EQ(CanvasOf(decoder), Canvas("R."));
    }
}

TEST(CGifDecoder, DamagedDataAfterTheFirstFrameCountsNoFrames) {
    GifSpec spec;
    spec.width = 1, spec.height = 1;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1"}};
    Bytes gif = MakeGif(spec);
    gif.back() = 0x99;  // an unknown record instead of the trailer
    CGifDecoder decoder;
    ASSERT_TRUE(decoder.LoadFromGifData(gif.data(), int(gif.size())));
    EXPECT_EQ(decoder.GetFrameCount(), 0);
    decoder.DecNextFrame(false);
    EXPECT_EQ(CanvasOf(decoder), Canvas("R"));
}

TEST(CGifDecoder, RefusesDataThatIsNoGif) {
    GifSpec spec;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1"}};
    Bytes gif = MakeGif(spec);
    Bytes notGif = gif;
    notGif[0] = 'J';
    CGifDecoder decoder;
    EXPECT_FALSE(decoder.LoadFromGifData(notGif.data(), int(notGif.size())));
    EXPECT_FALSE(decoder.IsLoad());
    EXPECT_FALSE(decoder.LoadFromGifData(gif.data(), 0));
    EXPECT_FALSE(decoder.LoadFromGifData(nullptr, 10));
    EXPECT_FALSE(decoder.LoadFromGifData(gif.data(), 8));  // screen descriptor cut short
    EXPECT_FALSE(decoder.IsLoad());
    EXPECT_EQ(decoder.GetGifFrameBuffer(), nullptr);
    decoder.DecNextFrame(false);  // nothing loaded: nothing happens
}

TEST(CGifDecoder, RefusesALogicalScreenBeyondTheCanvasLimit) {
    GifSpec spec;
    spec.width = 65535, spec.height = 65535;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1"}};
    Bytes gif = MakeGif(spec);
    CGifDecoder decoder;
    EXPECT_FALSE(decoder.LoadFromGifData(gif.data(), int(gif.size())));
    EXPECT_FALSE(decoder.IsLoad());
    EXPECT_EQ(decoder.GetGifWidth(), 0);
}

TEST(CGifDecoder, UnloadForgetsEverything) {
    GifSpec spec;
    spec.width = 2, spec.height = 2;
    spec.globalMap = kPalette;
    spec.frames = {{.width = 1, .height = 1, .rows = "1", .delayCs = 3},
                   {.width = 1, .height = 1, .rows = "2"}};
    CGifDecoder decoder;
    Load(decoder, spec);
    decoder.DecNextFrame(false);
    EXPECT_EQ(decoder.GetDelayTimeMS(), 30);
    decoder.Unload();
    EXPECT_FALSE(decoder.IsLoad());
    EXPECT_EQ(decoder.GetGifWidth(), 0);
    EXPECT_EQ(decoder.GetGifHeight(), 0);
    EXPECT_EQ(decoder.GetFrameCount(), 0);
    EXPECT_EQ(decoder.GetCurFrameIndex(), 0);
    EXPECT_EQ(decoder.GetDelayTimeMS(), 100);
    EXPECT_EQ(decoder.GetGifFrameBuffer(), nullptr);
    // A new load works on the same object.
    Load(decoder, spec);
    EXPECT_EQ(decoder.GetFrameCount(), 2);
}
