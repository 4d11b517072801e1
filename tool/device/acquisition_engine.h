// Acquisition, recording and replay: the engine behind the target page's Start and Replay
// buttons and zorvan-cli's monitor and replay commands.
//
// One worker thread, "ReadData", runs each acquisition once:
// - live: switches the sensor's report output on (command 0x7A, id 0, value 1, inside command
//   mode), turns stream delivery on, fetches byte blocks (2000 ms limit each), appends each block
//   unchanged to the recording when one is kept, and cuts the bytes into reports; at the end
//   delivery goes off, the recording is closed (checked) and the report output is switched off;
// - replay: reads the file in blocks of kReplayBlockBytes and cuts them the same way, waiting
//   "ReplayInterval" ms after every well-formed report frame (a negative interval counts as 0);
//   the sensor is not touched. The pause can be changed while the run goes on
//   (SetReplayInterval, a new wait starts from the report's time) and the replay held after a
//   report (SetReplayPaused); both wake the waiting worker through the pacing event. The end of the
//   file, and a file that cannot be opened or read, end the run by themselves
//   (IAcquisitionSink::OnRunEnded).
// Every decoded report enters the state history and is counted (under the engine's lock) before
// the sink hears of it. Live runs and paced replays publish each report alone, so it is the
// latest report when the sink hears of it. An unpaced replay (interval 0) cuts its bytes in
// small batches of reports (CutReportBatch, no call per report), publishes each batch under
// one lock, then hands each report to the sink: the latest report is then the batch's last, and
// the stop is checked between batches.
//
// Stopping is immediate: StopAcquisition sets the stop request, cancels a waiting fetch and
// signals the pacing event that a replay waits on, then joins the worker, which still writes the
// bytes already received into the recording, closes its file and switches the report output off
// (each step bounded by its own time limit). A cancel that no fetch consumed (the stop came before
// the first fetch) is taken back after the join.
//
// Threads: StartAcquisition, StopAcquisition, SetLink and the destructor belong to one thread
// (the page's window thread, the CLI's main thread). The readers (GetLatestReport,
// GetStateHistory, TakeBandChanged, IsRunning, IsReplay, ReplayIntervalMs, IsReplayPaused,
// IsReplayHolding) and the steering (SetReplayInterval, SetReplayPaused) may be called from any
// thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/base_event.h"
#include "core/base_thread.h"
#include "device/acquisition_sink.h"
#include "device/radar_stream_link.h"
#include "device/recording_file.h"
#include "device/report_frame.h"

// The report switch: parameter 0 of command 0x7A, 1 = reports on.
constexpr uint16_t kCmdReportSwitch = 0x007A;
constexpr uint16_t kReportSwitchParamId = 0;

// The worker.
constexpr const char* kAcquisitionThreadName = "ReadData";
constexpr int kAcquisitionThreadPriority = 0;
constexpr int kAcquisitionThreadStackBytes = 0x400000;
// Bytes read from a replay file per block (large enough that the system calls cost little
// beside the cutting).
constexpr uint32_t kReplayBlockBytes = 64 * 1024;

// When a recorded live run ends, the bytes received but not yet fetched still go into the
// recording: at most this many blocks (the stream queue holds far less), taken without waiting
// until this many fetches came back empty (a stop's cancel empties one).
constexpr int kMaxDrainBlocks = 1024;
constexpr int kDrainEmptyFetches = 2;

// Target states of the last reports, oldest first; kNoStateYet where no report came yet.
constexpr int kStateHistoryLength = 240;
constexpr uint8_t kNoStateYet = 0xFF;
using StateHistory = std::array<uint8_t, kStateHistoryLength>;

enum class AcquisitionMode { Live, Replay };

// What one run uses (the page's settings "ReplayInterval", "SaveData", "SaveDataPath",
// "LastReplayFile").
struct AcquisitionRun {
    AcquisitionMode mode = AcquisitionMode::Live;
    std::string replayFile;      // replay: the file to read
    int replayIntervalMs = 500;  // replay: the pause after each report frame
    // replay: the part of the file read, bytes [replayFirstByte, replayEndByte) (a recording
    // index gives the bounds of reports); by default the whole file
    uint64_t replayFirstByte = 0;
    uint64_t replayEndByte = UINT64_MAX;
    bool replayPaused = false;  // replay: starts paused (holds after its first report)
    bool saveData = false;      // live: keep a recording
    std::string saveFolder;     // live: where recordings go (created when missing)
    std::string saveFile;       // live: the recording's own name instead (never replaced)
};

enum class AcquisitionStartResult {
    Started,
    AlreadyRunning,  // a run is on (also one whose worker ended by itself): stop it first
    NotConnected,    // live without a connected device; the sink was told
    ThreadFailed,    // the worker could not be created (logged); nothing runs
};

