#include "upgrade_interface.h"

#include <cinttypes>
#include <string>

#include "archive_download.h"
#include "core/dbg_output.h"
#include "firmware_index.h"
#include "firmware_service.h"

namespace {

void SetText(CBaseStringA* text, const std::string& value) {
    if (text != nullptr) text->Set(value.c_str(), static_cast<int>(value.size()));
}

const char* Shown(const char* text) {
    return text != nullptr ? text : "(null)";
}

bool IsMd5Text(const char* text) {
    if (text == nullptr) return false;
    int count = 0;
    for (; text[count] != '\0'; ++count) {
        const char c = text[count];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return count == 32;
}

}  // namespace

int Orbo_Upgrade_SetServiceUrl(const char* baseUrl) {
    DbgOutputA(kDbgLevelInfo, "Orbo_Upgrade_SetServiceUrl(%s)\r\n", Shown(baseUrl));
    return SetFirmwareServiceBase(baseUrl) ? 1 : 0;
}

int Orbo_Upgrade_GetServiceUrl(CBaseStringA* baseUrl) {
    const std::string base = EffectiveFirmwareServiceBase();
    SetText(baseUrl, base);
    return base.empty() ? 0 : 1;
}

int Orbo_Upgrade_Logon() {
    FirmwareIndex index;
    const bool ok = RefreshFirmwareIndex(index);
    DbgOutputA(kDbgLevelInfo, "Orbo_Upgrade_Logon(%s): %s\r\n", index.base.c_str(),
               ok ? "ok" : "failed");
    return ok ? 1 : 0;
}

int Orbo_Upgrade_GetHistoryVersion(int product, CBaseStringA* versions) {
    if (versions == nullptr) {
        DbgOutputA(kDbgLevelWarning, "Orbo_Upgrade_GetHistoryVersion: no string to fill\r\n");
        return 0;
    }
    FirmwareIndex index;
    if (!CurrentFirmwareIndex(index)) {
        versions->Set("");
        DbgOutputA(kDbgLevelWarning, "Orbo_Upgrade_GetHistoryVersion(%d): no index\r\n", product);
        return 0;
    }
    SetText(versions, index.VersionList());
    DbgOutputA(kDbgLevelInfo, "Orbo_Upgrade_GetHistoryVersion(%d): %s\r\n", product,
               versions->GetString());
    return 1;
}

int Orbo_Upgrade_CompareVersion(const char* versionA, const char* versionB, int partCount) {
    return CompareFirmwareVersions(versionA, versionB, partCount);
}

int Orbo_Upgrade_GetVersionInfo(int product, const char* version, CBaseStringA* name,
                                CBaseStringA* archiveUrl, CBaseStringA* md5, CBaseStringA* size,
                                CBaseStringA* dateNotes) {
    for (CBaseStringA* text : {name, archiveUrl, md5, size, dateNotes}) SetText(text, "");
    FirmwareIndex index;
    if (!CurrentFirmwareIndex(index)) {
        DbgOutputA(kDbgLevelWarning, "Orbo_Upgrade_GetVersionInfo(%d, %s): no index\r\n", product,
                   Shown(version));
        return 0;
    }
    const FirmwareVersionRecord* record = index.FindVersion(version != nullptr ? version : "");
    if (record == nullptr) {
        DbgOutputA(kDbgLevelWarning,
                   "Orbo_Upgrade_GetVersionInfo(%d, %s): the service offers no such version\r\n",
                   product, Shown(version));
        return 0;
    }
    std::string dateAndNotes = record->date;
    if (!dateAndNotes.empty() && !record->notes.empty()) dateAndNotes += ' ';
    dateAndNotes += record->notes;
    SetText(name, record->name);
    SetText(archiveUrl, record->archiveAddress);
    SetText(md5, record->md5);
    SetText(size, std::to_string(record->size));
    SetText(dateNotes, dateAndNotes);
    DbgOutputA(kDbgLevelInfo, "Orbo_Upgrade_GetVersionInfo(%d, %s): %s, %" PRIu64 " bytes\r\n",
               product, Shown(version), record->archiveAddress.c_str(), record->size);
    return 1;
}

int Orbo_Upgrade_DownloadFile(const char* archiveUrl, const char* localPath, CBaseStringA* md5,
                              uint64_t timeLimitMs, INetFileCopyProgressListener* listener,
                              uint64_t userData) {
    DbgOutputA(kDbgLevelInfo, "Orbo_Upgrade_DownloadFile(%s, %s)\r\n", Shown(archiveUrl),
               Shown(localPath));
    if (archiveUrl == nullptr || SchemeOfAddress(archiveUrl) == FirmwareAddressScheme::None) {
        DbgOutputA(kDbgLevelWarning,
                   "Orbo_Upgrade_DownloadFile: \"%s\" is not an http, https or file address\r\n",
                   Shown(archiveUrl));
        return 0;
    }
    if (localPath == nullptr || localPath[0] == '\0') {
        DbgOutputA(kDbgLevelWarning, "Orbo_Upgrade_DownloadFile: no local path\r\n");
        return 0;
    }
    if (md5 == nullptr || !IsMd5Text(md5->GetString())) {
        DbgOutputA(kDbgLevelWarning,
                   "Orbo_Upgrade_DownloadFile: the expected MD5 \"%s\" is not 32 hexadecimal "
                   "digits\r\n",
                   md5 != nullptr ? md5->GetString() : "(null)");
        return 0;
    }
    // The size to check comes from the index; an address it does not list cannot be checked.
    FirmwareIndex index;
    const FirmwareVersionRecord* record = nullptr;
    if (CurrentFirmwareIndex(index)) record = index.FindArchive(archiveUrl);
    if (record == nullptr && RefreshFirmwareIndex(index)) record = index.FindArchive(archiveUrl);
    if (record == nullptr) {
        DbgOutputA(kDbgLevelWarning,
                   "Orbo_Upgrade_DownloadFile: the service's index lists no archive at %s\r\n",
                   archiveUrl);
        return 0;
    }
    ArchiveDownloadRequest request;
    request.address = archiveUrl;
    request.localPath = localPath;
    request.expectedSize = record->size;
    request.expectedMd5 = md5->GetString();
    request.timeLimitMs = timeLimitMs;
    request.listener = listener;
    request.userData = userData;
    std::string actual;
    const bool done = DownloadVerifiedArchive(request, &actual);
    if (!actual.empty()) {
        // Set keeps a text equal without regard to case; the digest is given in lower case.
        md5->Free();
        SetText(md5, actual);
    }
    return done ? 1 : 0;
}
