#include "firmware/download_settings.h"

#include <cstdlib>

#include "core/base_string.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"
#include "upgrade/upgrade_interface.h"

FirmwareServiceSetup ConfigureFirmwareService(const XMLNode& settingsRoot,
                                              std::string& configured) {
    CBaseStringA address;
    XMLNode download;
    if (!settingsRoot.IsEmpty() && settingsRoot.FindChild(kDownloadSection, download)) {
        download.GetAttributeText(kServiceUrlAttribute, address);
    }
    configured = address.GetString();
    const char* overridden = std::getenv(kServiceUrlVariable);
    const bool hasOverride = overridden != nullptr && overridden[0] != '\0';
    if (!Orbo_Upgrade_SetServiceUrl(address.GetString()) && !hasOverride) {
        return FirmwareServiceSetup::BadAddress;
    }
    CBaseStringA base;
    if (!Orbo_Upgrade_GetServiceUrl(&base)) return FirmwareServiceSetup::NoAddress;
    return FirmwareServiceSetup::Ok;
}

std::u16string LimitDownloadFilePath(std::u16string path) {
    if (path.size() <= static_cast<size_t>(kMaxPathChars)) return path;
    size_t keep = kMaxPathChars;
    // A high surrogate as the last unit kept would leave half a character.
    if (path[keep - 1] >= 0xD800 && path[keep - 1] <= 0xDBFF) --keep;
    path.resize(keep);
    return path;
}

std::u16string InitialDownloadFilePath(const XMLNode& settingsRoot,
                                       const std::u16string& programFolder) {
    XMLNode download;
    CBaseStringA stored;
    if (!settingsRoot.IsEmpty() && settingsRoot.FindChild(kDownloadSection, download) &&
        download.GetAttributeText(kDownloadFilePathAttribute, stored) && stored.GetLength() > 0) {
        return LimitDownloadFilePath(Utf8ToUtf16Lossy(stored.GetString()));
    }
    return LimitDownloadFilePath(programFolder);
}

void StoreDownloadFilePath(XMLNode settingsRoot, const std::u16string& path) {
    XMLNode download;
    settingsRoot.FindOrAddChild(kDownloadSection, download);
    if (download.IsEmpty()) return;
    download.SetAttributeText(kDownloadFilePathAttribute, Utf16ToUtf8Lossy(path).c_str());
}

std::string FirmwareSkinRelativePath(UiLanguage language) {
    return std::string(language == UiLanguage::Chinese ? "CHS" : "ENG") +
           "/Download/Download_FW.xml";
}
