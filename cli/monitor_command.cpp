// "monitor" and "replay": target reports from the sensor (optionally recorded) or from a
// recording, through the acquisition engine, as text, CSV or JSON lines on standard output.
// Both end on Ctrl-C, after --count reports or --seconds; replay also at the end of its file.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "app/app_config.h"
#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/mono_clock.h"
#include "core/program_path.h"
#include "device/acquisition_engine.h"
#include "device/acquisition_settings.h"
#include "device/radar_device_stream_link.h"
#include "device/report_csv.h"
#include "device_session.h"
#include "exit_codes.h"
#include "pages/params/radar_param_device.h"
#include "replay_options.h"
#include "report_format.h"
#include "resources/string_table.h"
#include "run_extras.h"
#include "stop_signal.h"

namespace {

// A run of at most this long (--seconds), so that the wait's milliseconds stay exact.
constexpr double kMaxRunSeconds = 1e9;

// How the reports are shown and when a run ends by itself.
struct OutputChoice {
    ReportFormat format = ReportFormat::Text;
    uint64_t maxReports = 0;   // 0: no limit
    int64_t timeLimitMs = -1;  // -1: none
};

const char* StageText(RecordingStage stage) {
    switch (stage) {
        case RecordingStage::Create:
            return "cannot be created";
        case RecordingStage::Write:
            return "cannot be written (recording stopped)";
        case RecordingStage::Close:
            return "cannot be completed";
    }
    return "failed";
}

class CliAcquisitionSink : public IAcquisitionSink {
public:
    CliAcquisitionSink(const OutputChoice& output, StopSignal& stop, RunExtras& extras)
        : m_output(output), m_stop(stop), m_extras(extras) {}

    void OnDeviceNotConnected() override { PrintError(LoadStringText(kStrDeviceNotConnected)); }
    void OnDisplayReset() override { m_startMs = MonoTimeMs(); }
    void OnRunStateChanged(AcquisitionRunState) override {}

    void OnReport(const TargetReport& report) override {
        if (m_done.load()) return;
        const uint64_t count = ++m_count;
        const uint64_t elapsedMs = MonoTimeMs() - m_startMs;
        const double seconds = static_cast<double>(elapsedMs) / 1000.0;
        m_extras.Add(report, count - 1, elapsedMs);
        if (!PrintOut(FormatReport(m_output.format, report, seconds))) {
            // Nobody reads any more (a closed pipe): nothing left to do.
            m_done.store(true);
            m_stop.Notify();
            return;
        }
        if (m_output.maxReports != 0 && count >= m_output.maxReports) {
            m_done.store(true);
            m_stop.Notify();
        }
    }

    void OnRunEnded(AcquisitionEnd reason) override {
        m_end.store(reason);
        m_stop.Notify();
    }

    void OnRecordingStarted(const std::string& path) override {
        PrintErr("Recording into " + path + "\n");
    }

    void OnRecordingFailed(const RecordingFailure& failure) override {
        m_recordingFailed.store(true);
        PrintError("the recording " + (failure.path.empty() ? std::string() : failure.path + " ") +
                   StageText(failure.stage) +
                   (failure.error != 0 ? std::string(": ") + strerror(failure.error) : ""));
    }

