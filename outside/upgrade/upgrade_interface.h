// The firmware service client (libOrbo_Upgrade.so): which firmware versions the service offers,
// how versions compare, where a version's archive is, and downloading that archive checked.
//
// The service is a folder of files under a base address (http://, https:// or file://): its
// index <base>/index.xml lists the versions (firmware_index.h describes the file) and the
// archives lie where the index says. The caller sets the base address with
// Orbo_Upgrade_SetServiceUrl (the tool and zorvan-cli pass the "FirmwareServiceUrl" attribute of
// the "Download" section of their settings); the environment variable ORBO_FIRMWARE_URL, when set
// and not empty, overrides it. The library reads no settings file of its own. libcurl is loaded
// on first use; certificates of https addresses are checked against the system's store.
//
// Results: int, nonzero for success, unless said otherwise. Every operation but the two queries
// CompareVersion and GetServiceUrl writes a level-2 line; failures say why at level 3 or 4.
//
// Threads: every operation may be called from any thread. The index read by Logon is kept for
// the listing, version and download operations until the next Logon or SetServiceUrl;
// DownloadFile blocks its thread for the whole transfer and calls the listener there.
#pragma once

#include <cstdint>

#include "core/base_string.h"
#include "net/net_file_copy_progress.h"
#include "upgrade_api.h"

// Sets the service's base address (null or empty: none) and forgets the index kept so far.
// 0 (nothing changed) when the address is not an http, https or file address.
ORBO_UPGRADE_API int Orbo_Upgrade_SetServiceUrl(const char* baseUrl);

// The base address in effect (the environment's override or the caller's) into `baseUrl`; 0 and
// an empty text when none is set.
ORBO_UPGRADE_API int Orbo_Upgrade_GetServiceUrl(CBaseStringA* baseUrl);

// Reads the service's index and keeps it. Nonzero when the index could be fetched and parsed
// (an index that lists no version included).
ORBO_UPGRADE_API int Orbo_Upgrade_Logon();

// `versions` := the names of the offered versions joined by ";", in the service's order (empty
// when it offers none). `product` selects the product line: the service's index serves one, so
// -1 and every other value mean it. Uses the kept index (read first when there is none). 0 when
// the index cannot be had or `versions` is null.
ORBO_UPGRADE_API int Orbo_Upgrade_GetHistoryVersion(int product, CBaseStringA* versions);

// Compares two version texts as dotted numbers, a leading 'v'/'V' ignored; any version is newer
// than an empty one (null counts as empty). `partCount` > 0 compares only that many leading
// parts; 0 compares them all. Greater than 0 when a is newer than b, less than 0 when b is newer,
// 0 when they are equal. Needs no service.
ORBO_UPGRADE_API int Orbo_Upgrade_CompareVersion(const char* versionA, const char* versionB,
                                                 int partCount);

// The five texts of a version: its name as the service has it; the absolute address of its
// archive; the archive's MD5 digest (32 lower-case hexadecimal digits); its size in bytes
// (decimal); its date and notes ("date notes", either left out when empty). The version is found
// by its exact name, else by the name without a leading 'v'/'V'. `product` as for
// GetHistoryVersion. Nonzero when the version exists; otherwise 0 and the texts are emptied. Null
// text pointers are skipped.
ORBO_UPGRADE_API int Orbo_Upgrade_GetVersionInfo(int product, const char* version,
                                                 CBaseStringA* name, CBaseStringA* archiveUrl,
                                                 CBaseStringA* md5, CBaseStringA* size,
                                                 CBaseStringA* dateNotes);

// Downloads the archive at `archiveUrl` (the second text of GetVersionInfo) to `localPath`
// (UTF-8): the bytes go to a temporary file beside it, which must then have the size the index
// gives for that address and the MD5 digest `md5` holds (the third text of GetVersionInfo, in
// either case); only then is it renamed to `localPath`. On failure no file of this download is
// left and whatever `localPath` held stays. An address the index does not list, one that is not
// http, https or file, or an md5 that is not 32 hexadecimal digits is refused before anything is
// copied. `timeLimitMs` bounds the copy (0 = none). The listener (may be null) is called after
// each block with (userData, bytes done, the archive's size, bytes per millisecond, speed limit
// slot); a result of 0 cancels the download. When the whole file arrived, `md5` is replaced by
// the digest of what arrived (lower case), matching or not. Nonzero when the archive is in
// place.
ORBO_UPGRADE_API int Orbo_Upgrade_DownloadFile(const char* archiveUrl, const char* localPath,
                                               CBaseStringA* md5, uint64_t timeLimitMs,
                                               INetFileCopyProgressListener* listener,
                                               uint64_t userData);
