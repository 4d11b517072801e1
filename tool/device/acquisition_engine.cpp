#include "device/acquisition_engine.h"

#include <algorithm>
#include <mutex>

#include "core/base_buffer.h"
#include "core/dbg_output.h"
#include "core/file_system.h"
#include "core/mono_clock.h"
#include "core/time_util.h"
#include "device/recording_file.h"
#include "device/replay_reader.h"

namespace {

// Room reserved in the reassembly buffer, so that appending a block rarely reallocates: the
// bytes a cut may leave behind (less than one frame) plus a few blocks.
constexpr uint32_t kReassemblyReserveBytes = 64 * 1024;

// Reports of an unpaced replay decoded, published under one lock and handed on together: enough
// that the lock costs little per report, few enough that the batch stays in the first-level cache.
constexpr size_t kReportBatchLength = 64;

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
    m_intervalMs = m_run.replayIntervalMs;
    m_paused = replay && m_run.replayPaused;
    m_holding = false;
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
    m_holding = false;
    // A stop that came while the worker still switched the report output on ended no fetch.
    if (cancelled) ConsumePendingCancel(*m_link);
}

void AcquisitionEngine::SetReplayInterval(int intervalMs) {
    m_intervalMs = EffectiveReplayInterval(intervalMs);
    m_pacing.Set();
}

void AcquisitionEngine::SetReplayPaused(bool paused) {
    m_paused = paused;
    m_pacing.Set();
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

void AcquisitionEngine::OnTargetReport(const TargetReport& report) {
    Deliver(&report, 1, 0);
}

void AcquisitionEngine::Deliver(const TargetReport* reports, size_t count, size_t skipped) {
    if (count == 0 && skipped == 0) return;
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        // The index stays in a local: a byte store into the history may alias a member, which
        // would make every step reload it.
        int next = m_historyNext;
        for (size_t i = 0; i < count; ++i) {
            m_history[next] = static_cast<uint8_t>(reports[i].state);
            next = next + 1 == kStateHistoryLength ? 0 : next + 1;
        }
        m_historyNext = next;
        if (count > 0) {
            m_latest = reports[count - 1];
            m_bandChanged = true;
        }
        m_tally.reports += count;
        m_tally.bytesSkipped += skipped;
    }
    for (size_t i = 0; i < count; ++i) m_sink.OnReport(reports[i]);
}

void AcquisitionEngine::OnBytesSkipped(size_t count) {
    Deliver(nullptr, 0, count);
}

void AcquisitionEngine::OnReportFrameDone() {
    if (m_run.mode != AcquisitionMode::Replay) return;
    // Every signal (stop, new interval, pause, resume) ends the wait; the loop then looks again
    // at what holds now.
    uint64_t since = MonoTimeMs();
    while (!m_stopRequested) {
        if (m_paused) {
            m_holding = true;
            m_pacing.Wait(kEventWaitForever);
            m_holding = false;
            // The next report comes a whole pause after the resume.
            since = MonoTimeMs();
            continue;
        }
        const uint64_t interval = static_cast<uint64_t>(m_intervalMs.load());
        const uint64_t elapsed = MonoTimeMs() - since;
        if (elapsed >= interval) return;
        m_pacing.Wait(interval - elapsed);
    }
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
    DrainIntoRecording(recording);
    m_link->Stop();
    if (recording.IsOpen() && !recording.Close()) {
        m_sink.OnRecordingFailed({RecordingStage::Close, recording.Path(), recording.Error()});
    }
    SetReportOutput(0);
}

void AcquisitionEngine::DrainIntoRecording(RecordingFile& recording) {
    if (!recording.IsOpen()) return;
    // The stop's cancel may end one fetch early; the next ones take what waits.
    int emptyFetches = 0;
    for (int blocks = 0; blocks < kMaxDrainBlocks && emptyFetches < kDrainEmptyFetches;) {
        StreamBlock block;
        if (!m_link->FetchDataBuffer(block, 0)) {
            ++emptyFetches;
            continue;
        }
        ++blocks;
        if (block.data != nullptr && block.length > 0 &&
            !recording.Write(block.data, static_cast<uint32_t>(block.length))) {
            m_sink.OnRecordingFailed({RecordingStage::Write, recording.Path(), recording.Error()});
            recording.Close();
        }
        m_link->CommitDataBuffer(block);
        if (!recording.IsOpen()) return;
    }
}

void AcquisitionEngine::RunReplay() {
    ReplayReader reader;
    if (!reader.Open(m_run.replayFile) ||
        !reader.SetRange(m_run.replayFirstByte, m_run.replayEndByte)) {
        m_sink.OnRunEnded(AcquisitionEnd::ReplayUnavailable);
        return;
    }
    DbgOutputA(kDbgLevelInfo, "Replaying %s every %d ms\r\n", m_run.replayFile.c_str(),
               m_run.replayIntervalMs);
    std::vector<TargetReport> batch(kReportBatchLength);
    // Blocks are read straight behind the bytes the last cut left (less than one frame).
    CBaseBuffer reassembly;
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
        // The pacing may change between batches: what the batches left is then cut paced.
        if (!IsPaced()) CutBatches(reassembly, batch);
        if (IsPaced()) CutFrames(reassembly, *this);
    }
}

void AcquisitionEngine::CutBatches(CBaseBuffer& reassembly, std::vector<TargetReport>& batch) {
    const uint8_t* bytes = reassembly.GetBuffer();
    const size_t size = reassembly.GetAvailSize();
    size_t pos = 0;
    while (!m_stopRequested && !IsPaced()) {
        const ReportBatchCut cut =
            CutReportBatch(bytes + pos, size - pos, batch.data(), batch.size());
        pos += cut.consumed;
        Deliver(batch.data(), cut.reports, cut.skipped);
        if (cut.reports < batch.size()) break;  // the rest waits for the next block
    }
    if (pos > 0) reassembly.SetBuffer(bytes + pos, static_cast<uint32_t>(size - pos));
}
