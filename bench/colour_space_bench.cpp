// 24-bit RGB to planar YUV 4:2:0 and back on a 1920 x 1080 image, beside libyuv's RGB24ToI420 and
// I420ToRGB24 in the same run. libyuv's "RGB24" is B, G, R in memory, so ours runs with the BGR
// flag set; the planar layout (Y, U, V back to back) is I420. The results differ (libyuv rounds its
// coefficients differently): only the speed is compared. The RoundTrip benchmark times both
// libraries alternately in each iteration and reports libyuv's time divided by ours
// ("speed_vs_libyuv": 1.0 means as fast, above 1 faster).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "misc/colour_space.h"

#if __has_include(<libyuv.h>)
#include <libyuv.h>
#define ORBO_HAVE_LIBYUV 1
#endif

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRgbStride = kWidth * 3;
constexpr size_t kYSize = size_t(kWidth) * kHeight;
constexpr size_t kChromaSize = size_t(kWidth / 2) * (kHeight / 2);

struct Images {
    std::vector<uint8_t> rgb = std::vector<uint8_t>(size_t(kRgbStride) * kHeight);
    std::vector<uint8_t> yuv = std::vector<uint8_t>(kYSize + 2 * kChromaSize);
    std::vector<uint8_t> back = std::vector<uint8_t>(size_t(kRgbStride) * kHeight);
    Images() {
        uint32_t x = 12345;
        for (auto& b : rgb) {
            x = x * 1664525u + 1013904223u;
            b = uint8_t(x >> 24);
        }
        InitLookupTable();
    }
    uint8_t* Y() { return yuv.data(); }
    uint8_t* U() { return yuv.data() + kYSize; }
    uint8_t* V() { return yuv.data() + kYSize + kChromaSize; }
};

Images& Shared() {
    static Images images;
    return images;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * kRgbStride * kHeight);
}

void BM_Orbo_RGB888ToYUV420(benchmark::State& state) {
    Images& im = Shared();
    for (auto _ : state) {
        RGB888ToYUV420(kWidth, kHeight, im.rgb.data(), im.yuv.data(), 0, kRgbStride, 1);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Orbo_RGB888ToYUV420)->Unit(benchmark::kMillisecond);

void BM_Orbo_YUV420ToRGB888(benchmark::State& state) {
    Images& im = Shared();
    for (auto _ : state) {
        YUV420ToRGB888(kWidth, kHeight, im.yuv.data(), 0, im.back.data(), kRgbStride, 1);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Orbo_YUV420ToRGB888)->Unit(benchmark::kMillisecond);

#ifdef ORBO_HAVE_LIBYUV
void BM_Libyuv_RGB24ToI420(benchmark::State& state) {
    Images& im = Shared();
    for (auto _ : state) {
        libyuv::RGB24ToI420(im.rgb.data(), kRgbStride, im.Y(), kWidth, im.U(), kWidth / 2, im.V(),
                            kWidth / 2, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Libyuv_RGB24ToI420)->Unit(benchmark::kMillisecond);

void BM_Libyuv_I420ToRGB24(benchmark::State& state) {
    Images& im = Shared();
    for (auto _ : state) {
        libyuv::I420ToRGB24(im.Y(), kWidth, im.U(), kWidth / 2, im.V(), kWidth / 2, im.back.data(),
                            kRgbStride, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Libyuv_I420ToRGB24)->Unit(benchmark::kMillisecond);

// Both round trips, alternately, so that both see the same machine load.
void BM_RoundTrip(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Images& im = Shared();
    Clock::duration ours{}, theirs{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        RGB888ToYUV420(kWidth, kHeight, im.rgb.data(), im.yuv.data(), 0, kRgbStride, 1);
        YUV420ToRGB888(kWidth, kHeight, im.yuv.data(), 0, im.back.data(), kRgbStride, 1);
        benchmark::ClobberMemory();
        auto t1 = Clock::now();
        libyuv::RGB24ToI420(im.rgb.data(), kRgbStride, im.Y(), kWidth, im.U(), kWidth / 2, im.V(),
                            kWidth / 2, kWidth, kHeight);
        libyuv::I420ToRGB24(im.Y(), kWidth, im.U(), kWidth / 2, im.V(), kWidth / 2, im.back.data(),
                            kRgbStride, kWidth, kHeight);
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        ours += t1 - t0;
        theirs += t2 - t1;
    }
    double oursMs = std::chrono::duration<double, std::milli>(ours).count();
    double theirsMs = std::chrono::duration<double, std::milli>(theirs).count();
    state.counters["orbo_ms"] = oursMs / double(state.iterations());
    state.counters["libyuv_ms"] = theirsMs / double(state.iterations());
    state.counters["speed_vs_libyuv"] = oursMs > 0 ? theirsMs / oursMs : 0;
}
BENCHMARK(BM_RoundTrip)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
