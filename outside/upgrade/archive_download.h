// Downloading a firmware archive so that only a complete, verified file ever appears under the
// local name: the bytes go to a temporary file beside it (the local name followed by ".XXXXXX"),
// copied with the HTTP file copy (http, https and file addresses); the temporary file must then
// have exactly the expected size and MD5 digest, is flushed to the disk, and only then renamed
// over the local name. On any failure the temporary file is removed and whatever the local name
// held before stays as it was.
//
// Runs on the calling thread (the progress listener is called there); any thread.
#pragma once

#include <cstdint>
#include <string>

#include "net/net_file_copy_progress.h"

struct ArchiveDownloadRequest {
    std::string address;                               // http://, https:// or file://
    std::string localPath;                             // UTF-8, '/' or '\\' separators
    uint64_t expectedSize = 0;                         // bytes, from the index
    std::string expectedMd5;                           // 32 hexadecimal digits, either case
    uint64_t timeLimitMs = 0;                          // for the whole copy; 0 = none
    INetFileCopyProgressListener* listener = nullptr;  // may be null
    uint64_t userData = 0;                             // handed to the listener
};

// The listener sees (userData, bytes written so far, the expected size, bytes per millisecond,
// the speed limit slot); a result of 0 stops the download. A server that announces another size
// than the expected one, or sends more bytes, stops the copy at once.
// True when the archive is in place. `actualMd5` (may be null) receives the lower-case digest of
// the downloaded bytes whenever the whole file arrived (also when it did not match), and is left
// alone otherwise.
bool DownloadVerifiedArchive(const ArchiveDownloadRequest& request, std::string* actualMd5);
