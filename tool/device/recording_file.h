// A recording of one live run: every byte block the device library delivered, appended in arrival
// order, nothing added or removed (no header, separators or time stamps), so that any recording
// replays through the frame cutter exactly as it was shown live.
//
// Names: "RadarData_" + the local date and time of the run's start
// ("%04d_%02d_%02d_%02d_%02d_%02d")
// + ".dat" in the save folder. A recording never replaces an earlier file: the file is created
// exclusively, and when the name is taken (two runs within one second) "_1", "_2", ... is put
// before the extension. Every write is checked (partial writes are continued) and so is the
// close, since a write is only known to have reached the file once the close succeeded.
//
// Failures leave a level-4 line naming the file and the system's reason, and Error() keeps the
// errno. One thread at a time (the "ReadData" worker).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/time_util.h"
#include "core/unique_fd.h"

constexpr const char* kRecordingNamePrefix = "RadarData_";
constexpr const char* kRecordingExtension = ".dat";
// Suffixes tried after the plain name before creation gives up.
constexpr int kMaxRecordingNameSuffix = 999;

class RecordingFile {
public:
    RecordingFile() = default;
    // Closes an open file; a failing close is logged (use Close() to learn the result).
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // Creates a new, empty recording in `folder` for a run started at `when`. True when created
    // (Path() names it); false when the folder is empty, the name does not fit the path limit,
    // every suffix up to kMaxRecordingNameSuffix is taken or the system refuses the file
    // (Path() then names the last name tried, empty when none could be made). A file already
    // open is closed first.
    bool Create(const std::string& folder, const LocalDateTime& when);

    // Creates the given file for a recording, exclusively: an existing file is never replaced
    // (false with EEXIST). For callers that name the recording themselves.
    bool CreateAt(const std::string& path);

    // Appends the bytes. True when every byte was written; false when nothing is open or a write
    // failed (the file stays open; what was written stays written).
    bool Write(const uint8_t* bytes, size_t size);

    // Closes the file. True when nothing was open or the close succeeded.
    bool Close();

    bool IsOpen() const { return m_fd.Valid(); }
    const std::string& Path() const { return m_path; }
    // Bytes written since Create.
    uint64_t BytesWritten() const { return m_bytesWritten; }
    // errno of the last failure, 0 when none.
    int Error() const { return m_error; }

    // The file name (without folder) for a run started at `when` with clash number `suffix`
    // (0: none); empty when it does not fit the path limit.
    static std::string MakeName(const LocalDateTime& when, int suffix);

private:
    void Reset();
    // Opens `path` with O_EXCL; false with Error() set (EEXIST when the name is taken).
    bool OpenExclusive(const std::string& path);

    UniqueFd m_fd;
    std::string m_path;
    uint64_t m_bytesWritten = 0;
    int m_error = 0;
};
