#include "device/acquisition_engine.h"

#include <algorithm>
#include <mutex>

#include "core/base_buffer.h"
#include "core/dbg_output.h"
#include "core/file_system.h"
#include "core/time_util.h"
#include "device/recording_file.h"
#include "device/replay_reader.h"

namespace {

// Room reserved in the reassembly buffer, so that appending a block rarely reallocates: the
// bytes a cut may leave behind (less than one frame) plus a few blocks.
constexpr uint32_t kReassemblyReserveBytes = 64 * 1024;

// Reports of an unpaced replay published under one lock: as many as one cut of a replay block
// (behind the unfinished frame the last cut left) can hold.
constexpr size_t kReportBatchLength =
    (kReplayBlockBytes + kMaxStreamPayloadBytes + kFrameEnvelopeBytes) /
        (kTargetReportPayloadBytes + kFrameEnvelopeBytes) +
    1;

}  // namespace

int EffectiveReplayInterval(int intervalMs) {
    return intervalMs < 0 ? 0 : intervalMs;
}

AcquisitionEngine::AcquisitionEngine(IAcquisitionSink& sink) : m_sink(sink) {
    m_history.fill(kNoStateYet);
}

AcquisitionEngine::~AcquisitionEngine() {
    EndWorker();
}

void AcquisitionEngine::SetLink(IRadarStreamLink* link) {
    m_link = link;
}

AcquisitionStartResult AcquisitionEngine::StartAcquisition(const AcquisitionRun& run) {
    if (m_running) {
        DbgOutputA(kDbgLevelWarning, "Acquisition already running: stop it before starting\r\n");
        return AcquisitionStartResult::AlreadyRunning;
    }
    const bool replay = run.mode == AcquisitionMode::Replay;
    if (!replay) {
        if (m_link == nullptr || !m_link->IsConnected()) {
            DbgOutputA(kDbgLevelWarning, "Acquisition not started: device not connected\r\n");
            m_sink.OnDeviceNotConnected();
            return AcquisitionStartResult::NotConnected;
        }
        DbgOutputA(kDbgLevelInfo, "Start Realtime data show.\r\n");
        // A folder that cannot be made shows up as a recording that cannot be created.
        if (run.saveData) RecursiveCreateDirectoryA(run.saveFolder.c_str());
    }

    m_run = run;
    if (m_run.replayIntervalMs < 0) {
        DbgOutputA(kDbgLevelWarning, "ReplayInterval %d is negative: replaying without pause\r\n",
                   m_run.replayIntervalMs);
        m_run.replayIntervalMs = EffectiveReplayInterval(m_run.replayIntervalMs);
    }
    m_replay = replay;
    m_running = true;
    ResetDisplayState();
    m_stopRequested = false;
    m_pacing.Reset();
    m_sink.OnDisplayReset();

    if (!m_thread.StartThread(kAcquisitionThreadName, this, 0, kAcquisitionThreadPriority,
                              kAcquisitionThreadStackBytes, 0)) {
        DbgOutputA(kDbgLevelError, "Acquisition not started: the %s thread cannot be created\r\n",
                   kAcquisitionThreadName);
        m_running = false;
        m_sink.OnRunStateChanged(AcquisitionRunState::Idle);
        return AcquisitionStartResult::ThreadFailed;
    }
    m_sink.OnRunStateChanged(replay ? AcquisitionRunState::Replay : AcquisitionRunState::Live);
    return AcquisitionStartResult::Started;
}

void AcquisitionEngine::EndWorker() {
    m_stopRequested = true;
    // Only a live worker waits in a fetch.
    const bool cancelled = m_running && !m_replay && m_link != nullptr;
    if (cancelled) m_link->CancelRead();
    m_pacing.Set();
    m_thread.StopThread();
    // A stop that came while the worker still switched the report output on ended no fetch.
    if (cancelled) ConsumePendingCancel(*m_link);
}

void AcquisitionEngine::StopAcquisition() {
    EndWorker();

    m_running = false;
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_latest.state = 0;
        m_latest.distance = 0;
    }
    m_sink.OnRunStateChanged(AcquisitionRunState::Idle);
    DbgOutputA(kDbgLevelInfo, "Stop Realtime data show.\r\n");
}

TargetReport AcquisitionEngine::GetLatestReport() const {
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_latest;
}

StateHistory AcquisitionEngine::GetStateHistory() const {
    std::lock_guard<std::mutex> guard(m_stateLock);
    // The ring's oldest entry is the next one to be overwritten.
    StateHistory history;
    std::rotate_copy(m_history.begin(), m_history.begin() + m_historyNext, m_history.end(),
                     history.begin());
    return history;
}

bool AcquisitionEngine::TakeBandChanged() {
    std::lock_guard<std::mutex> guard(m_stateLock);
    const bool changed = m_bandChanged;
    m_bandChanged = false;
    return changed;
}

AcquisitionTally AcquisitionEngine::GetTally() const {
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_tally;
}

void AcquisitionEngine::ResetDisplayState() {
    std::lock_guard<std::mutex> guard(m_stateLock);
    m_latest = TargetReport{};
    m_tally = AcquisitionTally{};
    m_history.fill(kNoStateYet);
    m_historyNext = 0;
    m_bandChanged = true;
}

int AcquisitionEngine::ThreadLoop(uint64_t /*param*/) {
    if (m_run.mode == AcquisitionMode::Replay) {
        RunReplay();
    } else {
        RunLive();
    }
    return 0;
}

TargetReport* AcquisitionEngine::NextReportPlace() {
    return m_pendingCount < m_pending.size() ? &m_pending[m_pendingCount] : nullptr;
}

