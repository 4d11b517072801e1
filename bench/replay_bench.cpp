// Replay throughput: a 100 MB recording replayed by the acquisition engine at interval 0 (file
// reads, the "ReadData" worker, the latest report and state history under their lock, a sink
// per report), in reports per second, beside CutFrames alone decoding the same bytes from memory
// in blocks of the same size. "ratio" = replay rate / CutFrames rate by wall time (1.0 = no
// overhead); "cpu_ratio" the same by the process's CPU time (all its threads), which counts work
// moved to another thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <time.h>

#include "core/base_buffer.h"
#include "core/base_event.h"
#include "device/acquisition_engine.h"
#include "device/report_frame.h"

namespace {

constexpr size_t kRecordingBytes = 100u * 1000 * 1000;

// A recording in its own temporary folder, removed when the program ends.
class Recording {
public:
    Recording() {
        char folder[] = "/tmp/orbo-replay-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_folder = folder;
        m_path = m_folder + "/RadarData_bench.dat";
        m_bytes.reserve(kRecordingBytes + 256);
        std::mt19937 random(11);
        while (m_bytes.size() < kRecordingBytes) {
            m_bytes.insert(m_bytes.end(), kFrameHeaderBytes, kFrameHeaderBytes + 4);
            m_bytes.push_back(kTargetReportPayloadBytes);
            m_bytes.push_back(0);
            m_bytes.push_back(kTargetReportType);
            for (int i = 1; i < kTargetReportPayloadBytes; ++i) {
                m_bytes.push_back(static_cast<uint8_t>(random()));
            }
            m_bytes.insert(m_bytes.end(), kFrameTailBytes, kFrameTailBytes + 4);
            const int garbage = static_cast<int>(random() % 8);
            for (int i = 0; i < garbage; ++i) {
                m_bytes.push_back(static_cast<uint8_t>(random() & 0x7F));
            }
        }
        m_bytes.resize(kRecordingBytes);
        std::ofstream out(m_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(m_bytes.data()),
                  static_cast<std::streamsize>(m_bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", m_path.c_str());
            std::abort();
        }
    }
    ~Recording() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& Path() const { return m_path; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::string m_folder;
    std::string m_path;
    std::vector<uint8_t> m_bytes;
};

const Recording& TheRecording() {
    static const Recording recording;
    return recording;
}

class CountingSink : public IAcquisitionSink {
public:
    void OnDeviceNotConnected() override {}
    void OnDisplayReset() override {}
    void OnRunStateChanged(AcquisitionRunState) override {}
    void OnReport(const TargetReport& report) override {
        benchmark::DoNotOptimize(report.distance);
        ++m_reports;
    }
    void OnRunEnded(AcquisitionEnd) override { m_ended.Set(); }
    void OnRecordingFailed(const RecordingFailure&) override {}

    void Reset() { m_reports = 0; }
    void WaitEnded() { m_ended.Wait(); }
    int64_t Reports() const { return m_reports; }

private:
    // Counted as the reference's consumer counts: only the worker writes it, and it is read
    // after the run's end was signalled and the worker joined.
    int64_t m_reports = 0;
    CBaseEvent m_ended;
};

struct CountingConsumer : ITargetReportConsumer {
    void OnTargetReport(const TargetReport& report) override {
        benchmark::DoNotOptimize(report.distance);
        ++reports;
    }
    int64_t reports = 0;
};

// CutFrames alone over the bytes, fed as replay feeds it; returns the reports.
int64_t CutFramesOnly(const std::vector<uint8_t>& bytes) {
    CBaseBuffer buffer;
    buffer.SetBufferSize(kReplayBlockBytes * 2);
    CountingConsumer consumer;
    for (size_t at = 0; at < bytes.size(); at += kReplayBlockBytes) {
        buffer.AppendBuffer(bytes.data() + at, static_cast<uint32_t>(std::min<size_t>(
                                                   kReplayBlockBytes, bytes.size() - at)));
        CutFrames(buffer, consumer);
    }
    return consumer.reports;
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// CPU time of every thread of the process so far.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_Replay100MB(benchmark::State& state) {
    const Recording& recording = TheRecording();
    CountingSink sink;
    AcquisitionEngine engine(sink);
    AcquisitionRun run;
    run.mode = AcquisitionMode::Replay;
    run.replayFile = recording.Path();
    run.replayIntervalMs = 0;

    double replaySeconds = 0;
    double cutSeconds = 0;
    double replayCpuSeconds = 0;
    double cutCpuSeconds = 0;
    int64_t replayReports = 0;
    int64_t cutReports = 0;
    for (auto _ : state) {
        sink.Reset();
        const double cpuStart = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (engine.StartAcquisition(run) != AcquisitionStartResult::Started) {
            state.SkipWithError("replay did not start");
            return;
        }
        sink.WaitEnded();
        engine.StopAcquisition();
        const auto replayed = std::chrono::steady_clock::now();
        replayCpuSeconds += ProcessCpuSeconds() - cpuStart;
        replayReports += sink.Reports();
        const double seconds = Seconds(replayed - start);
        replaySeconds += seconds;
        state.SetIterationTime(seconds);

        const double cutCpuStart = ProcessCpuSeconds();
        const auto cutStart = std::chrono::steady_clock::now();
        cutReports += CutFramesOnly(recording.Bytes());
        cutSeconds += Seconds(std::chrono::steady_clock::now() - cutStart);
        cutCpuSeconds += ProcessCpuSeconds() - cutCpuStart;
    }
    const double replayRate = static_cast<double>(replayReports) / replaySeconds;
    const double cutRate = static_cast<double>(cutReports) / cutSeconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * recording.Bytes().size()));
    state.counters["reports"] = static_cast<double>(replayReports / state.iterations());
    state.counters["replay_reports_per_s"] = replayRate;
    state.counters["cutframes_reports_per_s"] = cutRate;
    state.counters["ratio"] = replayRate / cutRate;
    state.counters["cpu_ratio"] = cutCpuSeconds / replayCpuSeconds *
                                  static_cast<double>(replayReports) /
                                  static_cast<double>(cutReports);
    if (replayReports != cutReports) state.SkipWithError("replay and CutFrames disagree");
}
BENCHMARK(BM_Replay100MB)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