    // How the run ended by itself; nothing when it did not.
    std::optional<AcquisitionEnd> End() const { return m_end.load(); }
    bool RecordingFailed() const { return m_recordingFailed.load(); }
    uint64_t Count() const { return m_count.load(); }
    uint64_t ElapsedMs() const { return MonoTimeMs() - m_startMs; }

private:
    const OutputChoice m_output;
    StopSignal& m_stop;
    RunExtras& m_extras;  // the worker's while the run is on
    uint64_t m_startMs = MonoTimeMs();
    std::atomic<uint64_t> m_count{0};
    std::atomic<bool> m_done{false};
    std::atomic<std::optional<AcquisitionEnd>> m_end{std::nullopt};
    std::atomic<bool> m_recordingFailed{false};
};

int ParseOutputChoice(const CliContext& context, const CommandLine& line, OutputChoice& out) {
    if (line.Has("csv") && context.Json()) return UsageError("choose --csv or --json, not both");
    if (line.Has("csv")) out.format = ReportFormat::Csv;
    if (context.Json()) out.format = ReportFormat::Json;
    if (const std::string* text = line.Value("count")) {
        const auto count = ParseUnsigned(*text, UINT64_MAX);
        if (!count || *count == 0) {
            return UsageError("--count takes a positive whole number, not '" + *text + "'");
        }
        out.maxReports = *count;
    }
    if (const std::string* text = line.Value("seconds")) {
        const auto seconds = ParseDecimal(*text);
        if (!seconds || *seconds <= 0.0 || *seconds > kMaxRunSeconds) {
            return UsageError("--seconds takes a positive number, not '" + *text + "'");
        }
        out.timeLimitMs = static_cast<int64_t>(*seconds * 1000.0);
    }
    return kExitSuccess;
}

AcquisitionSettings LoadSettings(const CliContext& context) {
    AcquisitionSettings settings =
        DefaultAcquisitionSettings(GetAppFolder(AppFolderKind::SaveData));
    LoadAcquisitionSettings(context.SettingsRoot(), GetAppFolder(AppFolderKind::Settings),
                            settings);
    return settings;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string CountOf(uint64_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// The replay's closing line: what was found in the bytes read, and whether the end was reached.
std::string ReplaySummary(const std::string& file, const AcquisitionTally& tally,
                          std::optional<AcquisitionEnd> end, const ReplayRange& range) {
    std::string text = "Replayed " + file;
    if (range.Given()) {
        text += " (reports " + std::to_string(range.from) + " to " + std::to_string(range.to) +
                " of " + std::to_string(range.fileReports) + ")";
    }
    text += ": " + CountOf(tally.reports, "report") + ", " + CountOf(tally.bytesSkipped, "byte") +
            " skipped as not frames";
    if (!end) text += " (stopped before the end of the file)";
    if (end == AcquisitionEnd::ReplayReadFailed) text += " (read failed)";
    return text;
}

// The thresholds a replay's max-hold is held against: those of appConfig.xml's "ParamSetting"
// section (what the parameter page starts from), else the factory defaults.
RadarParamSetting ReplayThresholds(const CliContext& context, std::string& source) {
    RadarParamSetting record;
    XMLNode section;
    if (context.SettingsRoot().FindChild(kParamSettingSectionName, section) &&
        LoadFromConfig(record, section)) {
        source = "of appConfig.xml";
    } else {
        source = "factory defaults";
    }
    return record;
}

void PrintRunExtras(RunExtras& extras, const CliAcquisitionSink& sink,
                    const RadarParamSetting& thresholds, const std::string& source) {
    if (extras.maxHold) PrintMaxHold(extras.hold, thresholds, source);
    if (extras.summary) {
        PrintRunSummary(extras.states.Figures(RunEndMs(extras, sink.Count(), sink.ElapsedMs())));
    }
}

// Starts the run, waits for its end and stops it. kExitSuccess when it ran; otherwise the exit
// status of a run that did not start (the reason printed).
int RunEngine(AcquisitionEngine& engine, const AcquisitionRun& run, StopSignal& stop,
              const OutputChoice& output) {
    if (output.format == ReportFormat::Csv) PrintOut(ReportCsvHeader());
    const AcquisitionStartResult started = engine.StartAcquisition(run);
    if (started == AcquisitionStartResult::NotConnected) return kExitNoDevice;
    if (started != AcquisitionStartResult::Started) {
        PrintError("the acquisition did not start (--verbose tells why)");
        return kExitFailed;
    }
    stop.Wait(output.timeLimitMs);
    // Stopping switches the sensor's report output off and closes the recording.
    engine.StopAcquisition();
    return kExitSuccess;
}

int RunMonitor(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 1, 0, 0); usage != kExitSuccess) return usage;
    OutputChoice output;
    if (const int usage = ParseOutputChoice(context, line, output); usage != kExitSuccess) {
        return usage;
    }
    AcquisitionRun run = MakeAcquisitionRun(LoadSettings(context), AcquisitionMode::Live);
    run.saveData = line.Has("record");
    if (run.saveData && !line.Value("record")->empty()) {
        // An existing folder receives a named recording; anything else is the file to create.
        const std::string target = AbsolutePath(*line.Value("record"));
        std::error_code error;
        if (std::filesystem::is_directory(target, error)) {
            run.saveFolder = target;
        } else {
            run.saveFile = target;
        }
    }

    RunExtras extras = ParseRunExtras(line);

    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    RadarParamSetting thresholds;
    if (extras.maxHold && ReadAllParameters(session.Device(), thresholds) != kParamResultSuccess) {
        PrintError(LoadStringText(kStrReadParamsFailed));
        return kExitFailed;
    }
    StopSignal stop;
    CliAcquisitionSink sink(output, stop, extras);
    RadarDeviceStreamLink link(session.Device());
    AcquisitionEngine engine(sink);
    engine.SetLink(&link);
    LinkLossWatch watch(session.Device(), stop);
    if (const int ran = RunEngine(engine, run, stop, output); ran != kExitSuccess) return ran;
    PrintRunExtras(extras, sink, thresholds, "read from the sensor");
    if (watch.Lost() || !Orbo_Interface_RadarDevice_IsConnected(session.Device())) {
        PrintError("the link to the sensor on " + session.PortName() + " was lost");
        return kExitNoDevice;
    }
    return sink.RecordingFailed() ? kExitFailed : kExitSuccess;
}

int RunReplay(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 1, 1, 1); usage != kExitSuccess) return usage;
    OutputChoice output;
    if (const int usage = ParseOutputChoice(context, line, output); usage != kExitSuccess) {
        return usage;
    }
    AcquisitionRun run = MakeAcquisitionRun(LoadSettings(context), AcquisitionMode::Replay);
    run.replayFile = AbsolutePath(line.words[1]);
    if (const std::string* text = line.Value("interval")) {
        const auto interval = ParseUnsigned(*text, INT32_MAX);
        if (!interval) {
            return UsageError("--interval takes milliseconds (0 or more), not '" + *text + "'");
        }
        run.replayIntervalMs = static_cast<int>(*interval);
    }

    RunExtras extras = ParseRunExtras(line);
    extras.reportIntervalMs = EffectiveReplayInterval(run.replayIntervalMs);
    std::string paceLine;
    if (const int paced = ApplyReplaySpeed(line, run, paceLine); paced != kExitSuccess) {
        return paced;
    }
    ReplayRange range;
    if (const int usage = ParseReplayRange(line, range); usage != kExitSuccess) return usage;
    if (range.Given()) {
        if (const int bounded = BoundReplay(range, run); bounded != kExitSuccess) return bounded;
    }
    if (!paceLine.empty()) PrintErr(paceLine);

    StopSignal stop;
    CliAcquisitionSink sink(output, stop, extras);
    AcquisitionEngine engine(sink);
    if (const int ran = RunEngine(engine, run, stop, output); ran != kExitSuccess) return ran;
    const std::optional<AcquisitionEnd> end = sink.End();
    if (end == AcquisitionEnd::ReplayUnavailable) {
        PrintError("cannot open " + run.replayFile);
        return kExitFailed;
    }
    const AcquisitionTally tally = engine.GetTally();
    PrintErr(ReplaySummary(run.replayFile, tally, end, range) + "\n");
    std::string source;
    PrintRunExtras(extras, sink, ReplayThresholds(context, source), source);
    if (end == AcquisitionEnd::ReplayReadFailed) {
        PrintError("reading " + run.replayFile + " failed part-way");
        return kExitFailed;
    }
    if (end == AcquisitionEnd::ReplayFinished && tally.reports == 0) {
        PrintError(run.replayFile + " holds no report");
        return kExitFailed;
    }
    return kExitSuccess;
}

