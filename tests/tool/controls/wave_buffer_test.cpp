#include "controls/wave_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "draw/packed_point.h"

namespace {

using Point = std::pair<int, int>;

std::vector<double> Storage(CWaveBuffer& wave) {
    std::vector<double> out;
    double v = 0;
    for (int64_t i = 0; wave.GetSampleAt(i, &v); ++i) out.push_back(v);
    return out;
}

std::vector<int16_t> Ramp(int from, int count) {
    std::vector<int16_t> v(count);
    for (int i = 0; i < count; ++i) v[i] = int16_t(from + i);
    return v;
}

std::vector<double> Doubles(int from, int count) {
    std::vector<double> v(count);
    for (int i = 0; i < count; ++i) v[i] = from + i;
    return v;
}

std::vector<Point> Polyline(CWaveBuffer& wave, const WaveView& view, double* lo = nullptr,
                            double* hi = nullptr) {
    CPtrArrayCtrl list;
    wave.BuildPolyline(view, &list, lo, hi);
    std::vector<Point> out;
    for (int i = 0; i < list.GetCount(); ++i) {
        const PackedPoint p = SlotToPackedPoint(list.GetAt(i));
        out.push_back({PackedPointX(p), PackedPointY(p)});
    }
    return out;
}

WaveView View(RECT plot, double yMin, double yMax, int offset = 0, double zoom = 1.0) {
    WaveView v;
    v.plot = plot;
    v.yMin = yMin;
    v.yMax = yMax;
    v.xOffset = offset;
    v.xZoom = zoom;
    return v;
}

TEST(WaveBuffer, StartsUnconfiguredAndIgnoresInput) {
    CWaveBuffer wave;
    EXPECT_EQ(wave.GetSampleType(), 0);
    EXPECT_EQ(wave.GetFrameLength(), 0);
    EXPECT_EQ(wave.GetStoredFrames(), 2);
    EXPECT_EQ(wave.GetCapacity(), 0);
    const auto data = Ramp(1, 8);
    wave.AddSamples(data.data(), 8);
    EXPECT_EQ(wave.GetFramesReceived(), 0);
    int pos = -1;
    double value = 0, row = 0;
    EXPECT_EQ(wave.ValueAtColumn(View({0, 0, 10, 10}, -1, 1), 3, &pos, nullptr, &value, &row), 0);
    double lo = 5, hi = 5;
    EXPECT_TRUE(Polyline(wave, View({0, 0, 10, 10}, -1, 1), &lo, &hi).empty());
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
}

TEST(WaveBuffer, NewSamplesScrollInFromTheRight) {
    CWaveBuffer wave;
    wave.SetFrameLength(4);  // capacity 2 x 4
    ASSERT_EQ(wave.GetCapacity(), 8);
    const auto many = Ramp(1, 10);
    wave.AddSamples(many.data(), 10);  // more than the capacity: the last 8 stay
    EXPECT_EQ(Storage(wave), (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10}));
    const auto two = Ramp(11, 2);
    wave.AddSamples(two.data(), 2);  // fewer: the old content moves left by 2
    EXPECT_EQ(Storage(wave), (std::vector<double>{5, 6, 7, 8, 9, 10, 11, 12}));
    wave.AddSamples(two.data(), 0);
    wave.AddSamples(nullptr, 3);
    EXPECT_EQ(Storage(wave), (std::vector<double>{5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(WaveBuffer, WholeFramesOnlyKeepsThePartialFramePending) {
    CWaveBuffer wave;
    wave.SetFrameLength(16);
    wave.SetWholeFramesOnly(1);
    const auto first = Ramp(0, 40);
    wave.AddSamples(first.data(), 40);
    EXPECT_EQ(wave.GetPendingSamples(), 8);
    EXPECT_EQ(Storage(wave), Doubles(0, 32));
    const auto second = Ramp(40, 8);
    wave.AddSamples(second.data(), 8);
    EXPECT_EQ(wave.GetPendingSamples(), 0);
    EXPECT_EQ(Storage(wave), Doubles(16, 32));
    // A few samples at a time: nothing moves until the frame is whole.
    const auto third = Ramp(48, 10);
    wave.AddSamples(third.data(), 10);
    EXPECT_EQ(wave.GetPendingSamples(), 10);
    EXPECT_EQ(Storage(wave), Doubles(16, 32));
    const auto fourth = Ramp(58, 20);
    wave.AddSamples(fourth.data(), 20);  // 30 waiting: one frame moves, 14 wait
    EXPECT_EQ(wave.GetPendingSamples(), 14);
    EXPECT_EQ(Storage(wave), Doubles(32, 32));
}

TEST(WaveBuffer, CountsWholeFramesWithOrWithoutWholeFramesOnly) {
    for (int flag : {0, 1}) {
        CWaveBuffer wave;
        wave.SetFrameLength(16);
        wave.SetWholeFramesOnly(flag);
        const auto a = Ramp(0, 40), b = Ramp(0, 8);
        wave.AddSamples(a.data(), 40);
        EXPECT_EQ(wave.GetFramesReceived(), 2) << flag;
        wave.AddSamples(b.data(), 8);
        EXPECT_EQ(wave.GetFramesReceived(), 3) << flag;
        wave.ClearSamples();  // keeps the counter, forgets the partial frame
        EXPECT_EQ(wave.GetFramesReceived(), 3) << flag;
        wave.AddSamples(b.data(), 8);
        wave.AddSamples(b.data(), 8);
        EXPECT_EQ(wave.GetFramesReceived(), 4) << flag;
        wave.ResetFramesReceived();
        EXPECT_EQ(wave.GetFramesReceived(), 0) << flag;
    }
}

TEST(WaveBuffer, ClearSamplesZeroesStorageAndPendingInput) {
    CWaveBuffer wave;
    wave.SetFrameLength(4);
    wave.SetWholeFramesOnly(1);
    const auto data = Ramp(1, 6);
    wave.AddSamples(data.data(), 6);
    ASSERT_EQ(wave.GetPendingSamples(), 2);
    wave.ClearSamples();
    EXPECT_EQ(wave.GetPendingSamples(), 0);
    EXPECT_EQ(Storage(wave), std::vector<double>(8, 0.0));
}

TEST(WaveBuffer, HistoryKeepsTheNewestFramesAtTheEnd) {
    CWaveBuffer wave;
    wave.SetFrameLength(4);
    const auto data = Ramp(1, 8);
    wave.AddSamples(data.data(), 8);  // two frames: 1..4 and 5..8
    wave.SetHistoryFrames(3);         // 4 frames: two older ones of zeros in front
    EXPECT_EQ(wave.GetStoredFrames(), 4);
    EXPECT_EQ(Storage(wave), (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
    const auto more = Ramp(9, 4);
    wave.AddSamples(more.data(), 4);
    wave.SetHistoryFrames(1);  // back to 2 frames: the newest two stay
    EXPECT_EQ(Storage(wave), (std::vector<double>{5, 6, 7, 8, 9, 10, 11, 12}));
    wave.SetHistoryFrames(0);  // at least one frame of history
    EXPECT_EQ(wave.GetStoredFrames(), 2);
    EXPECT_EQ(Storage(wave), (std::vector<double>{5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(WaveBuffer, HistoryChangeEmptiesPendingInput) {
    CWaveBuffer wave;
    wave.SetFrameLength(4);
    wave.SetWholeFramesOnly(1);
    const auto data = Ramp(1, 3);
    wave.AddSamples(data.data(), 3);
    ASSERT_EQ(wave.GetPendingSamples(), 3);
    wave.SetHistoryFrames(1);  // F stays 2: nothing happens
    EXPECT_EQ(wave.GetPendingSamples(), 3);
    wave.SetHistoryFrames(2);
    EXPECT_EQ(wave.GetPendingSamples(), 0);
}

TEST(WaveBuffer, ZoomedOutHistoryShowsTheNewestFrameAtTheRightEdge) {
    CWaveBuffer wave;
    wave.SetFrameLength(4);
    const auto data = Ramp(1, 8);
    wave.AddSamples(data.data(), 8);
    // Zoom 0.5 shows two frames; the plot keeps ceil(1 / zoom) frames of history.
    wave.SetHistoryFrames(2);
    const WaveView view = View({0, 0, 8, 9}, 0, 8, 0, 0.5);
    const auto points = Polyline(wave, view);
    // One column per sample 1..8: rows round(9 x (8 - v) / 8).
    std::vector<Point> expected;
    for (int x = 0; x < 8; ++x) expected.push_back({x, int(std::round(9 * (8 - (x + 1)) / 8.0))});
    EXPECT_EQ(points, expected);
    int pos = -1, type = -1;
    double value = 0, row = -1;
    ASSERT_EQ(wave.ValueAtColumn(view, 7, &pos, &type, &value, &row), 1);
    EXPECT_EQ(value, 8.0);
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(row, 0.0);
    EXPECT_EQ(type, 0);
}

TEST(WaveBuffer, PolylineOfAKnownFrame) {
    CWaveBuffer wave;
    wave.SetFrameLength(5);
    const int16_t frame[5] = {0, 10, 10, 10, -10};
    wave.AddSamples(frame, 5);
    const WaveView view = View({100, 50, 105, 70}, -10, 10);
    double lo = 0, hi = 0;
    // The run at row 0 keeps its first and last point; -10 lands on the last row.
    EXPECT_EQ(Polyline(wave, view, &lo, &hi),
              (std::vector<Point>{{100, 60}, {101, 50}, {103, 50}, {104, 69}}));
    EXPECT_EQ(lo, -10.0);
    EXPECT_EQ(hi, 10.0);
}

TEST(WaveBuffer, FlatSignalGivesItsFirstAndLastColumn) {
    CWaveBuffer wave;
    wave.SetFrameLength(64);
    const std::vector<int16_t> flat(64, 3);
    wave.AddSamples(flat.data(), 64);
    EXPECT_EQ(Polyline(wave, View({10, 20, 110, 60}, -10, 10)),
              (std::vector<Point>{{10, 34}, {109, 34}}));
}

TEST(WaveBuffer, PeaksSurviveDecimationAndPickTheLargerMagnitude) {
    struct Case {
        WaveSampleType type;
        double expectedMin, expectedMax;
    } cases[] = {
        {WaveSampleType::Int16, -7, 0},  // extremes of the chosen values
        {WaveSampleType::Int32, -7, 5},  // extremes of every sample
        {WaveSampleType::Double, -7, 5},
    };
    for (const auto& c : cases) {
        CWaveBuffer wave;
        wave.SetSampleType(c.type);
        wave.SetFrameLength(8);
        const double samples[8] = {0, 5, -7, 5, -7, 5, -7, 5};
        if (c.type == WaveSampleType::Int16) {
            int16_t s[8];
            for (int i = 0; i < 8; ++i) s[i] = int16_t(samples[i]);
            wave.AddSamples(s, 8);
        } else if (c.type == WaveSampleType::Int32) {
            int32_t s[8];
            for (int i = 0; i < 8; ++i) s[i] = int32_t(samples[i]);
            wave.AddSamples(s, 8);
        } else {
            wave.AddSamples(samples, 8);
        }
        // Two columns: column 1 stands for samples 1..7, alternating +5 / -7: drawn at -7.
        double lo = 0, hi = 0;
        EXPECT_EQ(Polyline(wave, View({0, 0, 2, 20}, -10, 10), &lo, &hi),
                  (std::vector<Point>{{0, 10}, {1, 17}}));
        EXPECT_EQ(lo, c.expectedMin);
        EXPECT_EQ(hi, c.expectedMax);
    }
}

TEST(WaveBuffer, ValueAtColumnReportsTheLastNewExtremeOfTheNeighbourhood) {
    CWaveBuffer wave;
    wave.SetFrameLength(5);
    const int16_t frame[5] = {0, 10, 10, 10, -10};
    wave.AddSamples(frame, 5);
    const WaveView view = View({100, 50, 105, 70}, -10, 10);
    struct Case {
        int px;
        int result, position;
        double value, row;
    } cases[] = {
        {0, 1, 1, 10, 0},    // positions 0..1: 0 (max), 10 (new max)
        {2, 1, 2, 10, 0},    // 1..3: 10 (max), 10 (below the untouched minimum), 10 skipped
        {4, 1, 4, -10, 19},  // 3..4: 10, then -10 as the new minimum, clamped to the last row
        {-1, 0, -1, 0, -1}, {5, 0, -1, 0, -1},
    };
    for (const auto& c : cases) {
        int pos = -1;
        double value = 0, row = -1;
        EXPECT_EQ(wave.ValueAtColumn(view, c.px, &pos, nullptr, &value, &row), c.result) << c.px;
        EXPECT_EQ(pos, c.position) << c.px;
        EXPECT_EQ(value, c.value) << c.px;
        EXPECT_EQ(row, c.row) << c.px;
    }
}

TEST(WaveBuffer, DegenerateViewsStayInsideThePlotAndTheStorage) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    CWaveBuffer wave;
    wave.SetSampleType(WaveSampleType::Double);
    wave.SetFrameLength(16);
    const auto data = Doubles(-8, 32);
    wave.AddSamples(data.data(), 32);
    const WaveView views[] = {
        View({0, 0, 1, 10}, -20, 20),            // one column
        View({0, 0, 10, 1}, -20, 20),            // one row
        View({0, 0, 1, 1}, -20, 20),             // one pixel
        View({0, 0, 10, 10}, 5, 5),              // equal Y limits
        View({0, 0, 10, 10}, nan, nan),          // no Y limits at all
        View({0, 0, 10, 10}, -20, 20, -5),       // offset before the frame
        View({0, 0, 10, 10}, -20, 20, 16),       // offset of a whole frame
        View({0, 0, 10, 10}, -20, 20, INT_MAX),  // far beyond
        View({0, 0, 10, 10}, -20, 20, 0, 1e-9),  // zoomed out beyond the storage
        View({0, 0, 10, 10}, -20, 20, 0, 16),    // one sample visible
        View({0, 0, 10, 10}, -20, 20, 0, 1000),  // none visible
        View({0, 0, 10, 10}, -20, 20, 0, 0),     // no zoom
        View({0, 0, 10, 10}, -20, 20, 0, nan),
        View({5, 5, 5, 10}, -20, 20),  // no width
        View({5, 5, 10, 5}, -20, 20),  // no height
    };
    for (size_t i = 0; i < std::size(views); ++i) {
        const WaveView& v = views[i];
        for (const auto& [x, y] : Polyline(wave, v)) {
            EXPECT_GE(x, v.plot.left) << i;
            EXPECT_LT(x, v.plot.right) << i;
            EXPECT_GE(y, v.plot.top) << i;
            EXPECT_LT(y, v.plot.bottom) << i;
        }
        const int width = v.plot.right - v.plot.left, height = v.plot.bottom - v.plot.top;
        for (int px = -1; px <= width; ++px) {
            int pos = -1;
            double row = -1;
            if (wave.ValueAtColumn(v, px, &pos, nullptr, nullptr, &row) && pos >= 0) {
                EXPECT_GE(row, 0) << i;
                EXPECT_LT(row, height) << i;
            }
        }
    }
    // What the degenerate cases draw.
    EXPECT_EQ(Polyline(wave, views[0]).size(), 1u);
    EXPECT_EQ(Polyline(wave, views[9]).size(), 1u);
    EXPECT_TRUE(Polyline(wave, views[10]).empty());
    EXPECT_TRUE(Polyline(wave, views[11]).empty());
    // Equal limits: samples above on the top row, below on the bottom row, on it in the middle.
    CWaveBuffer flat;
    flat.SetFrameLength(3);
    const int16_t three[3] = {9, 5, 1};
    flat.AddSamples(three, 3);
    EXPECT_EQ(Polyline(flat, View({0, 0, 3, 11}, 5, 5)),
              (std::vector<Point>{{0, 0}, {1, 5}, {2, 10}}));
}

TEST(WaveBuffer, SampleTypeChangesReallocateOnlyWhenTheSizeChanges) {
    CWaveBuffer wave;
    wave.SetFrameLength(4);
    const auto data = Ramp(1, 8);
    wave.AddSamples(data.data(), 8);
    wave.SetSampleType(static_cast<WaveSampleType>(7));  // unknown: 2 bytes like Int16
    EXPECT_EQ(Storage(wave), Doubles(1, 8));
    wave.SetSampleType(WaveSampleType::Int32);
    EXPECT_EQ(wave.GetCapacity(), 8);
    EXPECT_EQ(Storage(wave), std::vector<double>(8, 0.0));
    const int32_t big[4] = {100000, -100000, 7, 8};
    wave.AddSamples(big, 4);
    EXPECT_EQ(Storage(wave), (std::vector<double>{0, 0, 0, 0, 100000, -100000, 7, 8}));
}

TEST(WaveBuffer, RefusesStorageBeyondTheLimit) {
    CWaveBuffer wave;
    wave.SetSampleType(WaveSampleType::Double);
    wave.SetFrameLength(INT_MAX);
    EXPECT_EQ(wave.GetCapacity(), 0);
    const double one = 1;
    wave.AddSamples(&one, 1);
    EXPECT_EQ(wave.GetFramesReceived(), 0);
    wave.SetFrameLength(8);  // a sensible size works again
    EXPECT_EQ(wave.GetCapacity(), 16);
}

TEST(WaveBuffer, ProducerAndPainterRunConcurrently) {
    CWaveBuffer wave;
    wave.SetFrameLength(16);
    wave.SetWholeFramesOnly(1);
    constexpr int kFrames = 5000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        std::vector<int16_t> frame(16);
        for (int f = 0; f < kFrames; ++f) {
            for (int i = 0; i < 16; ++i) frame[i] = int16_t(f % 1000);
            // Split frames in two to exercise the pending input.
            wave.AddSamples(frame.data(), 5);
            wave.AddSamples(frame.data() + 5, 11);
        }
        done = true;
    });
    // The view shows the newest frame; every frame is flat, so a frame moved in whole gives
    // exactly its first and last column.
    const WaveView view = View({0, 0, 50, 30}, -1000, 1000);
    int paints = 0;
    while (!done || paints == 0) {
        CPtrArrayCtrl list;
        wave.BuildPolyline(view, &list, nullptr, nullptr);
        ASSERT_EQ(list.GetCount(), 2) << "paint " << paints;
        (void)wave.GetFramesReceived();
        ++paints;
    }
    producer.join();
    EXPECT_EQ(wave.GetFramesReceived(), kFrames);
    double newest = 0;
    ASSERT_EQ(wave.GetSampleAt(31, &newest), 1);
    EXPECT_EQ(newest, (kFrames - 1) % 1000);
}

}  // namespace