void AcquisitionEngine::OnTargetReport(const TargetReport& report) {
    if (m_pending.empty()) {
        Publish(&report, 1);
        m_sink.OnReport(report);
        return;
    }
    if (m_pendingCount == m_pending.size()) DeliverPending();
    // Decoded in place unless the cut had no place for it.
    if (&report != &m_pending[m_pendingCount]) m_pending[m_pendingCount] = report;
    ++m_pendingCount;
}

void AcquisitionEngine::Publish(const TargetReport* reports, size_t count) {
    std::lock_guard<std::mutex> guard(m_stateLock);
    for (size_t i = 0; i < count; ++i) {
        m_history[m_historyNext] = static_cast<uint8_t>(reports[i].state);
        m_historyNext = m_historyNext + 1 == kStateHistoryLength ? 0 : m_historyNext + 1;
    }
    m_latest = reports[count - 1];
    m_bandChanged = true;
    m_tally.reports += count;
}

void AcquisitionEngine::DeliverPending() {
    if (m_pendingCount == 0) return;
    Publish(m_pending.data(), m_pendingCount);
    for (size_t i = 0; i < m_pendingCount; ++i) m_sink.OnReport(m_pending[i]);
    m_pendingCount = 0;
}

void AcquisitionEngine::OnBytesSkipped(size_t count) {
    std::lock_guard<std::mutex> guard(m_stateLock);
    m_tally.bytesSkipped += count;
}

void AcquisitionEngine::OnReportFrameDone() {
    if (m_run.mode != AcquisitionMode::Replay || m_run.replayIntervalMs == 0) return;
    // The pacing event is signalled only by a stop, so a signal ends the wait early.
    m_pacing.Wait(static_cast<uint64_t>(m_run.replayIntervalMs));
}

void AcquisitionEngine::SetReportOutput(uint32_t on) {
    // Not checked: a sensor that misses the switch keeps its output as it was.
    const uint16_t id = kReportSwitchParamId;
    m_link->StartCmdMode(kCmdModeProtocolVersion, kCmdModeAckTimeoutMs, kCmdModeSettleMs);
    m_link->SetParameter(kCmdReportSwitch, 1, &id, &on, kStreamCommandTimeoutMs);
    m_link->StopCmdMode(kStopCmdModeTimeoutMs);
}

void AcquisitionEngine::RunLive() {
    RecordingFile recording;
    if (m_run.saveData) {
        LocalDateTime now;
        GetLocalDateTime(now);
        const bool created = m_run.saveFile.empty() ? recording.Create(m_run.saveFolder, now)
                                                    : recording.CreateAt(m_run.saveFile);
        if (created) {
            m_sink.OnRecordingStarted(recording.Path());
        } else {
            m_sink.OnRecordingFailed({RecordingStage::Create, recording.Path(), recording.Error()});
        }
    }
    SetReportOutput(1);

    CBaseBuffer reassembly;
    reassembly.SetBufferSize(kReassemblyReserveBytes);
    m_link->Start();
    while (!m_stopRequested) {
        StreamBlock block;
        if (!m_link->FetchDataBuffer(block, kStreamFetchTimeoutMs)) continue;
        if (block.data != nullptr && block.length > 0) {
            const auto length = static_cast<uint32_t>(block.length);
            if (recording.IsOpen() && !recording.Write(block.data, length)) {
                m_sink.OnRecordingFailed(
                    {RecordingStage::Write, recording.Path(), recording.Error()});
                recording.Close();
            }
            reassembly.AppendBuffer(block.data, length);
        }
        m_link->CommitDataBuffer(block);
        CutFrames(reassembly, *this);
    }
    m_link->Stop();
    if (recording.IsOpen() && !recording.Close()) {
        m_sink.OnRecordingFailed({RecordingStage::Close, recording.Path(), recording.Error()});
    }
    SetReportOutput(0);
}

void AcquisitionEngine::RunReplay() {
    ReplayReader reader;
    if (!reader.Open(m_run.replayFile)) {
        m_sink.OnRunEnded(AcquisitionEnd::ReplayUnavailable);
        return;
    }
    DbgOutputA(kDbgLevelInfo, "Replaying %s every %d ms\r\n", m_run.replayFile.c_str(),
               m_run.replayIntervalMs);
    // Blocks are read straight behind the bytes the last cut left (less than one frame).
    CBaseBuffer reassembly;
    // Unpaced, the reports of a block are decoded into a batch and published under one lock
    // before the sink hears of them.
    if (m_run.replayIntervalMs == 0) m_pending.resize(kReportBatchLength);
    while (!m_stopRequested) {
        const uint32_t kept = reassembly.GetAvailSize();
        if (!reassembly.SetBufferSize(kept + kReplayBlockBytes)) {
            m_sink.OnRunEnded(AcquisitionEnd::ReplayReadFailed);
            break;
        }
        uint8_t* freeStart = reassembly.GetBuffer() + kept;
        const size_t got = reader.Read(freeStart, kReplayBlockBytes);
        if (got == 0) {
            // What is left can no longer become a frame.
            if (!reader.Failed()) OnBytesSkipped(reassembly.GetAvailSize());
            m_sink.OnRunEnded(reader.Failed() ? AcquisitionEnd::ReplayReadFailed
                                              : AcquisitionEnd::ReplayFinished);
            break;
        }
        reassembly.AppendBuffer(freeStart, static_cast<uint32_t>(got));
        CutFrames(reassembly, *this);
        DeliverPending();
    }
    m_pending = {};
    m_pendingCount = 0;
}
