// "firmware list", "firmware fetch" and the fetch of "flash --version": the firmware service as
// the firmware page uses it, with terminal output. The service's address is the
// "FirmwareServiceUrl" attribute of the settings' "Download" section, unless the environment
// variable ORBO_FIRMWARE_URL names another; fetched versions go to the FW_Image folder
// (ORBO_HOME/FW_Image when ORBO_HOME is set). Main thread only.
#pragma once

#include <string>

#include "command_line.h"

class CliContext;

// The option "--all" of "firmware list".
OptionSpec FirmwareListAllOption();

// "firmware list [--all]": the versions newer than the connected sensor's (all with --all), one
// per line in the service's order. The exit code.
int RunFirmwareList(CliContext& context, const CommandLine& line);

// "firmware fetch VERSION": download with a progress bar, check, unpack into the version's
// folder; prints the folder. The exit code.
int RunFirmwareFetch(CliContext& context, const CommandLine& line);

// Fetches `version` and finds the image of `partition` in its folder (imagePath). kExitSuccess,
// or the exit code with the reason printed.
int FetchFlashImage(CliContext& context, const std::string& version, int partition,
                    std::string& imagePath);
