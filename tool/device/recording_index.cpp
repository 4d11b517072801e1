#include "device/recording_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/dbg_output.h"
#include "core/unique_fd.h"

namespace {

// Reads up to `size` bytes at the file's position, continuing short reads. The count read, or
// -1 with errno set.
ssize_t ReadFully(int fd, uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, bytes + done, size - done);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

void RecordingIndex::Reset() {
    m_path.clear();
    m_offsets.clear();
    m_indexedBytes = 0;
    m_error = 0;
}

size_t RecordingIndex::IndexBytes(const uint8_t* bytes, size_t size, uint64_t base) {
    size_t places[kIndexBatchReports];
    size_t pos = 0;
    for (;;) {
        const ReportBatchCut cut =
            LocateReportFrames(bytes + pos, size - pos, places, kIndexBatchReports);
        for (size_t i = 0; i < cut.reports; ++i) m_offsets.push_back(base + pos + places[i]);
        pos += cut.consumed;
        if (cut.reports < kIndexBatchReports) return pos;
    }
}

void RecordingIndex::BuildFromBytes(const uint8_t* bytes, size_t size) {
    Reset();
    if (bytes != nullptr) IndexBytes(bytes, size, 0);
    m_indexedBytes = size;
}

bool RecordingIndex::Build(const std::string& path) {
    Reset();
    m_path = path;
    const auto fail = [this, &path](const char* what) {
        m_error = errno;
        DbgOutputA(kDbgLevelError, "Recording %s cannot be indexed (%s): %s\r\n", path.c_str(),
                   what, std::strerror(m_error));
        m_offsets.clear();
        m_indexedBytes = 0;
        return false;
    };
    UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) return fail("open");
    struct stat info {};
    if (fstat(file.Get(), &info) != 0) return fail("stat");
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return fail("open");
    }
    // A file still growing is indexed up to the size it has now.
    const uint64_t limit = static_cast<uint64_t>(info.st_size);
    // Room for a file of nothing but reports, within reason: a huge file of something else
    // must not claim memory it will never fill.
    m_offsets.reserve(
        static_cast<size_t>(std::min<uint64_t>(limit / kReportFrameBytes, kIndexReserveReports)));
    std::vector<uint8_t> buffer(kIndexBlockBytes + kMaxStreamPayloadBytes + kFrameEnvelopeBytes);
    size_t kept = 0;    // bytes left from the last block, at the buffer's start
    uint64_t base = 0;  // file offset of the buffer's first byte
    while (base + kept < limit) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(kIndexBlockBytes, limit - base - kept));
        const ssize_t got = ReadFully(file.Get(), buffer.data() + kept, want);
        if (got < 0) return fail("read");
        if (got == 0) break;  // the file was cut short meanwhile
        const size_t size = kept + static_cast<size_t>(got);
        const size_t used = IndexBytes(buffer.data(), size, base);
        kept = size - used;
        std::memmove(buffer.data(), buffer.data() + used, kept);
        base += used;
    }
    m_indexedBytes = base + kept;
    return true;
}

std::optional<TargetReport> RecordingIndex::ReadReport(uint64_t n) const {
    if (n >= Count() || m_path.empty()) return std::nullopt;
    UniqueFd file(open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) return std::nullopt;
    uint8_t frame[kReportFrameBytes];
    const ssize_t got = pread(file.Get(), frame, sizeof frame, static_cast<off_t>(m_offsets[n]));
    if (got != static_cast<ssize_t>(sizeof frame)) return std::nullopt;
    TargetReport report;
    const ReportBatchCut cut = CutReportBatch(frame, sizeof frame, &report, 1);
    if (cut.reports != 1 || cut.skipped != 0) return std::nullopt;
    return report;
}

uint64_t ReportTimeMs(uint64_t n, int intervalMs) {
    return intervalMs > 0 ? n * static_cast<uint64_t>(intervalMs) : 0;
}
