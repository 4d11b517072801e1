// ctest-labels: gui
#include "platform/gdiplus_codecs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/qt_test_app.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"
#include "support/wide_text.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

class GdiplusCodecsTest : public GuiTest {
protected:
    TempDir m_dir;
};

TEST_F(GdiplusCodecsTest, PictureTypeByExtension) {
    const struct {
        const char* path;
        int type;
    } cases[] = {
        {"a.bmp", kPictureBmp}, {"A.JPG", kPictureJpeg},      {"x/y.jpeg", kPictureJpeg},
        {"p.Gif", kPictureGif}, {"t.tiff", kPictureTiff},     {"t.TIF", kPictureTiff},
        {"q.png", kPicturePng}, {"noext", kPicturePng},       {"dir.d/name", kPicturePng},
        {"x.xyz", kPicturePng}, {"dir.d\\name", kPicturePng}, {"", kPicturePng},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.type, Gdiplus_GetPictureTypeByFileNameA(c.path));
        const std::u16string wide(c.path, c.path + std::char_traits<char>::length(c.path));
        EXPECT_EQ(c.type, Gdiplus_GetPictureTypeByFileNameW(wide.c_str()));
    }
    EXPECT_EQ(kPicturePng, Gdiplus_GetPictureTypeByFileNameA(nullptr));
    EXPECT_EQ(kPicturePng, Gdiplus_GetPictureTypeByFileNameW(nullptr));
}

struct RoundTrip {
    const char* name;        // file name: the extension chooses the format
    const char* magic;       // the file's first bytes
    int tolerance;           // per channel
    bool keepsTransparency;  // fully transparent pixels come back transparent
    bool lossy;              // tested on a smooth opaque picture
};

// An opaque gradient, which a lossy format keeps closely.
UniqueBitmap Smooth() {
    return MakeBitmap(16, 16, [](int x, int y) { return qRgb(60 + x * 8, 90 + y * 6, 120); });
}

// A picture with few colours (so that GIF keeps them exactly) and a transparent corner.
UniqueBitmap FewColours() {
    return MakeBitmap(9, 7, [](int x, int y) {
        if (x == 0 && y == 0) return qRgba(0, 0, 0, 0);
        return qRgb((x % 3) * 100, (y % 4) * 60, 40);
    });
}

TEST_F(GdiplusCodecsTest, EveryFormatRoundTripsByItsExtension) {
    const RoundTrip cases[] = {
        {"pic.png", "\x89PNG", 0, true, false},
        {"pic.PNG", "\x89PNG", 0, true, false},
        {"pic.bmp", "BM", 0, false, false},
        {"pic.gif", "GIF89a", 0, true, false},
        {"pic.Gif", "GIF89a", 0, true, false},
        {"pic.tif", "II*", 0, true, false},
        {"pic.tiff", "II*", 0, true, false},
        {"pic.jpg", "\xFF\xD8\xFF", 12, false, true},
        {"pic.JPEG", "\xFF\xD8\xFF", 12, false, true},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        UniqueBitmap source = c.lossy ? Smooth() : FewColours();
        const std::string path = m_dir.File(c.name);
        ASSERT_EQ(1, Gdiplus_SaveBitmapToFileA(source.get(), path.c_str()));
        EXPECT_EQ(1, Gdiplus_BitmapOK(source.get()));
        const std::string bytes = ReadWholeFile(path);
        EXPECT_EQ(bytes.substr(0, std::strlen(c.magic)), c.magic);
        UniqueBitmap loaded(Gdiplus_LoadBitmapFromFileA(path.c_str()));
        ASSERT_TRUE(loaded);
        ASSERT_EQ(loaded->size(), source->size());
        for (int y = 0; y < source->height(); ++y) {
            for (int x = 0; x < source->width(); ++x) {
                const QRgb want = source->pixel(x, y);
                const QRgb got = loaded->pixel(x, y);
                if (qAlpha(want) == 0) {
                    // Formats without transparency keep the colour and make it opaque.
                    EXPECT_EQ(qAlpha(got), c.keepsTransparency ? 0 : 255) << x << "," << y;
                    continue;
                }
                EXPECT_TRUE(Near(got, want, c.tolerance))
                    << x << "," << y << " " << std::hex << got << " " << want;
            }
        }
    }
}

TEST_F(GdiplusCodecsTest, GifOfManyColoursUsesTheColourCube) {
    // 64 x 64 pixels, 4096 colours: more than a GIF palette holds.
    UniqueBitmap source =
        MakeBitmap(64, 64, [](int x, int y) { return qRgb(x * 4, y * 4, (x + y) * 2); });
    const std::string path = m_dir.File("many.gif");
    ASSERT_EQ(1, Gdiplus_SaveBitmapToFileA(source.get(), path.c_str()));
    UniqueBitmap loaded(Gdiplus_LoadBitmapFromFileA(path.c_str()));
    ASSERT_TRUE(loaded);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb got = loaded->pixel(x, y);
            // Each channel is the nearest multiple of 51.
            ASSERT_TRUE(Near(got, source->pixel(x, y), 25)) << x << "," << y;
            ASSERT_EQ(qRed(got) % 51, 0);
            ASSERT_EQ(qBlue(got) % 51, 0);
        }
    }
}

