// Realtime report frames of the sensor's stream: the frame envelope, the decoded target report
// and the reassembly step that cuts received bytes into reports.
//
// Envelope (little-endian): header F4 F3 F2 F1, u16 payload length L, L payload bytes (the first
// is the report type), tail F8 F7 F6 F5. Type 1 with L = 70 is the target report; frames of any
// other length are consumed without effect. No stream frame is longer than 1024 payload bytes,
// so a larger L is a false header.
//
// Qt-free; used by the acquisition engine, replay and zorvan-cli alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

class CBaseBuffer;

constexpr uint8_t kFrameHeaderBytes[4] = {0xF4, 0xF3, 0xF2, 0xF1};
constexpr uint8_t kFrameTailBytes[4] = {0xF8, 0xF7, 0xF6, 0xF5};
constexpr uint32_t kFrameEnvelopeBytes = 10;  // header, length, tail
constexpr uint32_t kFramePayloadOffset = 6;
constexpr uint32_t kMaxStreamPayloadBytes = 1024;
constexpr uint16_t kTargetReportPayloadBytes = 70;
constexpr uint8_t kTargetReportType = 1;
constexpr int kGateCount = 16;

// Target states as the sensor reports them; other values are passed on unchanged.
constexpr int kTargetStateNobody = 0;
constexpr int kTargetStateNobodyAlt = 1;
constexpr int kTargetStateMoving = 2;
constexpr int kTargetStateMotionless = 3;

struct TargetReport {
    int32_t state = 0;
    int32_t distance = 0;                // centimetres
    double gateEnergy[kGateCount] = {};  // decibels
};

// Raw linear gate energy to decibels: 0 for raw <= 100, else 20 * log10(raw / 100) with an
// integer quotient (so 101 to 199 also give 0 dB).
double GateEnergyToDb(uint32_t raw);

// Decodes a 70-byte target report payload; nothing when the type byte is not 1 or the payload is
// shorter than 70 bytes.
std::optional<TargetReport> DecodeTargetReport(const uint8_t* payload, size_t length);

// What the reassembly step reports to, on the thread that runs it.
class ITargetReportConsumer {
public:
    virtual ~ITargetReportConsumer() = default;
    // A decoded report, in stream order.
    virtual void OnTargetReport(const TargetReport& report) = 0;
    // Called after every well-formed 70-byte frame, decoded or not: where replay waits for its
    // pacing.
    virtual void OnReportFrameDone() {}
    // Checked before and after every frame; true ends the step at once, leaving the rest.
    virtual bool IsStopRequested() const { return false; }
    // Bytes the step skipped as not frames (garbage, false headers, frames with a bad tail):
    // at most one call per step, with their sum.
    virtual void OnBytesSkipped(size_t count) { (void)count; }
};

// Cuts the frames at the start of `buffer` (to whose end the caller appended received bytes):
// hands each decoded report to the consumer, skips garbage byte by byte and false headers, and
// leaves only the unconsumed bytes, moved to the start of the buffer. Returns the number of
// reports handed on.
int CutFrames(CBaseBuffer& buffer, ITargetReportConsumer& consumer);

// What one CutReportBatch call did.
struct ReportBatchCut {
    size_t consumed = 0;  // bytes used up from the start: frames, garbage and false headers
    size_t reports = 0;   // reports decoded into the batch
    size_t skipped = 0;   // of the consumed bytes, those that were not frames
};

// CutFrames for callers that take reports in batches, without a call per report: decodes the
// reports at the start of bytes[0, size) into `reports` until `capacity` of them are decoded
// (ending right behind the last one) or no whole frame is left. Calling it again from
// `bytes + consumed` continues exactly as one CutFrames step would; the bytes left at the end
// are what CutFrames would keep. Frames are found, checked and decoded alike.
ReportBatchCut CutReportBatch(const uint8_t* bytes, size_t size, TargetReport* reports,
                              size_t capacity);

// CutReportBatch without decoding, for callers that only need to know where the reports lie:
// writes the offset (from `bytes`) of each report frame's first byte into `offsets`, up to
// `capacity` of them. The frames are found and checked, and the cut ends, exactly as
// CutReportBatch's; `reports` counts the offsets written.
ReportBatchCut LocateReportFrames(const uint8_t* bytes, size_t size, size_t* offsets,
                                  size_t capacity);
