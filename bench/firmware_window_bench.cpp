// The flash rate through the firmware window beside zorvan-cli's, both against a zorvan-sim that
// paces its line at 256000 baud, each as a share of the line rate: the time the line needs for
// the packets written divided by the time the flash took (information query and download, the
// sensor in its boot loader from the start, so no restart wait is counted). The window runs on
// the offscreen platform with its real worker, sink and window-thread hand-over.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "firmware/download_dlg.h"
#include "platform/skin_reader.h"
#include "serial/serial_port_table.h"
#include "support/process_runner.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

constexpr uint32_t kLineBaud = 256000;
constexpr size_t kImageBytes = 64 * 1024;  // whole packets
constexpr size_t kPacketData = 1024;       // the simulator's packet: 1024 image bytes
constexpr size_t kPacketOverhead = 20;     // after 20 bytes of envelope and header
constexpr double kLineSeconds =
    kImageBytes / kPacketData * (kPacketData + kPacketOverhead) * 10.0 / kLineBaud;
constexpr std::chrono::seconds kDeadline{120};
constexpr int kWakeMs = 100;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "firmware_window_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *application;
}

// Waits for events as the program's event loop does (no polling that would take the worker's
// processor on a busy machine); a timer wakes it now and then to see the deadline.
bool ProcessEventsUntil(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    QTimer wake;
    wake.start(kWakeMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::string WriteImage(const TempDir& dir) {
    std::string bytes(kImageBytes, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13 + 1);
    const std::string path = dir.File("image.bin");
    WriteWholeFile(path, bytes);
    return path;
}

std::unique_ptr<SimProcess> StartPacedSim() {
    auto sim = std::make_unique<SimProcess>(
        std::vector<std::string>{"--time-scale", "20", "--start-in-bootloader", "--pace", "--baud",
                                 std::to_string(kLineBaud)});
    return sim->Started() ? std::move(sim) : nullptr;
}

void ClickAndWait(CDownloadDlg& dlg, const char* name) {
    QTest::mouseClick(dlg.Skin().Find<QPushButton>(QString::fromLatin1(name)), Qt::LeftButton);
    ProcessEventsUntil([&] { return !dlg.IsBusy(); });
}

// Flashes the image once per iteration into a fresh paced simulator with `flash` (the time it
// took in seconds, or a negative value when the flash failed) and reports the share of the line
// rate over all iterations.
void MeasureFlashes(
    benchmark::State& state,
    const std::function<double(SimProcess&, const TempDir&, const std::string&)>& flash) {
    TempDir dir;
    const std::string image = WriteImage(dir);
    double total = 0;
    for (auto _ : state) {
        std::unique_ptr<SimProcess> sim = StartPacedSim();
        if (!sim) {
            state.SkipWithError("zorvan-sim did not start");
            return;
        }
        const double seconds = flash(*sim, dir, image);
        if (seconds < 0 || ReadWholeFile(sim->FlashDir() + "/APP0.bin").size() != kImageBytes) {
            state.SkipWithError("the image did not arrive");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    state.counters["share_of_line"] = kLineSeconds * state.iterations() / total;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FlashThroughWindow(benchmark::State& state) {
    Application();
    MeasureFlashes(state, [](SimProcess& sim, const TempDir&, const std::string& image) {
        QWidget main;
        auto* dlg = new CDownloadDlg(&main, UiLanguage::English);
        SerialLineSettings line;
        line.baudRate = kLineBaud;
        dlg->SetSerialSettings(SerialPortNumberOf(sim.PortPath()), line);
        dlg->Skin()
            .Find<QLineEdit>(QStringLiteral("DownloadFilePath"))
            ->setText(QString::fromStdString(image));
        main.show();
        const auto start = std::chrono::steady_clock::now();
        ClickAndWait(*dlg, "UpdateFWInfoButton");
        ClickAndWait(*dlg, "DownloadButton");
        return SecondsSince(start);
    });
}

void BM_FlashThroughCli(benchmark::State& state) {
    MeasureFlashes(state, [](SimProcess& sim, const TempDir& dir, const std::string& image) {
        ProcessOptions options;
        options.environment = {{"XDG_RUNTIME_DIR", sim.RuntimeDir()},
                               {"ORBO_HOME", dir.File("home")}};
        options.deadline = kDeadline;
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult run =
            RunProcess({BuiltProgramPath("zorvan-cli"), "--port", sim.PortPath(), "flash",
                        "--partition", "0", "--baud", std::to_string(kLineBaud), image},
                       options);
        const double seconds = SecondsSince(start);
        return run.exitCode == 0 ? seconds : -1.0;
    });
}

}  // namespace

// The reference first: the same flash by zorvan-cli in the same run.
BENCHMARK(BM_FlashThroughCli)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlashThroughWindow)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