// What a run found in the bytes it read.
struct AcquisitionTally {
    uint64_t reports = 0;       // reports decoded
    uint64_t bytesSkipped = 0;  // bytes that were not frames (a replay's unfinished last frame
                                // counts once its file has ended)
};

// The replay interval actually used: negative values count as 0.
int EffectiveReplayInterval(int intervalMs);

class AcquisitionEngine : private IThreadFuncInterface, private ITargetReportConsumer {
public:
    // The sink must outlive the engine.
    explicit AcquisitionEngine(IAcquisitionSink& sink);
    // Stops a run (without sink calls).
    ~AcquisitionEngine() override;
    AcquisitionEngine(const AcquisitionEngine&) = delete;
    AcquisitionEngine& operator=(const AcquisitionEngine&) = delete;

    // The device of live runs (null: none); not owned. Only while no run is on.
    void SetLink(IRadarStreamLink* link);

    // Starts a run: for a live run the device must be connected (else the sink hears
    // OnDeviceNotConnected); "Start Realtime data show." is logged and the save folder created
    // when recording. Then the latest report is zeroed, the state history emptied, the sink's
    // display reset, the worker started and the sink told the new state.
    AcquisitionStartResult StartAcquisition(const AcquisitionRun& run);

    // Ends the run at once (see above) and waits for the worker; then zeroes the latest
    // report's state and distance, tells the sink Idle and logs "Stop Realtime data show.".
    // Safe when nothing runs.
    void StopAcquisition();

    // 1 from a successful start until the stop (also after the worker ended by itself).
    bool IsRunning() const { return m_running.load(); }
    // True when the current or last run replays a file.
    bool IsReplay() const { return m_replay.load(); }

    // The pause after each replayed report from now on (a negative value counts as 0, "as fast as
    // possible"); a wait in progress ends at its report's time plus the new pause. Kept for the
    // run; the next StartAcquisition takes the run's own interval.
    void SetReplayInterval(int intervalMs);
    // The pause the replay uses now.
    int ReplayIntervalMs() const { return m_intervalMs.load(); }
    // Holds the replay after the report it shows (none is read while paused) or lets it go on.
    void SetReplayPaused(bool paused);
    bool IsReplayPaused() const { return m_paused.load(); }
    // True while the worker holds a paused replay (no report comes until it is resumed).
    bool IsReplayHolding() const { return m_holding.load(); }

    TargetReport GetLatestReport() const;
    StateHistory GetStateHistory() const;
    // True when a report entered the state history since the last call (the state band needs
    // repainting); clears the mark.
    bool TakeBandChanged();
    // The current or last run's tally so far.
    AcquisitionTally GetTally() const;

private:
    int ThreadLoop(uint64_t param) override;
    void OnTargetReport(const TargetReport& report) override;
    void OnReportFrameDone() override;
    bool IsStopRequested() const override { return m_stopRequested.load(); }
    void OnBytesSkipped(size_t count) override;
    // A replay waits after each report (a pause above 0, or paused).
    bool IsPaced() const { return m_intervalMs.load() > 0 || m_paused.load(); }

    // Requests the stop, wakes the worker, waits for it and takes back a cancel it left.
    void EndWorker();
    void RunLive();
    void RunReplay();
    // Cuts an unpaced replay's bytes in batches of reports (the stop is checked between them)
    // and delivers each batch; leaves the unfinished frame in the buffer.
    void CutBatches(CBaseBuffer& reassembly, std::vector<TargetReport>& batch);
    // Publishes reports (as the latest report and in the state history) and skipped bytes under
    // one lock, then hands each report to the sink.
    void Deliver(const TargetReport* reports, size_t count, size_t skipped);
    // Writes what the device received but nobody fetched yet into the recording.
    void DrainIntoRecording(RecordingFile& recording);
    void SetReportOutput(uint32_t on);
    void ResetDisplayState();

    IAcquisitionSink& m_sink;
    IRadarStreamLink* m_link = nullptr;
    AcquisitionRun m_run;  // written before the worker starts, read by it
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_replay{false};
    std::atomic<bool> m_stopRequested{false};
    // Auto reset: a stop, a new interval and a pause or resume end a replay wait with it. A
    // signal given while the worker is not waiting stays until its next wait, so none is lost.
    CBaseEvent m_pacing;
    std::atomic<int> m_intervalMs{0};  // the replay's pause now
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_holding{false};

    // Latest report, state history, band changed, tally. A plain mutex: taken once per report
    // (once per batch in an unpaced replay), never while held.
    mutable std::mutex m_stateLock;
    TargetReport m_latest;
    AcquisitionTally m_tally;
    StateHistory m_history;  // a ring: m_historyNext is the oldest entry, the next overwritten
    int m_historyNext = 0;
    bool m_bandChanged = false;

    CBaseThread m_thread;  // last: stopped before the members it uses go away
};
