// Copying a remote file into a local file with a CHttpFileClient, with progress reports.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "http_file_client.h"
#include "net_file_copy_progress.h"

// Bytes moved per read of the copy.
constexpr uint32_t kHttpFileCopyBlockBytes = 0x80000;

// Opens url on the client (request options as for CHttpFileClient::OpenFile), creates or
// truncates localPath and copies the file with continuous reads of kHttpFileCopyBlockBytes.
// After each block the listener (may be null) gets (userData, bytes written so far, size or 0
// when unknown, the block's bytes per millisecond, the new speed limit slot); a result of 0
// stops the copy, and what it leaves in the slot becomes the client's speed limit.
// timeLimitMs (0 = none) bounds the whole copy. Only bytes that reached the local file count.
// 1 when the whole file of known size was written and the local file closed without error;
// else 0 (a partly written local file is left in place). The client is closed at the end.
// Runs on the calling thread.
ORBO_COMMON_API int HttpFileCopyFromServer(
    CHttpFileClient* client, const char* url, const CBaseBuffer* caCerts, const char* bearerToken,
    const char* extraHeader, long authMask, const char* userName, const char* password,
    int useProxy, long proxyType, const char* proxyAddress, const char* proxyUserName,
    const char* proxyPassword, const char* localPath, uint64_t timeLimitMs,
    INetFileCopyProgressListener* listener, uint64_t userData);
