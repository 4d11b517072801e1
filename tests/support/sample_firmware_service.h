// A sample firmware service for tests, built by sim/make-firmware-service: <folder>/index.xml and
// <folder>/archives/<version>.zip with APP0.bin and APP1.bin (see the script's --help for the
// faults it can build in). Used by one thread.
#pragma once

#include <string>
#include <vector>

// The script of this checkout.
std::string FirmwareServiceScriptPath();

// Runs the script for `folder` with the extra arguments. False with `error` set (the script's
// own output) when it did not succeed.
bool MakeSampleFirmwareService(const std::string& folder, const std::vector<std::string>& args,
                               std::string* error);

// "file://" + an absolute path.
std::string FileAddress(const std::string& path);
