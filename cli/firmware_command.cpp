// "firmware info" and "flash": the firmware procedures (running mode, device identifier and
// partitions; the download of an image through the boot loader) with terminal output. The
// procedures open and close the port themselves, on a device of their own.
#include <map>
#include <string>
#include <vector>

#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/utf_convert.h"
#include "device_session.h"
#include "exit_codes.h"
#include "firmware/boot_loader_device.h"
#include "firmware/firmware_download.h"
#include "firmware/firmware_protocol.h"
#include "firmware/firmware_sink.h"
#include "firmware_service_commands.h"
#include "progress_bar.h"

namespace {

// The firmware window's widgets as terminal output: the information box and the labels of the
// download as narrative lines on standard error, the progress as a bar there, message boxes as
// error lines; the running mode, device identifier and partition list are kept for the result.
class CliFirmwareSink : public IFirmwareSink {
public:
    CliFirmwareSink() : m_bar(IsTerminal(stderr)) {}

    void SetLabelText(FirmwareLabel label, const std::string& text) override {
        m_labels[label] = PlainText(text);
        if (label == FirmwareLabel::FileSize || label == FirmwareLabel::FileVerifyNum) {
            PrintErr(m_labels[label] + "\n");
        }
    }
    void AppendInfoText(const std::string& text) override {
        m_bar.Finish();
        PrintErr(PlainText(text) + "\n");
    }
    void ScrollInfoToEnd() override {}
    void SetPartitionItems(const std::vector<FirmwarePartitionItem>& items, int) override {
        m_partitions = items;
    }
    void SetProgressRange(uint32_t maximum) override { m_maximum = maximum; }
    void SetProgressValue(uint32_t value) override {
        if (m_maximum == 0) return;
        m_bar.Show(100.0 * value / m_maximum, m_labels[FirmwareLabel::DownloadProgressText]);
    }
    void SetDownloadingInfoVisible(bool visible) override {
        if (!visible) m_bar.Finish();
    }
    void ShowMessageBox(const std::string& title, const std::string& text,
                        FirmwareMessageIcon) override {
        m_bar.Finish();
        PrintError(PlainText(title) + ": " + PlainText(text));
    }

    std::string Label(FirmwareLabel label) const {
        const auto found = m_labels.find(label);
        return found == m_labels.end() ? std::string() : found->second;
    }
    const std::vector<FirmwarePartitionItem>& Partitions() const { return m_partitions; }

private:
    std::map<FirmwareLabel, std::string> m_labels;
    std::vector<FirmwarePartitionItem> m_partitions;
    uint32_t m_maximum = 0;
    ProgressBar m_bar;
};

// The exit status of a failed procedure. Once the sensor answered the information query it is
// there: only a port that does not open again means "no sensor" for the download.
int FailureExit(FirmwareResult result, bool sensorAnsweredBefore) {
    switch (result) {
        case FirmwareResult::OpenFailed:
            return kExitNoDevice;
        case FirmwareResult::NoPort:
        case FirmwareResult::NoSensor:
            return sensorAnsweredBefore ? kExitFailed : kExitNoDevice;
        case FirmwareResult::Succeeded:
        case FirmwareResult::Failed:
        case FirmwareResult::NoPartition:
        case FirmwareResult::BadImage:
            break;
    }
    return kExitFailed;
}

// What both commands share: a device of their own, its boot loader link, the sink and the
// downloader set up with the resolved port and line settings.
struct FirmwareSetup {
    RadarDevicePtr device{Orbo_Interface_RadarDevice_Serial_Create()};
    RadarDeviceBootLoaderLink link{device.get()};
    CliFirmwareSink sink;
    FirmwareDownloader downloader{link, sink};
    std::string portName;

    int Prepare(const CliContext& context) {
        int number = 0;
        if (const int resolved = context.ResolvePort(number, portName); resolved != kExitSuccess) {
            return resolved;
        }
        if (!device) {
            PrintError("the radar device cannot be created");
            return kExitFailed;
        }
        downloader.SetPortNumber(number);
        downloader.SetLineSettings(context.Serial());
        return kExitSuccess;
    }

