#include "device/report_frame.h"

#include <cmath>
#include <cstring>

#include "core/base_buffer.h"
#include "core/dbg_output.h"

namespace {

uint16_t ReadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

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

}  // namespace

double GateEnergyToDb(uint32_t raw) {
    if (raw <= kEnergyNoiseFloor) return 0.0;
    return 20.0 * std::log10(static_cast<double>(raw / kEnergyNoiseFloor));
}

std::optional<TargetReport> DecodeTargetReport(const uint8_t* payload, size_t length) {
    if (payload == nullptr || length < kTargetReportPayloadBytes) return std::nullopt;
    if (payload[0] != kTargetReportType) return std::nullopt;
    TargetReport report;
    report.state = payload[kStateOffset];
    report.distance = ReadU16(payload + kDistanceOffset);
    for (int gate = 0; gate < kGateCount; ++gate) {
        report.gateEnergy[gate] =
            GateEnergyToDb(ReadU16(payload + kFirstGateOffset + kGateStride * gate));
    }
    return report;
}

int CutFrames(CBaseBuffer& buffer, ITargetReportConsumer& consumer) {
    const uint8_t* bytes = buffer.GetBuffer();
    const size_t size = buffer.GetAvailSize();
    size_t pos = 0;
    int reports = 0;
    while (!consumer.IsStopRequested() && pos + kFrameEnvelopeBytes <= size) {
        if (!IsHeaderAt(bytes + pos)) {
            ++pos;
            continue;
        }
        const uint32_t length = ReadU16(bytes + pos + 4);
        if (length > kMaxStreamPayloadBytes) {
            // A corrupted length must not stall the stream waiting for bytes that never come.
            ++pos;
            continue;
        }
        if (pos + length + kFrameEnvelopeBytes > size) break;  // wait for the rest
        if (!IsTailAt(bytes + pos + kFramePayloadOffset + length)) {
            DbgOutputA(kDbgLevelInfo, "Tailer TAG Invalid!\r\n");
            pos += length + kFramePayloadOffset;
            continue;
        }
        if (length == kTargetReportPayloadBytes) {
            if (auto report = DecodeTargetReport(bytes + pos + kFramePayloadOffset, length)) {
                consumer.OnTargetReport(*report);
                ++reports;
            }
            consumer.OnReportFrameDone();
        }
        pos += length + kFrameEnvelopeBytes;
    }
    if (pos > 0) buffer.SetBuffer(bytes + pos, static_cast<uint32_t>(size - pos));
    return reports;
}
