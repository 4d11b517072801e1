#include "device/report_frame.h"

#include <array>
#include <cmath>
#include <cstring>

#include "core/base_buffer.h"
#include "core/byte_order.h"
#include "core/dbg_output.h"

namespace {

bool IsHeaderAt(const uint8_t* bytes) {
    return std::memcmp(bytes, kFrameHeaderBytes, sizeof kFrameHeaderBytes) == 0;
}

bool IsTailAt(const uint8_t* bytes) {
    return std::memcmp(bytes, kFrameTailBytes, sizeof kFrameTailBytes) == 0;
}

// Offsets inside the target report payload.
constexpr size_t kStateOffset = 1;
constexpr size_t kDistanceOffset = 2;
constexpr size_t kFirstGateOffset = 6;
constexpr size_t kGateStride = 4;
constexpr uint32_t kEnergyNoiseFloor = 100;

// Raw energies on the wire are 16-bit: the decibels of each quotient raw / 100 come from a table
// built once (entries 0 and 1 are 0 dB, so raw <= 100 needs no test).
constexpr uint32_t kDbTableSize = 0xFFFF / kEnergyNoiseFloor + 1;

const double* DbTable() {
    static const auto table = [] {
        std::array<double, kDbTableSize> values{};
        for (uint32_t q = 1; q < kDbTableSize; ++q) values[q] = 20.0 * std::log10(double(q));
        return values;
    }();
    return table.data();
}

// Decodes a payload of at least 70 bytes into `report` (every field written); false when the
// type byte is not a target report's. The table is fetched once per report, not per gate.
bool IsTargetReportPayload(const uint8_t* payload) {
    return payload[0] == kTargetReportType;
}

bool DecodeInto(const uint8_t* payload, TargetReport& report) {
    if (!IsTargetReportPayload(payload)) return false;
    const double* table = DbTable();
    report.state = payload[kStateOffset];
    report.distance = ReadLe16(payload + kDistanceOffset);
    for (int gate = 0; gate < kGateCount; ++gate) {
        report.gateEnergy[gate] =
            table[ReadLe16(payload + kFirstGateOffset + kGateStride * gate) / kEnergyNoiseFloor];
    }
    return true;
}

// Walks the frames at the start of bytes[0, size): skips garbage byte by byte and false headers
// (adding them to `skipped`) and hands each well-formed 70-byte frame's payload to `onFrame`, which
// returns false to end the walk right after that frame. `keepGoing` is asked before every step.
// Returns the bytes consumed; what is left cannot be a whole frame yet (or the walk was ended).
template <typename KeepGoing, typename OnFrame>
size_t WalkFrames(const uint8_t* bytes, size_t size, size_t& skipped, KeepGoing keepGoing,
                  OnFrame onFrame) {
    size_t pos = 0;
    while (keepGoing() && pos + kFrameEnvelopeBytes <= size) {
        if (!IsHeaderAt(bytes + pos)) {
            // Garbage: jump to the next possible first header byte.
            const void* next = std::memchr(bytes + pos + 1, kFrameHeaderBytes[0], size - pos - 1);
            const size_t to =
                next ? static_cast<size_t>(static_cast<const uint8_t*>(next) - bytes) : size;
            skipped += to - pos;
            pos = to;
            continue;
        }
        const uint32_t length = ReadLe16(bytes + pos + 4);
        if (length > kMaxStreamPayloadBytes) {
            // A corrupted length must not stall the stream waiting for bytes that never come.
            ++pos;
            ++skipped;
            continue;
        }
        if (pos + length + kFrameEnvelopeBytes > size) break;  // wait for the rest
        if (!IsTailAt(bytes + pos + kFramePayloadOffset + length)) {
            DbgOutputA(kDbgLevelInfo, "Tailer TAG Invalid!\r\n");
            pos += length + kFramePayloadOffset;
            skipped += length + kFramePayloadOffset;
            continue;
        }
        const uint8_t* payload = bytes + pos + kFramePayloadOffset;
        pos += length + kFrameEnvelopeBytes;
        if (length == kTargetReportPayloadBytes && !onFrame(payload)) break;
    }
    return pos;
}

}  // namespace

double GateEnergyToDb(uint32_t raw) {
    if (raw <= kEnergyNoiseFloor) return 0.0;
    const uint32_t quotient = raw / kEnergyNoiseFloor;
    return quotient < kDbTableSize ? DbTable()[quotient] : 20.0 * std::log10(double(quotient));
}

std::optional<TargetReport> DecodeTargetReport(const uint8_t* payload, size_t length) {
    if (payload == nullptr || length < kTargetReportPayloadBytes) return std::nullopt;
    TargetReport report;
    if (!DecodeInto(payload, report)) return std::nullopt;
    return report;
}

int CutFrames(CBaseBuffer& buffer, ITargetReportConsumer& consumer) {
    const uint8_t* bytes = buffer.GetBuffer();
    const size_t size = buffer.GetAvailSize();
    size_t skipped = 0;
    int reports = 0;
    TargetReport report;
    const size_t pos = WalkFrames(
        bytes, size, skipped, [&] { return !consumer.IsStopRequested(); },
        [&](const uint8_t* payload) {
            if (DecodeInto(payload, report)) {
                consumer.OnTargetReport(report);
                ++reports;
            }
            consumer.OnReportFrameDone();
            return true;
        });
    if (skipped > 0) consumer.OnBytesSkipped(skipped);
    if (pos > 0) buffer.SetBuffer(bytes + pos, static_cast<uint32_t>(size - pos));
    return reports;
}

ReportBatchCut CutReportBatch(const uint8_t* bytes, size_t size, TargetReport* reports,
                              size_t capacity) {
    ReportBatchCut cut;
    if (bytes == nullptr || reports == nullptr || capacity == 0) return cut;
    cut.consumed = WalkFrames(
        bytes, size, cut.skipped, [] { return true; },
        [&](const uint8_t* payload) {
            if (DecodeInto(payload, reports[cut.reports])) ++cut.reports;
            return cut.reports < capacity;
        });
    return cut;
}

ReportBatchCut LocateReportFrames(const uint8_t* bytes, size_t size, size_t* offsets,
                                  size_t capacity) {
    ReportBatchCut cut;
    if (bytes == nullptr || offsets == nullptr || capacity == 0) return cut;
    cut.consumed = WalkFrames(
        bytes, size, cut.skipped, [] { return true; },
        [&](const uint8_t* payload) {
            if (IsTargetReportPayload(payload)) {
                offsets[cut.reports++] = static_cast<size_t>(payload - bytes) - kFramePayloadOffset;
            }
            return cut.reports < capacity;
        });
    return cut;
}
