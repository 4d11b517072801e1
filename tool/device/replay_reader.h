// Reads a recorded data file for replay, block by block, from its start. Any file can be
// replayed (the frame cutter finds the frames wherever they lie); a folder cannot.
//
// Failures leave a level-4 line naming the file and the system's reason; Error() keeps the errno.
// One thread at a time (the "ReadData" worker).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/unique_fd.h"

// A replay range that ends where the file ends.
constexpr uint64_t kReplayToFileEnd = UINT64_MAX;

class ReplayReader {
public:
    // Opens the file for reading. False (Error() set) when it cannot be opened or is a folder.
    bool Open(const std::string& path);

    // Limits the reads to bytes [begin, end) of the file (kReplayToFileEnd: up to its end), for a
    // replay of part of a recording. False (Error() set) when the file cannot be positioned.
    bool SetRange(uint64_t begin, uint64_t end);

    // Fills `bytes` with up to `size` bytes, reading repeatedly until that many are gathered or
    // the file ends or fails. Returns the count; 0 at the end of the file or on a failure
    // (Failed() tells which). Bytes read before a failure are returned first; the next call
    // then gives 0 with Failed() set.
    size_t Read(uint8_t* bytes, size_t size);

    // True once a read failed (the failure is then what ended the file).
    bool Failed() const { return m_failed; }
    int Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    bool IsOpen() const { return m_fd.Valid(); }

private:
    UniqueFd m_fd;
    std::string m_path;
    uint64_t m_left = kReplayToFileEnd;  // bytes the range still allows
    bool m_failed = false;
    int m_error = 0;
};