    // GetFirmwareInfo with the exit status of its result.
    int QueryInfo() {
        const FirmwareResult result = downloader.GetFirmwareInfo();
        if (result == FirmwareResult::Succeeded) return kExitSuccess;
        PrintError("the firmware information of the sensor on " + portName + " is incomplete");
        return FailureExit(result, false);
    }
};

void PrintFirmwareInfo(const CliContext& context, const CliFirmwareSink& sink) {
    const std::vector<FirmwarePartitionItem>& partitions = sink.Partitions();
    if (context.Json()) {
        std::string list;
        for (const FirmwarePartitionItem& item : partitions) {
            list += (list.empty() ? "" : ",") + std::string("{\"name\":") + JsonString(item.text) +
                    ",\"partition\":" + std::to_string(item.tag) + "}";
        }
        PrintOut("{\"runningMode\":" + JsonString(sink.Label(FirmwareLabel::RunningMode)) +
                 ",\"deviceId\":" + JsonString(sink.Label(FirmwareLabel::DeviceId)) +
                 ",\"partitions\":[" + list + "]}");
        return;
    }
    PrintOut(sink.Label(FirmwareLabel::RunningMode));
    PrintOut(sink.Label(FirmwareLabel::DeviceId));
    std::string list = "Partitions:";
    for (const FirmwarePartitionItem& item : partitions) list += " " + item.text;
    PrintOut(list);
}

int RunFirmware(CliContext& context, const CommandLine& line) {
    if (line.words.size() >= 2 && line.words[1] == "list") return RunFirmwareList(context, line);
    if (line.words.size() >= 2 && line.words[1] == "fetch") return RunFirmwareFetch(context, line);
    if (line.words.size() < 2 || line.words[1] != "info") {
        return UsageError(line.words.size() < 2
                              ? std::string("'firmware' needs a subcommand: info, list or fetch")
                              : "no subcommand 'firmware " + line.words[1] + "'");
    }
    if (const int usage = CheckWordCount(line, 2, 0, 0); usage != kExitSuccess) return usage;
    FirmwareSetup setup;
    if (const int prepared = setup.Prepare(context); prepared != kExitSuccess) return prepared;
    const int result = setup.QueryInfo();
    if (result == kExitSuccess) PrintFirmwareInfo(context, setup.sink);
    return result;
}

int RunFlash(CliContext& context, const CommandLine& line) {
    const std::string* version = line.Value("version");
    const size_t files = version != nullptr ? 0 : 1;
    if (const int usage = CheckWordCount(line, 1, files, files); usage != kExitSuccess) {
        return usage;
    }
    const std::string* partitionText = line.Value("partition");
    if (partitionText == nullptr) return UsageError("'flash' needs --partition N");
    const auto partition = ParseUnsigned(*partitionText, kMaxFirmwarePartitions - 1);
    if (!partition) {
        return UsageError("--partition takes a partition number from 0 to " +
                          std::to_string(kMaxFirmwarePartitions - 1) + ", not '" + *partitionText +
                          "'");
    }
    std::string file = version != nullptr ? std::string() : line.words[1];
    std::u16string path;
    if (!Utf8ToUtf16(file, path)) {
        return UsageError("the file name '" + file + "' is not valid UTF-8");
    }

    FirmwareSetup setup;
    if (const int prepared = setup.Prepare(context); prepared != kExitSuccess) return prepared;
    // With --version the image is fetched first; its path comes from the image folder.
    if (version != nullptr) {
        const int fetched = FetchFlashImage(context, *version, static_cast<int>(*partition), file);
        if (fetched != kExitSuccess) return fetched;
        if (!Utf8ToUtf16(file, path)) {
            PrintError("the image path '" + file + "' is not valid UTF-8");
            return kExitFailed;
        }
    }
    // As the window's fetch-and-download: the information first, then the download.
    if (const int info = setup.QueryInfo(); info != kExitSuccess) return info;
    bool offered = false;
    std::string offeredList;
    for (const FirmwarePartitionItem& item : setup.sink.Partitions()) {
        offered = offered || item.tag == static_cast<int>(*partition);
        offeredList += " " + item.text;
    }
    if (!offered) {
        PrintError("the sensor has no partition " + std::to_string(*partition) +
                   " (it offers:" + (offeredList.empty() ? " none" : offeredList) + ")");
        return kExitFailed;
    }
    setup.downloader.SetSelectedPartition(static_cast<int>(*partition));
    const FirmwareResult downloaded =
        setup.downloader.DownloadFirmware(static_cast<int>(*partition), path.c_str());
    if (downloaded != FirmwareResult::Succeeded) {
        PrintError("the download into partition " + std::to_string(*partition) + " failed");
        return FailureExit(downloaded, true);
    }
    return kExitSuccess;
}

}  // namespace

CommandSpec FirmwareCommand() {
    return {"firmware",
            "firmware info | list [--all] | fetch VERSION",
            "firmware information; versions of the firmware service",
            "  info            asks the sensor (or its boot loader) which firmware runs, its\n"
            "                  device identifier and which application partitions it has\n"
            "  list            the firmware service's versions newer than the sensor's, one\n"
            "                  per line in the service's order (--all: every version)\n"
            "  fetch VERSION   downloads the version's archive, checks it and unpacks its\n"
            "                  images into FW_Image/VERSION; prints that folder\n"
            "The service's address is FirmwareServiceUrl in the Download section of\n"
            "appConfig.xml, or the environment variable ORBO_FIRMWARE_URL.\n",
            {FirmwareListAllOption()},
            RunFirmware};
}

CommandSpec FlashCommand() {
    return {"flash",
            "flash --partition N (FILE | --version VERSION)",
            "write a firmware image into a partition",
            "Asks for the firmware information first (as 'firmware info'), then restarts the\n"
            "sensor into its boot loader unless it is there already and writes the image\n"
            "FILE into partition N, showing the progress on standard error. The sensor\n"
            "starts the new application by itself afterwards. Do not interrupt a download.\n"
            "With --version the image is APP<N>.bin of that version, fetched from the\n"
            "firmware service first (as 'firmware fetch').\n",
            {{"partition", OptionArg::Required, "N",
              "the partition to write (0 for App0, 1 for App1, ...)"},
             {"version", OptionArg::Required, "VERSION",
              "flash this version of the firmware service instead of a FILE"}},
            RunFlash};
}
