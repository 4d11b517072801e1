// HTTP file copy throughput: HttpFileCopyFromServer from an nginx on 127.0.0.1 beside the curl
// command-line program fetching the same file in the same run. "vs_curl" is our throughput
// divided by curl's (curl's time includes starting the program, as a user would see it).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "net/curl_library.h"
#include "net/http_file_copy.h"
#include "support/child_process.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"

namespace {

constexpr size_t kFileBytes = 32u << 20;

struct CopySetup {
    CopySetup() {
        std::string bytes(kFileBytes, '\0');
        uint32_t state = 1;
        for (char& byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<char>(state >> 24);
        }
        if (InitSysLibCURL() != 1) {
            error = "libcurl cannot be loaded";
        } else if (!server.WriteDocument("data.bin", bytes) || !server.Start()) {
            error = "nginx: " + server.Error();
        }
    }
    NginxServer server{{false, ""}};
    TempDir dir;
    std::string error;
};

CopySetup& Setup() {
    static CopySetup setup;
    return setup;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_HttpFileCopyVsCurl(benchmark::State& state) {
    CopySetup& setup = Setup();
    if (!setup.error.empty()) {
        state.SkipWithError(setup.error.c_str());
        return;
    }
    const std::string url = setup.server.Url("/data.bin");
    const std::string ours = setup.dir.File("ours.bin");
    const std::string theirs = setup.dir.File("curl.bin");
    CHttpFileClient client;
    double oursSeconds = 0;
    double curlSeconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        const int copied = HttpFileCopyFromServer(&client, url.c_str(), nullptr, nullptr, nullptr,
                                                  0, nullptr, nullptr, 0, 0, nullptr, nullptr,
                                                  nullptr, ours.c_str(), 0, nullptr, 0);
        const double oursTime = SecondsSince(start);
        start = std::chrono::steady_clock::now();
        const int curlResult = RunProgram({"curl", "-s", "-f", "-o", theirs, url});
        const double curlTime = SecondsSince(start);
        if (copied != 1 || curlResult != 0) {
            state.SkipWithError("a copy failed");
            return;
        }
        state.SetIterationTime(oursTime);
        oursSeconds += oursTime;
        curlSeconds += curlTime;
    }
    const double bytes = static_cast<double>(state.iterations()) * kFileBytes;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["ours_MBps"] = bytes / oursSeconds / 1e6;
    state.counters["curl_MBps"] = bytes / curlSeconds / 1e6;
    state.counters["vs_curl"] = curlSeconds / oursSeconds;
}
BENCHMARK(BM_HttpFileCopyVsCurl)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
