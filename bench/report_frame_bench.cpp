// CutFrames throughput on a 64 MiB stream of target reports with garbage between them, beside a
// memchr scan of the same bytes for the first header byte (the floor any frame cutter pays).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/base_buffer.h"
#include "device/report_frame.h"

namespace {

constexpr size_t kStreamBytes = 64u << 20;
constexpr size_t kFetchBytes = 4096;  // a typical block from the device library

const std::vector<uint8_t>& Stream() {
    static const std::vector<uint8_t> stream = [] {
        std::vector<uint8_t> bytes;
        bytes.reserve(kStreamBytes + 256);
        std::mt19937 random(7);
        while (bytes.size() < kStreamBytes) {
            bytes.insert(bytes.end(), kFrameHeaderBytes, kFrameHeaderBytes + 4);
            bytes.push_back(kTargetReportPayloadBytes);
            bytes.push_back(0);
            bytes.push_back(kTargetReportType);
            for (int i = 1; i < kTargetReportPayloadBytes; ++i) {
                bytes.push_back(static_cast<uint8_t>(random()));
            }
            bytes.insert(bytes.end(), kFrameTailBytes, kFrameTailBytes + 4);
            const int garbage = static_cast<int>(random() % 8);
            for (int i = 0; i < garbage; ++i) bytes.push_back(static_cast<uint8_t>(random() & 0x7F));
        }
        bytes.resize(kStreamBytes);
        return bytes;
    }();
    return stream;
}

struct CountingConsumer : ITargetReportConsumer {
    void OnTargetReport(const TargetReport& report) override {
        ++reports;
        benchmark::DoNotOptimize(report.distance);
    }
    int64_t reports = 0;
};

void BM_CutFrames(benchmark::State& state) {
    const auto& stream = Stream();
    int64_t reports = 0;
    for (auto _ : state) {
        CBaseBuffer buffer;
        buffer.SetBufferSize(kFetchBytes * 2);
        CountingConsumer consumer;
        for (size_t at = 0; at < stream.size(); at += kFetchBytes) {
            buffer.AppendBuffer(stream.data() + at,
                                static_cast<uint32_t>(std::min(kFetchBytes, stream.size() - at)));
            CutFrames(buffer, consumer);
        }
        reports = consumer.reports;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["reports"] = static_cast<double>(reports);
}
BENCHMARK(BM_CutFrames)->Unit(benchmark::kMillisecond);

void BM_MemchrScanReference(benchmark::State& state) {
    const auto& stream = Stream();
    for (auto _ : state) {
        size_t found = 0;
        const uint8_t* at = stream.data();
        const uint8_t* end = stream.data() + stream.size();
        while (at < end) {
            const void* hit = std::memchr(at, kFrameHeaderBytes[0], static_cast<size_t>(end - at));
            if (hit == nullptr) break;
            ++found;
            at = static_cast<const uint8_t*>(hit) + 1;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_MemchrScanReference)->Unit(benchmark::kMillisecond);

}  // namespace
