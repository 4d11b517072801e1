// What the firmware window keeps in the "Download" section of the settings and where it finds
// its skin: the firmware service's address ("FirmwareServiceUrl", overridden by the environment
// variable ORBO_FIRMWARE_URL), the last image file chosen ("DownloadFilePath") and the skin file
// for the interface language. zorvan-cli points the service client at the same address.
//
// Window thread (or the CLI's main thread): the settings document is not guarded.
#pragma once

#include <string>

#include "app/xml_parser.h"
#include "resources/string_table.h"

constexpr const char* kDownloadSection = "Download";
constexpr const char* kServiceUrlAttribute = "FirmwareServiceUrl";
constexpr const char* kServiceUrlVariable = "ORBO_FIRMWARE_URL";
constexpr const char* kDownloadFilePathAttribute = "DownloadFilePath";

enum class FirmwareServiceSetup {
    Ok,
    BadAddress,  // the configured address is no http://, https:// or file:// address
    NoAddress,   // neither the settings nor the environment name a service
};

// Points the firmware service client at the settings' address. `configured` receives the address
// of the settings (for messages). `settingsRoot` may be empty (no settings).
FirmwareServiceSetup ConfigureFirmwareService(const XMLNode& settingsRoot, std::string& configured);

// The download file path the window starts with: the "DownloadFilePath" attribute of the section
// when it is there and not empty, else `programFolder`; at most kMaxPathChars UTF-16 units.
std::u16string InitialDownloadFilePath(const XMLNode& settingsRoot,
                                       const std::u16string& programFolder);
// Stores the chosen path as "DownloadFilePath" (the section is created when missing).
void StoreDownloadFilePath(XMLNode settingsRoot, const std::u16string& path);
// A typed or chosen path as the window keeps it: its first kMaxPathChars UTF-16 units (a
// surrogate pair is not split).
std::u16string LimitDownloadFilePath(std::u16string path);

// The skin file of the firmware window below the skin folder: "CHS/Download/Download_FW.xml" for
// Chinese, "ENG/Download/Download_FW.xml" otherwise.
std::string FirmwareSkinRelativePath(UiLanguage language);
