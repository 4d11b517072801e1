// Raster primitives against pixman on a 1920 x 1080 32-bit image, in the same run:
// DrawColorOnBuffer vs pixman_fill, DrawBufferOnBuffer vs pixman_blt, and
// AlphaDrawBufferOnBuffer_ARGB vs pixman_image_composite32 with OVER. The compositing rules
// differ (ours is straight alpha in float, pixman's premultiplied in integers): that pair
// measures speed only. Both sides get the same random pixels with random alphas, so neither
// can skip through all-opaque or all-transparent stretches.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "draw/buffer_draw.h"

#if __has_include(<pixman.h>)
#include <pixman.h>
#define HAVE_PIXMAN 1
#endif

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kStride = kWidth * 4;
constexpr RECT kWhole = {0, 0, kWidth, kHeight};

std::vector<uint32_t> RandomPixels(uint32_t seed) {
    std::vector<uint32_t> px(size_t(kWidth) * kHeight);
    std::mt19937 rng(seed);
    for (auto& p : px) p = rng();
    return px;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * kStride * kHeight);
}

void BM_Fill_DrawColorOnBuffer(benchmark::State& state) {
    std::vector<uint32_t> dst(size_t(kWidth) * kHeight);
    uint32_t colour = 0xFF102030;
    for (auto _ : state) {
        DrawColorOnBuffer(colour++, dst.data(), kWhole, kStride);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Fill_DrawColorOnBuffer)->Unit(benchmark::kMicrosecond);

void BM_Copy_DrawBufferOnBuffer(benchmark::State& state) {
    const auto src = RandomPixels(1);
    std::vector<uint32_t> dst(src.size());
    for (auto _ : state) {
        DrawBufferOnBuffer(dst.data(), kWhole, kStride, src.data(), kWhole, kStride, 4);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Copy_DrawBufferOnBuffer)->Unit(benchmark::kMicrosecond);

void BM_Over_AlphaDrawBufferOnBuffer_ARGB(benchmark::State& state) {
    const auto src = RandomPixels(2);
    const auto start = RandomPixels(3);
    std::vector<uint32_t> dst(start.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(dst.data(), start.data(), start.size() * 4);
        state.ResumeTiming();
        AlphaDrawBufferOnBuffer_ARGB(dst.data(), kWhole, kStride, src.data(), kWhole, kStride);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Over_AlphaDrawBufferOnBuffer_ARGB)->Unit(benchmark::kMicrosecond);

#ifdef HAVE_PIXMAN

void BM_Fill_pixman_fill(benchmark::State& state) {
    std::vector<uint32_t> dst(size_t(kWidth) * kHeight);
    uint32_t colour = 0xFF102030;
    for (auto _ : state) {
        pixman_fill(dst.data(), kWidth, 32, 0, 0, kWidth, kHeight, colour++);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Fill_pixman_fill)->Unit(benchmark::kMicrosecond);

void BM_Copy_pixman_blt(benchmark::State& state) {
    auto src = RandomPixels(1);
    std::vector<uint32_t> dst(src.size());
    for (auto _ : state) {
        pixman_blt(src.data(), dst.data(), kWidth, kWidth, 32, 32, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    SetBytes(state);
}
BENCHMARK(BM_Copy_pixman_blt)->Unit(benchmark::kMicrosecond);

void BM_Over_pixman_image_composite32(benchmark::State& state) {
    auto src = RandomPixels(2);
    const auto start = RandomPixels(3);
    std::vector<uint32_t> dst(start.size());
    pixman_image_t* s =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, src.data(), kStride);
    pixman_image_t* d =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, dst.data(), kStride);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(dst.data(), start.data(), start.size() * 4);
        state.ResumeTiming();
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    SetBytes(state);
}
BENCHMARK(BM_Over_pixman_image_composite32)->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
