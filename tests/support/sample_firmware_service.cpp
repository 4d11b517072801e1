#include "support/sample_firmware_service.h"

#include <chrono>
#include <filesystem>

#include "support/process_runner.h"

std::string FirmwareServiceScriptPath() {
    return (std::filesystem::path(ORBO_SOURCE_DIR) / "sim" / "make-firmware-service").string();
}

bool MakeSampleFirmwareService(const std::string& folder, const std::vector<std::string>& args,
                               std::string* error) {
    std::vector<std::string> argv{"/usr/bin/env", "python3", FirmwareServiceScriptPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(folder);
    ProcessOptions options;
    options.deadline = std::chrono::seconds(60);
    const ProcessResult result = RunProcess(argv, options);
    if (result.started && result.exitCode == 0) return true;
    if (error != nullptr) {
        *error = (result.started ? std::string() : result.error + "\n") + result.out + result.err;
    }
    return false;
}

std::string FileAddress(const std::string& path) {
    return "file://" + path;
}
