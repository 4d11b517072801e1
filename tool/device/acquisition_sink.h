// What the acquisition engine tells the page that shows its reports: the target page implements
// it with its controls and window messages (WM_TARGET_REPORT / WM_ACQUISITION_END), zorvan-cli
// with terminal output, tests with a recorder.
//
// Calls marked "window thread" come from StartAcquisition / StopAcquisition on the caller's
// thread; calls marked "ReadData" come from the worker and must not block on the window thread
// nor call StopAcquisition (post a message instead: stopping joins the worker).
#pragma once

#include <cstdint>
#include <string>

#include "device/report_frame.h"

// Window messages the page posts to itself for the worker's events (both parameters 0).
constexpr uint32_t WM_TARGET_REPORT = 0x500;    // a new report has been stored
constexpr uint32_t WM_ACQUISITION_END = 0x501;  // the run ended by itself

// What the page shows between runs and during one.
enum class AcquisitionRunState {
    Idle,    // "Start" and "Replay" enabled
    Live,    // "Stop" on the Start button, the rest disabled
    Replay,  // "Stop" on the Replay button, the rest disabled
};

// Why a run ended by itself.
enum class AcquisitionEnd {
    ReplayFinished,     // the replayed file is exhausted
    ReplayUnavailable,  // the replay file cannot be opened: nothing was replayed
    ReplayReadFailed,   // reading the replay file failed part-way
};

// Which step of a recording failed.
enum class RecordingStage { Create, Write, Close };

struct RecordingFailure {
    RecordingStage stage = RecordingStage::Create;
    std::string path;  // the file (the name tried when creation failed; may be empty)
    int error = 0;     // errno
};

class IAcquisitionSink {
public:
    virtual ~IAcquisitionSink() = default;

    // Window thread: a live start found no connected device ("Device Not Connected"); nothing
    // was started.
    virtual void OnDeviceNotConnected() = 0;
    // Window thread, in StartAcquisition before the worker starts: the latest report and the
    // state history were reset; clear the curves and show the empty state.
    virtual void OnDisplayReset() = 0;
    // Window thread, at the end of StartAcquisition and of StopAcquisition: set the controls for
    // the state (and keep the machine awake while not Idle). After a stop the latest report's
    // state and distance are 0: refresh the status text.
    virtual void OnRunStateChanged(AcquisitionRunState state) = 0;

    // ReadData: a report entered the state history and was stored as the latest report (in an
    // unpaced replay, together with the rest of its block: the latest is then the block's last);
    // feed the curves and post WM_TARGET_REPORT.
    virtual void OnReport(const TargetReport& report) = 0;
    // ReadData: the run ended by itself; post WM_ACQUISITION_END (its handler stops the run).
    virtual void OnRunEnded(AcquisitionEnd reason) = 0;
    // ReadData: the recording could not be created, written or closed; the run goes on without
    // recording. Show it to the user.
    virtual void OnRecordingFailed(const RecordingFailure& failure) = 0;
    // A live run's recording was created at `path` (before its first byte).
    virtual void OnRecordingStarted(const std::string& path) { (void)path; }
};
