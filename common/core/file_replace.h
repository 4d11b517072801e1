// Replacing a whole file so that a failure leaves the old one as it was.
//
// A regular file (or a new one) is written to a temporary file in the same folder, which is
// flushed to disk, closed and renamed over the target only when every step succeeded; the new
// file takes the old one's permissions. A symbolic link is followed and its target replaced.
// A target that exists but is not a regular file (a device, a pipe) is written in place, since
// renaming over it would replace the device node itself; so is an existing file in a folder that
// refuses new files (nothing else could be done). An object is used by one thread.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "core/common_api.h"
#include "unique_fd.h"

class ORBO_COMMON_API FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement();  // an uncommitted replacement is abandoned: its temporary file removed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Starts replacing `path` (a byte path for the system). `modeForNew` are the permission bits
    // of a file that does not exist yet (the process umask applies). False when the target or
    // the temporary file cannot be opened.
    bool Open(const std::string& path, mode_t modeForNew);

    // Writes all bytes (repeating short writes). False on the first error.
    bool Write(const void* data, size_t size);

    // Flushes, closes and renames the temporary file over the target. True only when every step
    // succeeded; otherwise the target is unchanged (written in place: whatever was written).
    bool Commit();

    // The step that failed and the system's text for its error, for the caller's log line.
    const std::string& Error() const { return m_error; }

private:
    bool Fail(const char* step);

    UniqueFd m_fd;
    std::string m_target;
    std::string m_temp;  // empty when writing in place
    std::string m_error;
};
