// CRC-32 throughput over 64 MiB: CCRC32 (default set) beside zlib's crc32 in the same run.
// The two compute different CRC-32 variants of the same cost class (one table lookup chain per
// byte in their plain forms); the comparison is of speed only.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/byte_order.h"
#include "misc/crc16.h"
#include "misc/crc32.h"

namespace {

constexpr size_t kDataBytes = 64u << 20;
// AppendData takes an int length; feed the buffer in large pieces.
constexpr size_t kPieceBytes = 16u << 20;

const std::vector<uint8_t>& Data() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> bytes(kDataBytes);
        std::mt19937_64 engine(64);
        for (size_t i = 0; i < bytes.size(); i += 8) {
            WriteLe64(&bytes[i], engine());
        }
        return bytes;
    }();
    return data;
}

void BM_CCRC32(benchmark::State& state) {
    const auto& data = Data();
    CCRC32 crc;
    for (auto _ : state) {
        crc.Reset();
        for (size_t at = 0; at < data.size(); at += kPieceBytes) {
            crc.AppendData(data.data() + at, static_cast<int>(kPieceBytes));
        }
        benchmark::DoNotOptimize(crc.GetResult());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_CCRC32)->Unit(benchmark::kMillisecond);

void BM_ZlibCrc32(benchmark::State& state) {
    const auto& data = Data();
    for (auto _ : state) {
        uLong crc = crc32(0L, Z_NULL, 0);
        for (size_t at = 0; at < data.size(); at += kPieceBytes) {
            crc = crc32(crc, data.data() + at, static_cast<uInt>(kPieceBytes));
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);

void BM_CCRC16_Modbus(benchmark::State& state) {
    const auto& data = Data();
    CCRC16 crc;
    for (auto _ : state) {
        crc.Reset();
        for (size_t at = 0; at < data.size(); at += kPieceBytes) {
            crc.AppendData(data.data() + at, static_cast<int>(kPieceBytes));
        }
        benchmark::DoNotOptimize(crc.GetResult());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_CCRC16_Modbus)->Unit(benchmark::kMillisecond);

}  // namespace
