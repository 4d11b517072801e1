// CZipFile: one gzip-compressed file, read or written as a stream through zlib's gzip functions.
//
// Paths are narrow (UTF-8) and follow the library's rules ('\\' accepted as a separator, at most
// kMaxPathChars bytes). A read error ends the stream: Eof reports true from then on, so a loop
// that reads until the end cannot spin on a damaged file. An object is used by one thread at a
// time.
#pragma once

#include <cstdint>
#include "core/common_api.h"

class ORBO_COMMON_API CZipFile {
public:
    CZipFile() = default;
    // Closes the file.
    virtual ~CZipFile();
    CZipFile(const CZipFile&) = delete;
    CZipFile& operator=(const CZipFile&) = delete;

    // Closes any open file, then opens the path with a zlib gzip mode text ("rb", "wb", "wb9",
    // "ab" ...). Nonzero on success.
    int Open(const char* path, const char* mode);
    // Closes the file. False when none was open or the close failed (for a written file: the
    // last bytes or the gzip trailer could not be written).
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }

    // Moves in the uncompressed stream (origin SEEK_SET or SEEK_CUR; forward only when writing).
    // Returns the new position, -1 on failure or when no file is open.
    int64_t Seek(int64_t offset, int origin);
    // True when no file is open, the end was reached, or a read failed.
    bool Eof() const;

    // Read or write up to `count` uncompressed bytes; the bytes moved (0 when no file is open, on
    // an error or, for Read, at the end).
    int Read(void* buffer, int count);
    int Write(const void* buffer, int count);

private:
    void* m_file = nullptr;
    bool m_failed = false;
};
