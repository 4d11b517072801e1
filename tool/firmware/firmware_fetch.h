// The firmware page's online procedures over the firmware service client (libOrbo_Upgrade):
// listing the versions newer than the sensor's, and fetching a version into the image folder.
//
// Layout of the image folder (FW_Image, GetAppFolder's FirmwareImage unless a caller names
// another): the archive of the last fetch that succeeded is download.zip there, and every fetched
// version has a folder named by its version text holding the images APP<n>.bin for partition n.
// Each fetch downloads and unpacks a hidden archive file of its own (.download-XXXXXX.zip), which
// becomes download.zip by a rename only once its version folder is in place, so two fetches into
// one folder (two tools, the tool and zorvan-cli) never read or remove each other's archive.
//
// A fetch never leaves a version folder that mixes old and new files or holds a truncated
// image: the archive is downloaded checked (MD5 and size, by the client library), unpacked
// into a fresh hidden folder beside the version folder, must yield at least one ".bin" image,
// and only then replaces the version folder as a whole. A version text that could name another
// folder (a separator, "..", a leading dot, control characters) is refused before anything is
// touched.
//
// The procedures block the calling thread (the window's interface thread or its worker, the
// CLI's main thread); progress is reported on that thread. Fetches of different versions may run
// at once into one folder; two fetches of the same version end with one of them in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The archive of a fetch inside the image folder.
constexpr const char* kFirmwareArchiveName = "download.zip";

enum class FirmwareServiceStatus {
    Ok,
    LogonFailed,        // the service cannot be used (no address, no index)
    VersionListFailed,  // the version list could not be had
    NoVersion,          // no version text given
    BadVersionText,     // a version text that cannot name a folder
    VersionInfoFailed,  // the service does not offer the version
    FolderFailed,       // the image folder cannot be created or written
    DownloadFailed,     // the archive could not be downloaded or did not check out
    UnpackFailed,       // the archive does not unpack, or holds no ".bin" image
};

// The string id of the message a status shows: 10531 for the log-on, 10532 for the version list
// and information, 10533 for the download and the image folder, 10510 for an archive without
// usable images, 0 for Ok and NoVersion (which is silent).
int FirmwareServiceMessageId(FirmwareServiceStatus status);

// Logs on and lists, in the service's order, the versions newer than `sensorVersion` (every
// 'v' and 'V' removed from it first, as the sensor reports "v1.5.2"); an empty sensor version
// lists them all. `versions` is emptied first.
FirmwareServiceStatus ListNewerFirmwareVersions(const std::string& sensorVersion,
                                                std::vector<std::string>& versions);

// True when the text may name a version folder: not empty, at most 64 bytes, no '/' or '\\',
// no "..", no leading '.', no control characters.
bool IsSafeFirmwareVersionText(std::string_view version);

// Percent of a download: done × 100 / total (integer), at most 100; -1 while the total is unknown
// (0), so that nothing divides by it.
int FirmwareFetchPercent(uint64_t doneBytes, uint64_t totalBytes);
// String 10534 with the percent (0 while unknown) and the speed in bytes per millisecond.
std::string FirmwareFetchProgressText(int percent, double bytesPerMs);

// Receives a fetch's download progress, on the fetching thread.
class IFirmwareFetchProgress {
public:
    virtual ~IFirmwareFetchProgress() = default;
    // percent as FirmwareFetchPercent gives it; text as FirmwareFetchProgressText.
    virtual void OnFirmwareFetchProgress(int percent, uint64_t doneBytes, uint64_t totalBytes,
                                         double bytesPerMs, const std::string& text) = 0;
};

struct FirmwareFetchResult {
    FirmwareServiceStatus status = FirmwareServiceStatus::NoVersion;
    std::string version;        // the service's name of the version
    std::string versionFolder;  // <image folder>/<version>, on success
    std::string archivePath;    // <image folder>/download.zip
};

// Fetches `version` (the service's name, or the same without a leading 'v'): log-on, version
// information, download into the image folder (an archive of an earlier fetch is removed
// first, so a failed fetch leaves none), unpack and replace the version folder (see above).
// `imageFolder` empty: GetAppFolder(FirmwareImage). `progress` may be null.
FirmwareFetchResult FetchFirmwareVersion(const std::string& version, const std::string& imageFolder,
                                         IFirmwareFetchProgress* progress);

// The image for a partition in a fetched version's folder: <folder>/APP<partition>.bin when the
// partition is 0 or more and that file exists. Otherwise, with anyImage set (the window's "get
// firmware" button), the first ".bin" file the folder lists (full path, hidden files excluded);
// empty when there is none.
std::string FirmwareImagePath(const std::string& versionFolder, int partition, bool anyImage);
