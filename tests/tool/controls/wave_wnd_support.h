// Helpers of the plot window's gui tests: a shown window with a plot, a plain configuration,
// pixel counting and image comparison. Header-only (Qt).
#pragma once

#include <gtest/gtest.h>
#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "controls/wave_wnd.h"
#include "draw/color_table.h"
#include "support/qt_test_app.h"
#include "tool/controls/controls_gui_support.h"

// Green 0xAABBGGRR, for curves.
constexpr uint32_t kTestGreenWave = 0xFF00FF00;

// A plot of wave length n showing doubles from yMin to yMax: one green wave of width 1 over
// black, no grid, no panels.
inline void ConfigurePlain(CWaveWnd* plot, int n, double yMin, double yMax) {
    plot->SetWaveCount(1);
    plot->SetWaveStyle(0, kTestGreenWave, 1);
    plot->SetBackground(1);
    plot->SetBackgroundColour(RGB(0, 0, 0));
    plot->SetGrid(0);
    plot->SetDoubleSamples();
    plot->SetYRange(yMin, yMax);
    plot->SetWaveLength(n);
    plot->Initialize();
    plot->RecreateImages();
}

inline int CountColour(const QImage& image, const QRect& within, QRgb colour) {
    int count = 0;
    const QRect r = within.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++count;
    return count;
}

// Pixels whose channels differ by more than `tolerance` in any channel (alpha ignored).
inline int DifferingPixels(const QImage& a, const QImage& b, int tolerance) {
    if (a.size() != b.size()) return a.width() * a.height() + 1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance ||
                std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance)
                ++differing;
        }
    return differing;
}

// A shown window holding a 320 x 200 plot at (0, 0).
class WaveWndFixture : public ::testing::Test {
protected:
    void SetUp() override {
        window = ShowActiveWindow(320, 200);
        ASSERT_NE(window, nullptr);
        plot = new CWaveWnd(window.get());
        plot->setGeometry(0, 0, 320, 200);
        plot->show();
    }
    void TearDown() override {
        window.reset();
        ProcessPendingEvents();
    }

    std::unique_ptr<QWidget> window;
    CWaveWnd* plot = nullptr;
};
