// Whole files: reading a file into one block, writing, comparing and copying files.
//
// Paths follow the library's rules (path_name.h): '\\' is accepted as a separator, a path longer
// than kMaxPathChars units is refused, wide paths are converted exactly to UTF-8 (a path that
// does not convert is refused). A file that is replaced — a write without append, the destination
// of a copy — is written to a temporary file in the same folder and renamed over the old one only
// when every byte was written, flushed and closed, so a failure leaves the old file intact.
// No state is kept: every function may be called from any thread.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

// Told about the progress of CopyFileWithCallback.
class ORBO_COMMON_API IFileCopyProgressListener {
public:
    virtual ~IFileCopyProgressListener() = default;
    // (user data, bytes copied so far, total bytes): once with 0 before the first block, then
    // after each block. Called on the copying thread.
    virtual void OnFileCopyProgress(uint64_t userData, uint64_t copiedBytes,
                                    uint64_t totalBytes) = 0;
};

// Size of the blocks CopyFileWithCallback and IsFileDataEqual work in.
constexpr uint64_t kFileCopyBlockBytes = 0x100000;

// Sets *data to null (when given). 0 when the path is a folder, does not exist, cannot be read or
// the file is empty, or a read fails part-way (nothing is returned then, not a short block).
// With data: allocates a block of the file's size, reads the whole file into it and returns the
// number of bytes read (fewer only when the file shrank meanwhile); the block carries one extra
// zero byte after them, so a text file can be parsed in place. Release it with ReleaseFileData.
// Without data: returns the file's size.
ORBO_COMMON_API int64_t ReadFileDataA(const char* path, uint8_t** data);
ORBO_COMMON_API int64_t ReadFileDataW(const WCHAR* path, uint8_t** data);

// The reading step of ReadFileData for a descriptor the caller holds: reads up to `size` bytes
// (repeating short reads until all are in or the end comes) into a new block with one extra zero
// byte, sets *data and returns the count. 0 with *data null when nothing was read or a read
// failed part-way (errno then tells why; it is 0 for a plain end). Release with ReleaseFileData.
ORBO_COMMON_API int64_t ReadDescriptorData(int fd, uint64_t size, uint8_t** data);

// Frees a block from ReadFileData; null is allowed.
ORBO_COMMON_API void ReleaseFileData(void* data);

// Writes the bytes as the whole file (append 0: replacing it safely as described above) or at
// its end (append nonzero, creating it when missing). 1 only when every byte was written and the
// file closed without error (and, when replacing, flushed and renamed). 0 for a null path or
// data, a refused path, or any failure, each logged at level 3:
// "WriteFile failed create file:%s, error=%s\r\n" when it cannot be opened, "WriteFile failed
// write file:%s, error=%s\r\n" for a later step.
ORBO_COMMON_API int WriteFileDataA(const char* path, const void* data, uint64_t size, int append);
ORBO_COMMON_API int WriteFileDataW(const WCHAR* path, const void* data, uint64_t size, int append);

// 1 when both files can be read, have the same size and the same bytes (two empty files are
// equal); else 0.
ORBO_COMMON_API int IsFileDataEqual(const char* path1, const char* path2);
ORBO_COMMON_API int IsFileDataEqual(const WCHAR* path1, const WCHAR* path2);

// Copies source to destination in blocks of kFileCopyBlockBytes, replacing the destination
// safely (a new destination takes the source's permissions, an existing one keeps its own).
// The listener (may be null) is told (userData, 0, total) first and (userData, copied, total)
// after each block. 1 when every byte was copied (an empty source gives an empty destination);
// 0 when the source is a folder or cannot be read, or anything fails (logged at level 3).
ORBO_COMMON_API int CopyFileWithCallback(const char* source, const char* destination,
                                         IFileCopyProgressListener* listener, uint64_t userData);
ORBO_COMMON_API int CopyFileWithCallback(const WCHAR* source, const WCHAR* destination,
                                         IFileCopyProgressListener* listener, uint64_t userData);
