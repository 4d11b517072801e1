// Copying files and folder trees between this machine and a remote file service
// (socket_file_client.h), in either direction, with progress.
//
// Files travel in blocks of kSocketFileCopyBlockBytes. A copy never leaves a partial file under
// the destination's name: a download is written to a temporary file beside the local file
// (created exclusively, flushed) and renamed over it only when every byte arrived; an upload is
// written to "FileCopy_" + 10 random letters or digits + ".tmp" in the server file's folder
// (opened exclusively, so concurrent copies never share one) and renamed on the server only when
// every byte was written and the file closed without error. Otherwise the temporary file is
// removed.
//
// After each block the listener's OnNetFileCopyProgress gets the user value, the bytes so far,
// the total and the block's speed in bytes per millisecond; the value it leaves in
// *newSpeedLimit (0 on entry) becomes the client's read (download) or write (upload) speed
// limit in bytes per second; its result is not used.
//
// Names that arrive from the other side in a folder copy are joined to a folder only when they
// name an entry directly inside it (IsPlainSocketFileName): "..", '/', '\\' and ';' are refused
// with a log line. Folder copies descend at most kMaxSocketFolderDepth levels.
//
// Every function runs on the caller's thread and uses the client's one kept file: one copy per
// client at a time.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "core/platform_types.h"
#include "net_file_copy_progress.h"

class CSocketFileClient;

constexpr uint32_t kSocketFileCopyBlockBytes = 0x80000;

// Told about folder copies: OnNetFileCopyProgress (inherited) for the blocks of every file.
class ORBO_COMMON_API INetFolderCopyProgressListener : public INetFileCopyProgressListener {
public:
    // A folder was created on the receiving side (its path there). The result is not used.
    virtual int OnNetFolderCreated(uint64_t userValue, const WCHAR* folderPath) = 0;
    // A file is about to be copied. The result is not used.
    virtual int OnNetFileCopyBegin(uint64_t userValue, const WCHAR* serverPath,
                                   const WCHAR* localPath) = 0;
};

// Copies a server file to a local path. timeLimitMs (0 = none) bounds the whole copy and each
// block's wait. Logs "net file size is %llu\r\n" and "download file %ls, used %lldms, speed is
// %.2f K/s!!\r\n"; failures: "NetFile(%ls) open failed\r\n", "local file(%ls) open failed, err
// is:%d\r\n", "Read Net File return == 0!!\r\n". 1 when every byte arrived and the local file
// was replaced.
ORBO_COMMON_API int SocketFileCopyFromServer(CSocketFileClient* client, const WCHAR* serverPath,
                                             const WCHAR* localPath, uint64_t timeLimitMs,
                                             INetFileCopyProgressListener* listener,
                                             uint64_t userValue);

// Copies a local file to a server path. timeLimitMs (0 = none) bounds the whole copy and each
// block's wait. Logs "local file size is %llu\r\n" and "upload file %ls, used %lldms, speed is
// %.2f K/s!!\r\n"; failures: "local file(%ls) open failed, err is:%d\r\n", "NetFile(%ls) open
// failed\r\n", "Read local File return 0!!\r\n", "Write Net File failed!!\r\n". 1 when every byte
// was written and the server file was renamed into place.
ORBO_COMMON_API int SocketFileCopyToServer(CSocketFileClient* client, const WCHAR* localPath,
                                           const WCHAR* serverPath, uint64_t timeLimitMs,
                                           INetFileCopyProgressListener* listener,
                                           uint64_t userValue);

// Copies a server folder's tree into a local folder (created when missing): sub-folders first,
// depth first (each created locally, OnNetFolderCreated with the local path, then copied), then
// the folder's own files (OnNetFileCopyBegin, then SocketFileCopyFromServer). 1 when every
// folder and file was copied; a failure does not stop the rest.
ORBO_COMMON_API int SocketFolderCopyFromServer(CSocketFileClient* client, const WCHAR* serverFolder,
                                               const WCHAR* localFolder, uint64_t timeLimitMs,
                                               INetFolderCopyProgressListener* listener,
                                               uint64_t userValue);

// Copies a local folder's tree (hidden entries left out) into a server folder (created when
// missing), in the same order; OnNetFolderCreated gets the server path. 1 when every file was
// copied; a failure does not stop the rest.
ORBO_COMMON_API int SocketFolderCopyToServer(CSocketFileClient* client, const WCHAR* localFolder,
                                             const WCHAR* serverFolder, uint64_t timeLimitMs,
                                             INetFolderCopyProgressListener* listener,
                                             uint64_t userValue);
