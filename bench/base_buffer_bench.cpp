// Append throughput of CBaseBuffer beside std::vector<uint8_t> insert-at-end, in the same run.
// CBaseBuffer grows exactly (no headroom), so appends without a reservation reallocate and copy
// every time; with SetBufferSize reserving the room first they are plain copies. The vector
// doubles its capacity and needs no reservation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/base_buffer.h"

namespace {

// Total bytes appended per iteration with a reservation (and by the vector).
constexpr uint32_t kTotalBytes = 1u << 20;
// Exact growth copies the whole buffer per append: keep that run small.
constexpr uint32_t kUnreservedTotalBytes = 64u << 10;

const uint8_t* Piece() {
    static const std::vector<uint8_t> piece = [] {
        std::vector<uint8_t> bytes(256);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
        return bytes;
    }();
    return piece.data();
}

void SetCounters(benchmark::State& state, uint32_t total) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
    state.counters["appends"] = static_cast<double>(total / state.range(0));
}

void BM_BaseBufferAppendReserved(benchmark::State& state) {
    const auto pieceBytes = static_cast<uint32_t>(state.range(0));
    const uint8_t* piece = Piece();
    for (auto _ : state) {
        CBaseBuffer buffer;
        buffer.SetBufferSize(kTotalBytes);
        for (uint32_t done = 0; done < kTotalBytes; done += pieceBytes) {
            buffer.AppendBuffer(piece, pieceBytes);
        }
        benchmark::DoNotOptimize(buffer.GetBuffer());
    }
    SetCounters(state, kTotalBytes);
}

void BM_BaseBufferAppendUnreserved(benchmark::State& state) {
    const auto pieceBytes = static_cast<uint32_t>(state.range(0));
    const uint8_t* piece = Piece();
    for (auto _ : state) {
        CBaseBuffer buffer;
        for (uint32_t done = 0; done < kUnreservedTotalBytes; done += pieceBytes) {
            buffer.AppendBuffer(piece, pieceBytes);
        }
        benchmark::DoNotOptimize(buffer.GetBuffer());
    }
    SetCounters(state, kUnreservedTotalBytes);
}

void BM_VectorInsertAtEnd(benchmark::State& state) {
    const auto pieceBytes = static_cast<uint32_t>(state.range(0));
    const uint8_t* piece = Piece();
    for (auto _ : state) {
        std::vector<uint8_t> vector;
        for (uint32_t done = 0; done < kTotalBytes; done += pieceBytes) {
            vector.insert(vector.end(), piece, piece + pieceBytes);
        }
        benchmark::DoNotOptimize(vector.data());
    }
    SetCounters(state, kTotalBytes);
}

void BM_VectorInsertAtEndReserved(benchmark::State& state) {
    const auto pieceBytes = static_cast<uint32_t>(state.range(0));
    const uint8_t* piece = Piece();
    for (auto _ : state) {
        std::vector<uint8_t> vector;
        vector.reserve(kTotalBytes);
        for (uint32_t done = 0; done < kTotalBytes; done += pieceBytes) {
            vector.insert(vector.end(), piece, piece + pieceBytes);
        }
        benchmark::DoNotOptimize(vector.data());
    }
    SetCounters(state, kTotalBytes);
}

BENCHMARK(BM_BaseBufferAppendReserved)->Arg(1)->Arg(16)->Arg(256);
BENCHMARK(BM_VectorInsertAtEndReserved)->Arg(1)->Arg(16)->Arg(256);
BENCHMARK(BM_VectorInsertAtEnd)->Arg(1)->Arg(16)->Arg(256);
BENCHMARK(BM_BaseBufferAppendUnreserved)->Arg(16)->Arg(256);

}  // namespace
