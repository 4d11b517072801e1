#include "pages/params/threshold_generation.h"

#include <cstring>

#include "core/base_buffer.h"
#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "device/report_frame.h"

namespace {

// Steps of the scan past what is not a progress frame.
constexpr uint32_t kSkipNoHeader = 1;
constexpr uint32_t kSkipWrongLength = 4;
constexpr uint32_t kSkipBadTail = 6;

}  // namespace

std::array<uint8_t, kGenerationPayloadBytes> BuildThresholdGenerationPayload(
    const ThresholdGenerationRequest& request) {
    std::array<uint8_t, kGenerationPayloadBytes> payload{};
    WriteLe16(&payload[0], static_cast<uint16_t>(request.triggerCoefficientDb));
    WriteLe16(&payload[2], static_cast<uint16_t>(request.holdCoefficientDb));
    WriteLe16(&payload[4], static_cast<uint16_t>(request.scanSeconds));
    return payload;
}

int ScanProgressFrames(CBaseBuffer& buffer, IProgressFrameConsumer& consumer) {
    const uint8_t* bytes = buffer.GetBuffer();
    const uint32_t size = buffer.GetAvailSize();
    uint32_t pos = 0;
    int progress = 0;
    while (!consumer.IsStopRequested() && size - pos >= kProgressScanMinBytes) {
        const uint8_t* frame = bytes + pos;
        if (std::memcmp(frame, kFrameHeaderBytes, sizeof kFrameHeaderBytes) != 0) {
            pos += kSkipNoHeader;
            continue;
        }
        if (ReadLe16(frame + 4) != kProgressPayloadBytes) {
            pos += kSkipWrongLength;
            continue;
        }
        if (size - pos < kProgressFrameBytes) break;
        const uint8_t* payload = frame + kFramePayloadOffset;
        if (std::memcmp(payload + kProgressPayloadBytes, kFrameTailBytes, sizeof kFrameTailBytes) !=
            0) {
            pos += kSkipBadTail;
            continue;
        }
        if (payload[0] == kProgressFrameType) {
            progress = ReadLe16(payload + 1);
            DbgOutputA(kDbgLevelInfo, "process=%d\r\n", progress);
            consumer.OnProgressFrame(progress);
        }
        pos += kProgressFrameBytes;
    }
    if (pos > 0) buffer.SetBuffer(bytes + pos, size - pos);
    return progress;
}

ThresholdGenerator::ThresholdGenerator(IRadarStreamLink& link, IThresholdGenerationSink& sink)
    : m_link(link), m_sink(sink) {}

ThresholdGenerator::~ThresholdGenerator() {
    Stop();
}

int ThresholdGenerator::Start(const ThresholdGenerationRequest& request) {
    if (!m_thread.IsThreadExit()) {
        DbgOutputA(kDbgLevelWarning, "Threshold generation already running\r\n");
        return 0;
    }
    m_request = request;
    m_stopRequested = false;
    m_finishReported = false;
    if (!m_thread.StartThread(kGenerationThreadName, this, 1, kGenerationThreadPriority,
                              kGenerationThreadStackBytes, 0)) {
        DbgOutputA(kDbgLevelError, "Threshold generation: the %s thread cannot be created\r\n",
                   kGenerationThreadName);
        return 0;
    }
    m_runPending = true;
    return 1;
}

void ThresholdGenerator::Stop() {
    m_stopRequested = true;
    // Without the cancel the join would wait for a whole fetch. A worker that has ended fetches
    // no more, and a cancel left pending would cut the device's next fetch short.
    const bool cancelled = !m_thread.IsThreadExit();
    if (cancelled) m_link.CancelRead();
    m_thread.StopThread();
    // A stop during the worker's command exchange ended no fetch.
    if (cancelled) ConsumePendingCancel(m_link);
    // A worker stopped before its body ran has not said how the run ended.
    if (m_runPending && !m_finishReported) Finish(0);
    m_runPending = false;
}

void ThresholdGenerator::Finish(int success) {
    m_finishReported = true;
    m_sink.OnGenerationFinished(success);
}

void ThresholdGenerator::OnProgressFrame(int percent) {
    m_sink.OnGenerationProgress(percent);
}

int ThresholdGenerator::ThreadLoop(uint64_t /*param*/) {
    const auto payload = BuildThresholdGenerationPayload(m_request);
    m_link.StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    const uint16_t answer = m_link.SendCommand(kCmdGenerateThresholds, payload.data(),
                                               kGenerationPayloadBytes, kStreamCommandTimeoutMs);
    m_link.StopCmdMode(kStopCmdModeTimeoutMs);
    if (answer != 0) {
        DbgOutputA(kDbgLevelError,
                   "Threshold generation (trigger %d dB, hold %d dB, %d s) refused: 0x%04X%s\r\n",
                   m_request.triggerCoefficientDb, m_request.holdCoefficientDb,
                   m_request.scanSeconds, answer, answer == kRadarAckMissing ? " (no answer)" : "");
        Finish(0);
        return 0;
    }
    DbgOutputA(kDbgLevelInfo, "Threshold generation started: trigger %d dB, hold %d dB, %d s\r\n",
               m_request.triggerCoefficientDb, m_request.holdCoefficientDb, m_request.scanSeconds);

    CBaseBuffer buffer;
    m_link.Start();
    int progress = 0;
    while (!m_stopRequested) {
        StreamBlock block;
        if (!m_link.FetchDataBuffer(block, kStreamFetchTimeoutMs)) continue;
        if (block.data != nullptr && block.length > 0) {
            buffer.AppendBuffer(block.data, static_cast<uint32_t>(block.length));
        }
        m_link.CommitDataBuffer(block);
        progress = ScanProgressFrames(buffer, *this);
        if (progress >= kGenerationCompletePercent) break;
    }
    m_link.Stop();
    const int success = progress >= kGenerationCompletePercent ? 1 : 0;
    DbgOutputA(success ? kDbgLevelInfo : kDbgLevelWarning, "Threshold generation %s\r\n",
               success ? "finished" : "ended before the sensor reported 100 %");
    Finish(success);
    return 0;
}
