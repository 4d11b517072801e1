#include "firmware_service_commands.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "core/base_string.h"
#include "device_session.h"
#include "exit_codes.h"
#include "firmware/download_settings.h"
#include "firmware/firmware_fetch.h"
#include "firmware/firmware_protocol.h"
#include "progress_bar.h"
#include "resources/string_table.h"
#include "upgrade/upgrade_interface.h"

namespace {

// Points the client at the service. kExitSuccess, or kExitFailed with the reason printed when no
// usable address is set.
int SetupFirmwareService(const CliContext& context) {
    std::string configured;
    switch (ConfigureFirmwareService(context.SettingsRoot(), configured)) {
        case FirmwareServiceSetup::Ok:
            return kExitSuccess;
        case FirmwareServiceSetup::BadAddress:
            PrintError("the firmware service address \"" + configured + "\" (" +
                       kServiceUrlAttribute + " in the " + kDownloadSection +
                       " section of appConfig.xml) is not an http://, https:// or file:// address");
            return kExitFailed;
        case FirmwareServiceSetup::NoAddress:
            break;
    }
    PrintError(std::string("no firmware service address: set ") + kServiceUrlAttribute +
               " in the " + kDownloadSection + " section of appConfig.xml, or " +
               kServiceUrlVariable);
    return kExitFailed;
}

// The message of a failed service operation, with the service's address to act on.
int ServiceFailure(FirmwareServiceStatus status) {
    CBaseStringA base;
    Orbo_Upgrade_GetServiceUrl(&base);
    const int id = FirmwareServiceMessageId(status);
    PrintError(PlainText(id != 0 ? LoadStringText(id) : "") + " (" + base.GetString() +
               "; --verbose tells why)");
    return kExitFailed;
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ",") + JsonString(item);
    return "[" + list + "]";
}

// The download's progress as a bar on standard error.
class FetchProgressBar : public IFirmwareFetchProgress {
public:
    FetchProgressBar() : m_bar(IsTerminal(stderr)) {}

    void OnFirmwareFetchProgress(int percent, uint64_t doneBytes, uint64_t, double,
                                 const std::string& text) override {
        if (percent < 0) {
            m_bar.Show(0, std::to_string(doneBytes) + " bytes");
        } else {
            m_bar.Show(percent, PlainText(text));
        }
    }
    void Finish() { m_bar.Finish(); }

private:
    ProgressBar m_bar;
};

// Fetches the version with a progress bar; kExitSuccess with the result, or the exit code with
// the reason printed.
int Fetch(const CliContext& context, const std::string& version, FirmwareFetchResult& result) {
    if (!IsSafeFirmwareVersionText(version)) {
        return UsageError("'" + version +
                          "' cannot be a firmware version (no separators, \"..\", "
                          "leading dot or control characters)");
    }
    if (const int setup = SetupFirmwareService(context); setup != kExitSuccess) return setup;
    FetchProgressBar progress;
    result = FetchFirmwareVersion(version, std::string(), &progress);
    progress.Finish();
    if (result.status != FirmwareServiceStatus::Ok) return ServiceFailure(result.status);
    return kExitSuccess;
}

}  // namespace

OptionSpec FirmwareListAllOption() {
    return {"all", OptionArg::None, nullptr,
            "'list': every version the service offers, without asking the sensor"};
}

int RunFirmwareList(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 2, 0, 0); usage != kExitSuccess) return usage;
    if (const int setup = SetupFirmwareService(context); setup != kExitSuccess) return setup;
    const bool all = line.Has("all");
    std::string sensorVersion;
    if (!all) {
        DeviceSession session;
        if (const int opened = session.Open(context); opened != kExitSuccess) return opened;
        CBaseStringA version;
        if (!Orbo_Interface_RadarDevice_GetVersion(session.Device(), version) ||
            version.GetLength() == 0) {
            PrintError("the sensor on " + session.PortName() +
                       " did not give its version; --all lists every version");
            return kExitFailed;
        }
        sensorVersion = version.GetString();
    }
    std::vector<std::string> versions;
    const FirmwareServiceStatus status = ListNewerFirmwareVersions(sensorVersion, versions);
    if (status != FirmwareServiceStatus::Ok) return ServiceFailure(status);
    if (context.Json()) {
        PrintOut("{\"sensorVersion\":" + (all ? std::string("null") : JsonString(sensorVersion)) +
                 ",\"versions\":" + JsonList(versions) + "}");
        return kExitSuccess;
    }
    for (const std::string& version : versions) {
        if (!PrintOut(version)) break;
    }
    if (versions.empty()) {
        PrintErr(all ? std::string("The service offers no firmware version.\n")
                     : "No firmware version newer than " + sensorVersion + " is offered.\n");
    }
    return kExitSuccess;
}

int RunFirmwareFetch(CliContext& context, const CommandLine& line) {
    if (const int usage = CheckWordCount(line, 2, 1, 1); usage != kExitSuccess) return usage;
    FirmwareFetchResult result;
    if (const int fetched = Fetch(context, line.words[2], result); fetched != kExitSuccess) {
        return fetched;
    }
    if (context.Json()) {
        std::vector<std::string> images;
        for (int partition = 0; partition < kMaxFirmwarePartitions; ++partition) {
            const std::string image = FirmwareImagePath(result.versionFolder, partition, false);
            if (!image.empty()) images.push_back(image);
        }
        PrintOut("{\"version\":" + JsonString(result.version) +
                 ",\"folder\":" + JsonString(result.versionFolder) + ",\"archive\":" +
                 JsonString(result.archivePath) + ",\"images\":" + JsonList(images) + "}");
    } else {
        PrintOut(result.versionFolder);
    }
    return kExitSuccess;
}

int FetchFlashImage(CliContext& context, const std::string& version, int partition,
                    std::string& imagePath) {
    FirmwareFetchResult result;
    if (const int fetched = Fetch(context, version, result); fetched != kExitSuccess) {
        return fetched;
    }
    imagePath = FirmwareImagePath(result.versionFolder, partition, false);
    if (imagePath.empty()) {
        PrintError(PlainText(LoadStringText(kStrBinFileError)) + " (version " + result.version +
                   " has no APP" + std::to_string(partition) + ".bin)");
        return kExitFailed;
    }
    PrintErr("Firmware " + result.version + ": " + imagePath + "\n");
    return kExitSuccess;
}
