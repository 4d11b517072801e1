// Zip extraction: CUnzipper::Unzip of an archive of about 100 MB beside the unzip program
// extracting the same archive in the same run, reported as a ratio (ours / unzip; below 1 is
// faster). The archive is built once in a temporary folder from text-like data mixed with noise,
// so that it compresses, but not to nothing.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/unzipper.h"
#include "archive/zipper.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFileCount = 36;
constexpr size_t kFileBytes = 5u << 20;
constexpr size_t kChunkBytes = 64u << 10;
constexpr int kIterations = 3;

std::string MixedData(size_t size, uint64_t seed) {
    static const char* const kWords[] = {"radar ", "gate ",     "energy ", "threshold ", "motion ",
                                         "0x3F ",  "distance ", "\r\n",    "frame ",     "static "};
    std::string out;
    out.reserve(size);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    while (out.size() < size) {
        const size_t end = std::min(size, out.size() + kChunkBytes);
        if (next() % 10 < 4) {
            while (out.size() < end) out.push_back(static_cast<char>(next()));
        } else {
            while (out.size() < end) {
                const uint64_t r = next();
                out += kWords[r % 10];
                if ((r >> 8) % 8 == 0) out += std::to_string((r >> 16) % 100000);
            }
            out.resize(end);
        }
    }
    return out;
}

// The archive and the folders the runs extract into, removed at exit.
class Workspace {
public:
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "orbo-zip-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return;
        m_root = pattern;
        const fs::path source = m_root / "data";
        fs::create_directories(source / "sub");
        for (int i = 0; i < kFileCount; ++i) {
            const fs::path file = source / (i % 2 ? "sub" : ".") / ("part" + std::to_string(i));
            const std::string bytes = MixedData(kFileBytes, static_cast<uint64_t>(i) + 1);
            std::ofstream(file, std::ios::binary).write(bytes.data(), bytes.size());
        }
        m_ready = CZipper::ZipFolder(source.c_str(), false);
        fs::remove_all(source);
    }
    ~Workspace() {
        std::error_code ignored;
        if (!m_root.empty()) fs::remove_all(m_root, ignored);
    }
    bool Ready() const { return m_ready; }
    fs::path Archive() const { return m_root / "data.zip"; }
    fs::path Output(const char* name) const { return m_root / name; }

private:
    fs::path m_root;
    bool m_ready = false;
};

Workspace& Shared() {
    static Workspace workspace;
    return workspace;
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_UnzipVersusUnzipProgram(benchmark::State& state) {
    Workspace& work = Shared();
    if (!work.Ready()) {
        state.SkipWithError("the archive could not be made");
        return;
    }
    const std::string archive = work.Archive().string();
    const std::string command =
        "unzip -qq -o '" + archive + "' -d '" + work.Output("theirs").string() + "'";
    double ours = 0;
    double theirs = 0;
    for (auto _ : state) {
        fs::remove_all(work.Output("ours"));
        fs::remove_all(work.Output("theirs"));
        auto start = std::chrono::steady_clock::now();
        const bool extracted =
            CUnzipper::Unzip(archive.c_str(), work.Output("ours").c_str(), false);
        const double oursNow = Seconds(start);
        start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double theirsNow = Seconds(start);
        if (!extracted || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("an extraction failed");
            return;
        }
        ours += oursNow;
        theirs += theirsNow;
        state.SetIterationTime(oursNow);
    }
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(work.Archive())) / 1e6;
    state.counters["unzip_s"] = theirs / state.iterations();
    state.counters["ratio"] = ours / theirs;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFileCount * kFileBytes);
}
BENCHMARK(BM_UnzipVersusUnzipProgram)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);

}  // namespace