TEST_F(GdiplusCodecsTest, UnknownExtensionIsNotSaved) {
    UniqueBitmap source = FewColours();
    for (const char* name : {"pic.xyz", "pic", "pic.", "dir.png/pic"}) {
        SCOPED_TRACE(name);
        const std::string path = m_dir.File(name);
        EXPECT_EQ(0, Gdiplus_SaveBitmapToFileA(source.get(), path.c_str()));
        EXPECT_EQ(kGpUnknownImageFormat, Gdiplus_BitmapLastError(source.get()));
        EXPECT_EQ(0, Gdiplus_BitmapOK(source.get()));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    EXPECT_EQ(1, Gdiplus_BitmapOK(source.get()));  // the status was cleared
}

TEST_F(GdiplusCodecsTest, UnwritableFileFailsAndKeepsNothing) {
    UniqueBitmap source = FewColours();
    const std::string missingFolder = m_dir.File("no/such/folder/pic.png");
    EXPECT_EQ(0, Gdiplus_SaveBitmapToFileA(source.get(), missingFolder.c_str()));
    EXPECT_EQ(kGpWin32Error, Gdiplus_BitmapLastError(source.get()));
    // A folder where the file should be: not replaced.
    std::filesystem::create_directory(m_dir.File("taken.png"));
    EXPECT_EQ(0, Gdiplus_SaveBitmapToFileA(source.get(), m_dir.File("taken.png").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("taken.png")));
    EXPECT_EQ(0, Gdiplus_SaveBitmapToFileA(source.get(), nullptr));
    EXPECT_EQ(kGpInvalidParameter, Gdiplus_BitmapLastError(source.get()));
    EXPECT_EQ(0, Gdiplus_SaveBitmapToFileA(nullptr, m_dir.File("x.png").c_str()));
    EXPECT_EQ(0, Gdiplus_SaveBitmapToFileW(nullptr, u"x.png"));
}

TEST_F(GdiplusCodecsTest, WidePathsWithBackslashes) {
    UniqueBitmap source = FewColours();
    std::filesystem::create_directory(m_dir.Path() / "sub");
    const std::string narrow = m_dir.File("sub") + "\\\xE5\x9B\xBE.png";  // "图.png"
    const std::u16string wide = WideText(narrow);
    ASSERT_EQ(1, Gdiplus_SaveBitmapToFileW(source.get(), wide.c_str()));
    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "sub" / "\xE5\x9B\xBE.png"));
    UniqueBitmap loaded(Gdiplus_LoadBitmapFromFileW(wide.c_str()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->pixel(4, 3), source->pixel(4, 3));
}

TEST_F(GdiplusCodecsTest, LoadDecidesTheFormatFromTheContent) {
    UniqueBitmap source = FewColours();
    const std::string png = m_dir.File("real.png");
    ASSERT_EQ(1, Gdiplus_SaveBitmapToFileA(source.get(), png.c_str()));
    std::filesystem::copy_file(png, m_dir.File("named.jpg"));
    UniqueBitmap loaded(Gdiplus_LoadBitmapFromFileA(m_dir.File("named.jpg").c_str()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->pixel(5, 5), source->pixel(5, 5));  // exact: decoded as PNG

    const std::string bytes = ReadWholeFile(png);
    UniqueBitmap fromData(Gdiplus_LoadBitmapFromData(bytes.data(), bytes.size()));
    ASSERT_TRUE(fromData);
    EXPECT_EQ(fromData->pixel(8, 6), source->pixel(8, 6));
}

TEST_F(GdiplusCodecsTest, BadInputsGiveNull) {
    const std::string garbage = m_dir.File("garbage.png");
    std::ofstream(garbage) << "this is not a picture at all";
    std::filesystem::create_directory(m_dir.File("folder.png"));
    std::ofstream(m_dir.File("empty.png")).flush();
    for (const std::string& path :
         {m_dir.File("missing.png"), garbage, m_dir.File("folder.png"), m_dir.File("empty.png")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromFileA(path.c_str()));
    }
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromFileA(nullptr));
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromFileW(nullptr));
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromFileW(u"/no/such/file.png"));
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromData(nullptr, 10));
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromData("x", 0));
    // The first half of a real PNG file.
    UniqueBitmap source = FewColours();
    ASSERT_EQ(1, Gdiplus_SaveBitmapToFileA(source.get(), m_dir.File("whole.png").c_str()));
    const std::string whole = ReadWholeFile(m_dir.File("whole.png"));
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromData(whole.data(), whole.size() / 2));
    const std::string text = "GIF89a but nothing after";
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromData(text.data(), text.size()));
}

}  // namespace