const OptionSpec kCsvOption{"csv", OptionArg::None, nullptr,
                            "CSV lines (a header, then one line per report)"};
const OptionSpec kCountOption{"count", OptionArg::Required, "N", "stop after N reports"};
const OptionSpec kSecondsOption{"seconds", OptionArg::Required, "S",
                                "stop after S seconds (decimals allowed)"};
const OptionSpec kMaxHoldOption{"max-hold", OptionArg::None, nullptr,
                                "at the end, each gate's highest energy and its headroom to the "
                                "trigger threshold"};
const OptionSpec kSummaryOption{"summary", OptionArg::None, nullptr,
                                "at the end, time in each state, arrivals, presences and "
                                "distances"};

}  // namespace

CommandSpec MonitorCommand() {
    return {"monitor",
            "monitor [OPTION]...",
            "show live reports, optionally recording the raw stream",
            "Switches the sensor's report output on and shows every report as a line:\n"
            "time, state, distance in metres and the 16 gate energies in dB; with --csv or\n"
            "--json the raw state, the distance in cm and the energies instead. Ctrl-C\n"
            "stops cleanly: the report output is switched off and the recording closed.\n"
            "--record FILE creates FILE; --record DIR (an existing folder) or --record\n"
            "alone names it RadarData_<date>_<time>.dat. A recording never replaces a file.\n"
            "--max-hold and --summary print their tables on standard error at the end;\n"
            "--max-hold holds the maxima against the sensor's trigger thresholds.\n",
            {kCsvOption,
             {"record", OptionArg::Optional, "FILE|DIR",
              "record the raw stream into FILE or a named file in DIR; default folder "
              "\"SaveDataPath\" of appConfig.xml, else SaveData"},
             kCountOption,
             kSecondsOption,
             kMaxHoldOption,
             kSummaryOption},
            RunMonitor};
}

CommandSpec ReplayCommand() {
    return {"replay",
            "replay FILE [OPTION]...",
            "replay a recording as report lines",
            "Reads a recording made by 'monitor --record' (or the tool) and shows its\n"
            "reports as monitor does, pausing after each; ends at the end of the file.\n"
            "A closing line on standard error counts the reports and the bytes skipped\n"
            "as not frames; a file that holds no report at all ends with exit status 1.\n"
            "--from N and --to M replay reports N to M only (numbered from 1); the file is\n"
            "indexed first, and a file still being written is not read past its last\n"
            "complete frame. --speed divides the interval (1x = --interval). The summary\n"
            "times reports at the 1x interval; --max-hold holds the maxima against the\n"
            "trigger thresholds of appConfig.xml (else the factory defaults).\n",
            {{"interval", OptionArg::Required, "MS",
              "pause after each report; default \"ReplayInterval\" of appConfig.xml, else 500"},
             {"speed", OptionArg::Required, "X",
              "replay speed: 0.25, 0.5, 1, 2, 4, 16 or max (no pause)"},
             {"from", OptionArg::Required, "N", "start at report N (the first is 1)"},
             {"to", OptionArg::Required, "M", "end after report M"},
             kCsvOption,
             kCountOption,
             kSecondsOption,
             kMaxHoldOption,
             kSummaryOption},
            RunReplay};
}
