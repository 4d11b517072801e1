// The index of a recording: where each of its complete target reports lies, built in one pass
// over the file, so that a replay can start at any report, end after any report and show a
// report's number and time without reading the reports before it.
//
// Reports are found by the frame cutter exactly as a replay finds them (garbage, false headers,
// frames with a bad tail and frames of other types are passed over), numbered from 0 in file
// order. The index covers the bytes the file held when its size was taken at the start of the
// pass: a recording still being written is never read past that point, and its unfinished last
// frame is not a report. The report frame's bytes are [ReportOffset(n), ReportEnd(n)).
//
// Build, Reset and assignment on one thread; the const readers from any thread once built (no
// lock: the index does not change after Build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/report_frame.h"

// Bytes of one target report frame: envelope and 70-byte payload.
constexpr uint32_t kReportFrameBytes = kTargetReportPayloadBytes + kFrameEnvelopeBytes;
// Bytes read per block while indexing.
constexpr uint32_t kIndexBlockBytes = 256 * 1024;
// Reports the frame cutter locates per call while indexing.
constexpr size_t kIndexBatchReports = 64;
// Offsets reserved at most before indexing (more grow as found).
constexpr uint64_t kIndexReserveReports = 4 * 1024 * 1024;

class RecordingIndex {
public:
    // Indexes the file. False (Error() set to the errno, a level-4 line written) when it cannot be
    // opened, is a folder or a read fails; the index is then empty.
    bool Build(const std::string& path);
    // Indexes bytes held in memory, as Build does a file of those bytes.
    void BuildFromBytes(const uint8_t* bytes, size_t size);
    void Reset();

    // Number of complete reports.
    uint64_t Count() const { return m_offsets.size(); }
    // Byte offset of report n's frame (n < Count()).
    uint64_t ReportOffset(uint64_t n) const { return m_offsets[n]; }
    // Byte offset just behind report n's frame (n < Count()).
    uint64_t ReportEnd(uint64_t n) const { return m_offsets[n] + kReportFrameBytes; }
    // Bytes the pass covered (the file's size when it began).
    uint64_t IndexedBytes() const { return m_indexedBytes; }
    const std::string& Path() const { return m_path; }
    int Error() const { return m_error; }

    // Seeks to report n of the indexed file and decodes it; nothing when n >= Count(), the file
    // cannot be read there, or its bytes there are no longer that report (the file was replaced).
    std::optional<TargetReport> ReadReport(uint64_t n) const;

private:
    // Indexes one stretch of bytes that starts at file offset `base`; returns the bytes used up
    // (the rest cannot hold a whole frame yet).
    size_t IndexBytes(const uint8_t* bytes, size_t size, uint64_t base);

    std::string m_path;
    std::vector<uint64_t> m_offsets;
    uint64_t m_indexedBytes = 0;
    int m_error = 0;
};

// The time of report n from the start of a replay that shows one report every `intervalMs`
// (a negative interval counts as 0).
uint64_t ReportTimeMs(uint64_t n, int intervalMs);
