// Feeds arbitrary bytes, cut into arbitrary fetches, through CutFrames and checks what must hold
// whatever the input: reports come out identically however the stream is split, every report is
// a decoded 70-byte frame, the buffer never keeps more than one unfinished frame's worth, and
// CutReportBatch's batches add up to the same reports, and so do the frames LocateReportFrames
// finds (the recording index's walk), decoded where it says they lie.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/base_buffer.h"
#include "device/report_frame.h"

namespace {

struct Collector : ITargetReportConsumer {
    void OnTargetReport(const TargetReport& report) override {
        if (report.distance < 0 || report.distance > 0xFFFF) std::abort();
        for (double db : report.gateEnergy) {
            if (!(db >= 0.0 && db < 60.0)) std::abort();
        }
        distances.push_back(report.distance);
        states.push_back(report.state);
    }
    std::vector<int> distances;
    std::vector<int> states;
};

// The first byte chooses the fetch size; the rest is the stream.
Collector Run(const uint8_t* data, size_t size, size_t fetch) {
    Collector collector;
    CBaseBuffer buffer;
    for (size_t at = 0; at < size; at += fetch) {
        const size_t n = size - at < fetch ? size - at : fetch;
        buffer.AppendBuffer(data + at, static_cast<uint32_t>(n));
        CutFrames(buffer, collector);
        if (buffer.GetAvailSize() > kMaxStreamPayloadBytes + kFrameEnvelopeBytes + fetch)
            std::abort();
    }
    return collector;
}

// The reports of CutReportBatch over the whole stream, `capacity` at a time.
Collector RunBatches(const uint8_t* data, size_t size, size_t capacity) {
    Collector collector;
    std::vector<TargetReport> batch(capacity);
    size_t pos = 0;
    for (;;) {
        const ReportBatchCut cut = CutReportBatch(data + pos, size - pos, batch.data(), capacity);
        if (cut.reports > capacity || cut.consumed > size - pos) std::abort();
        for (size_t i = 0; i < cut.reports; ++i) collector.OnTargetReport(batch[i]);
        pos += cut.consumed;
        if (cut.reports < capacity) return collector;
    }
}

// The reports at the places LocateReportFrames gives, `capacity` at a time.
Collector RunLocate(const uint8_t* data, size_t size, size_t capacity) {
    Collector collector;
    std::vector<size_t> places(capacity);
    size_t pos = 0;
    for (;;) {
        const ReportBatchCut cut =
            LocateReportFrames(data + pos, size - pos, places.data(), capacity);
        if (cut.reports > capacity || cut.consumed > size - pos) std::abort();
        for (size_t i = 0; i < cut.reports; ++i) {
            if (places[i] + kTargetReportPayloadBytes + kFrameEnvelopeBytes > cut.consumed) {
                std::abort();
            }
            const auto report = DecodeTargetReport(data + pos + places[i] + kFramePayloadOffset,
                                                   kTargetReportPayloadBytes);
            if (!report) std::abort();
            collector.OnTargetReport(*report);
        }
        pos += cut.consumed;
        if (cut.reports < capacity) return collector;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t fetch = 1 + data[0] % 97;
    const Collector split = Run(data + 1, size - 1, fetch);
    const Collector whole = Run(data + 1, size - 1, size);
    if (split.distances != whole.distances || split.states != whole.states) std::abort();
    const Collector batches = RunBatches(data + 1, size - 1, 1 + data[0] % 5);
    if (batches.distances != whole.distances || batches.states != whole.states) std::abort();
    const Collector located = RunLocate(data + 1, size - 1, 1 + data[0] % 7);
    if (located.distances != whole.distances || located.states != whole.states) std::abort();
    return 0;
}
