// "gen-threshold": the sensor derives its thresholds from a scan of the empty detection area;
// the threshold generation worker follows its progress (shown as a bar), and on success the new
// thresholds are read back and printed.
#include <atomic>
#include <string>

#include "app/xml_parser.h"
#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/base_string.h"
#include "core/text_format.h"
#include "device/radar_device_stream_link.h"
#include "device_session.h"
#include "exit_codes.h"
#include "pages/params/radar_param_device.h"
#include "pages/params/threshold_generation.h"
#include "progress_bar.h"
#include "resources/string_table.h"
#include "stop_signal.h"

namespace {

// The command carries each value in 16 bits.
constexpr uint64_t kMaxGenerationValue = 0xFFFF;

class CliGenerationSink : public IThresholdGenerationSink {
public:
    explicit CliGenerationSink(StopSignal& stop) : m_stop(stop), m_bar(IsTerminal(stderr)) {}

    void OnGenerationProgress(int percent) override {
        std::string caption;
        FormatText(caption, LoadStringText(kStrGenerateProgress), percent);
        m_bar.Show(percent, caption);
    }

    void OnGenerationFinished(int success) override {
        m_bar.Finish();
        m_success.store(success);
        m_finished.store(true);
        m_stop.Notify();
    }

    bool Finished() const { return m_finished.load(); }
    bool Succeeded() const { return m_success.load() != 0; }

private:
    StopSignal& m_stop;
    ProgressBar m_bar;  // used by the worker only
    std::atomic<int> m_success{0};
    std::atomic<bool> m_finished{false};
};

bool ReadValue(const CommandLine& line, const char* name, uint64_t minimum, int& value) {
    const std::string* text = line.Value(name);
    if (text == nullptr) return true;
    const auto parsed = ParseUnsigned(*text, kMaxGenerationValue);
    if (!parsed || *parsed < minimum) {
        UsageError(std::string("--") + name + " takes a whole number from " +
                   std::to_string(minimum) + " to 65535, not '" + *text + "'");
        return false;
    }
    value = static_cast<int>(*parsed);
    return true;
}

void PrintThresholds(const CliContext& context, const RadarParamSetting& record) {
    std::string json = "{";
    for (const auto& [format, table] :
         {std::pair{"Gate%dTriggerThreshold", record.TriggerThreshold},
          std::pair{"Gate%dHoldThreshold", record.HoldThreshold}}) {
        for (int gate = 0; gate < kGateCount; ++gate) {
            std::string key;
            FormatText(key, format, gate);
            const std::string value = std::to_string(table[gate]);
            if (context.Json()) {
                json += (json.size() > 1 ? "," : "") + JsonString(key) + ":" + value;
            } else {
                PrintOut(key + "=" + value);
            }
        }
    }
    if (context.Json()) PrintOut(json + "}");
}

int RunGenThreshold(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 1, 0, 0); usage != kExitSuccess) return usage;
    ThresholdGenerationRequest request;
    if (!ReadValue(line, "trigger", 0, request.triggerCoefficientDb) ||
        !ReadValue(line, "hold", 0, request.holdCoefficientDb) ||
        !ReadValue(line, "scan", 1, request.scanSeconds)) {
        return kExitUsage;
    }

    DeviceSession session;
    if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
    StopSignal stop;
    CliGenerationSink sink(stop);
    RadarDeviceStreamLink link(session.Device());
    ThresholdGenerator generator(link, sink);
    LinkLossWatch watch(session.Device(), stop);
    PrintErr(std::string(kProgramName) +
             ": ensure no one is in the detection area during the scan; Ctrl-C stops it\n");
    if (!generator.Start(request)) {
        PrintError("threshold generation did not start (--verbose tells why)");
        return kExitFailed;
    }
    while (!sink.Finished() && stop.Wait(-1) == StopReason::Notified && !watch.Lost()) {
    }
    // A Ctrl-C or a lost link ends the scan early; the worker then reports "finished 0".
    generator.Stop();
    if (watch.Lost()) {
        PrintError("the link to the sensor on " + session.PortName() + " was lost");
        return kExitNoDevice;
    }
    if (!sink.Succeeded()) {
        PrintError(LoadStringText(kStrGenerateFailed));
        return kExitFailed;
    }
    PrintErr(std::string(LoadStringText(kStrGenerateSucceeded)) + "\n");

    RadarParamSetting record;
    const int result = ReadThresholdsAfterGeneration(session.Device(), record);
    if (result != kParamResultSuccess) {
        PrintError(LoadStringText(result == kParamResultNotConnected ? kStrDeviceNotConnected
                                                                     : kStrReadParamsFailed));
        return result == kParamResultNotConnected ? kExitNoDevice : kExitFailed;
    }
    PrintThresholds(context, record);
    return kExitSuccess;
}

}  // namespace

CommandSpec GenThresholdCommand() {
    return {
        "gen-threshold",
        "gen-threshold [--trigger N] [--hold N] [--scan S]",
        "let the sensor generate its thresholds from a scan",
        "Has the sensor scan the empty detection area and derive its 16 trigger and 16\n"
        "hold thresholds (trigger and hold coefficients in dB), shows the progress on\n"
        "standard error and prints the new thresholds as KEY=VALUE lines (or JSON).\n"
        "Keep the area empty during the scan. Ctrl-C stops it (exit status 1).\n",
        {{"trigger", OptionArg::Required, "N", "trigger threshold coefficient in dB; default 2"},
         {"hold", OptionArg::Required, "N", "hold threshold coefficient in dB; default 1"},
         {"scan", OptionArg::Required, "S",
          "scan time in seconds; default 120 (a pure environment; 30 for a complicated one)"}},
        RunGenThreshold};
}
