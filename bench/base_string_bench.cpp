// CBaseStringA beside std::string in the same run: appending small pieces (the debug output and
// path building pattern) and printf formatting (our formatter against snprintf).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/base_string.h"

namespace {

constexpr int kPieces = 1000;
const char kPiece[] = "abc,";

void BM_AppendSmall_CBaseStringA(benchmark::State& state) {
    for (auto _ : state) {
        CBaseStringA s;
        for (int i = 0; i < kPieces; ++i) s.Append(kPiece, 4);
        benchmark::DoNotOptimize(s.GetString());
    }
    state.SetItemsProcessed(state.iterations() * kPieces);
}
BENCHMARK(BM_AppendSmall_CBaseStringA);

void BM_AppendSmall_StdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < kPieces; ++i) s.append(kPiece, 4);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * kPieces);
}
BENCHMARK(BM_AppendSmall_StdString);

void BM_AppendChar_CBaseStringA(benchmark::State& state) {
    for (auto _ : state) {
        CBaseStringA s;
        for (int i = 0; i < kPieces; ++i) s.Append('x');
        benchmark::DoNotOptimize(s.GetString());
    }
    state.SetItemsProcessed(state.iterations() * kPieces);
}
BENCHMARK(BM_AppendChar_CBaseStringA);

void BM_AppendChar_StdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < kPieces; ++i) s.push_back('x');
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * kPieces);
}
BENCHMARK(BM_AppendChar_StdString);

void BM_Format_CBaseStringA(benchmark::State& state) {
    CBaseStringA s;
    int n = 0;
    for (auto _ : state) {
        s.Format("port=%s baud=%d ratio=%.3f id=%08X", "/dev/ttyUSB0", 256000 + (n & 7), 0.125,
                 static_cast<unsigned>(n));
        benchmark::DoNotOptimize(s.GetString());
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Format_CBaseStringA);

void BM_Format_SnprintfStdString(benchmark::State& state) {
    std::string s;
    int n = 0;
    for (auto _ : state) {
        char buffer[1024];
        const int length =
            std::snprintf(buffer, sizeof buffer, "port=%s baud=%d ratio=%.3f id=%08X",
                          "/dev/ttyUSB0", 256000 + (n & 7), 0.125, static_cast<unsigned>(n));
        s.assign(buffer, static_cast<size_t>(length));
        benchmark::DoNotOptimize(s.data());
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Format_SnprintfStdString);

void BM_AppendFormat_CBaseStringA(benchmark::State& state) {
    for (auto _ : state) {
        CBaseStringA s;
        for (int i = 0; i < 100; ++i) s.AppendFormat("%d,", i);
        benchmark::DoNotOptimize(s.GetString());
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_AppendFormat_CBaseStringA);

void BM_AppendFormat_SnprintfStdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < 100; ++i) {
            char buffer[32];
            const int length = std::snprintf(buffer, sizeof buffer, "%d,", i);
            s.append(buffer, static_cast<size_t>(length));
        }
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_AppendFormat_SnprintfStdString);

}  // namespace
