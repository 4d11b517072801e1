// Indexing a recording of one million reports (about 80 MB, a few bytes of noise every thousand
// reports, as a live stream sometimes has) beside reading the same file with read() alone in
// blocks of the same size, both from the page cache, in the same run. "ratio" = read() time /
// indexing time (1.0 = the index costs nothing beyond reading the file; the goal is 0.5 or more).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "device/recording_index.h"

namespace {

constexpr size_t kReports = 1000 * 1000;
constexpr size_t kNoiseEvery = 1000;

// The recording in its own temporary folder, removed when the program ends.
class Recording {
public:
    Recording() {
        char folder[] = "/tmp/orbo-index-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_folder = folder;
        m_path = m_folder + "/RadarData_bench.dat";
        std::vector<uint8_t> bytes;
        bytes.reserve(kReports * (kReportFrameBytes + 1));
        std::mt19937 random(5);
        for (size_t i = 0; i < kReports; ++i) {
            bytes.insert(bytes.end(), kFrameHeaderBytes, kFrameHeaderBytes + 4);
            bytes.push_back(kTargetReportPayloadBytes);
            bytes.push_back(0);
            bytes.push_back(kTargetReportType);
            for (int b = 1; b < kTargetReportPayloadBytes; ++b) {
                bytes.push_back(static_cast<uint8_t>(random()));
            }
            bytes.insert(bytes.end(), kFrameTailBytes, kFrameTailBytes + 4);
            if (i % kNoiseEvery == kNoiseEvery - 1) bytes.insert(bytes.end(), {0x00, 0x13, 0x77});
        }
        std::ofstream out(m_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", m_path.c_str());
            std::abort();
        }
        m_size = bytes.size();
    }
    ~Recording() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& Path() const { return m_path; }
    size_t Size() const { return m_size; }

private:
    std::string m_folder;
    std::string m_path;
    size_t m_size = 0;
};

const Recording& TheRecording() {
    static const Recording recording;
    return recording;
}

// The reference: the whole file read in blocks of the index's size; returns the bytes read.
size_t ReadOnly(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::vector<uint8_t> buffer(kIndexBlockBytes);
    size_t total = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        benchmark::DoNotOptimize(buffer.data());
        total += static_cast<size_t>(got);
    }
    close(fd);
    return total;
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void BM_IndexMillionReports(benchmark::State& state) {
    const Recording& recording = TheRecording();
    ReadOnly(recording.Path());  // into the page cache before either is timed
    double indexSeconds = 0;
    double readSeconds = 0;
    uint64_t reports = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        RecordingIndex index;
        if (!index.Build(recording.Path())) {
            state.SkipWithError("the recording could not be indexed");
            return;
        }
        const auto indexed = std::chrono::steady_clock::now();
        reports = index.Count();
        const double seconds = Seconds(indexed - start);
        indexSeconds += seconds;
        state.SetIterationTime(seconds);

        const auto readStart = std::chrono::steady_clock::now();
        if (ReadOnly(recording.Path()) != recording.Size()) {
            state.SkipWithError("the reference read fewer bytes");
            return;
        }
        readSeconds += Seconds(std::chrono::steady_clock::now() - readStart);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * recording.Size()));
    state.counters["reports"] = static_cast<double>(reports);
    state.counters["index_ms"] = indexSeconds * 1000.0 / static_cast<double>(state.iterations());
    state.counters["read_ms"] = readSeconds * 1000.0 / static_cast<double>(state.iterations());
    state.counters["ratio"] = readSeconds / indexSeconds;
    if (reports != kReports) state.SkipWithError("the index missed reports");
}
BENCHMARK(BM_IndexMillionReports)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
