// Threshold generation: the sensor derives its 16 trigger and 16 hold thresholds from a scan of
// the empty detection area. The worker "SensingGenerate" sends the generation command (0x0009)
// with the two coefficients and the scan time, then follows the sensor's progress frames in the
// stream until one says 100 % or it is stopped. The generation dialog turns what the worker
// reports (IThresholdGenerationSink) into its messages 0x500 (progress) and 0x501 (finished);
// zorvan-cli into a progress bar.
//
// Progress frame: the stream envelope (F4 F3 F2 F1, u16 length 3, payload, F8 F7 F6 F5, 13 bytes
// in all) with payload type 3 and a u16 percentage. Progress counts per fetch: the loop ends when
// the bytes of one fetch carry a frame of 100 % or more.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "core/base_thread.h"
#include "device/radar_stream_link.h"

class CBaseBuffer;

constexpr uint16_t kCmdGenerateThresholds = 0x0009;
constexpr int kGenerationPayloadBytes = 6;
constexpr uint8_t kProgressFrameType = 3;
constexpr uint16_t kProgressPayloadBytes = 3;
constexpr uint32_t kProgressFrameBytes = 13;
// The scan looks for a frame only where at least this many bytes remain.
constexpr uint32_t kProgressScanMinBytes = 10;
constexpr int kGenerationCompletePercent = 100;

// What the parameter page hands the dialog, and the two preset scan times.
constexpr int kDefaultTriggerCoefficientDb = 2;
constexpr int kDefaultHoldCoefficientDb = 1;
constexpr int kPureEnvScanSeconds = 120;
constexpr int kComplicatedEnvScanSeconds = 30;

// The worker.
constexpr const char* kGenerationThreadName = "SensingGenerate";
constexpr int kGenerationThreadPriority = 0;
constexpr int kGenerationThreadStackBytes = 0x400000;

struct ThresholdGenerationRequest {
    int triggerCoefficientDb = kDefaultTriggerCoefficientDb;
    int holdCoefficientDb = kDefaultHoldCoefficientDb;
    int scanSeconds = kPureEnvScanSeconds;
};

// The command's payload: trigger coefficient, hold coefficient, scan seconds, each the low 16
// bits of the value, little-endian.
std::array<uint8_t, kGenerationPayloadBytes> BuildThresholdGenerationPayload(
    const ThresholdGenerationRequest& request);

// Told about the progress frames a scan finds, on the scanning thread.
class IProgressFrameConsumer {
public:
    virtual ~IProgressFrameConsumer() = default;
    virtual void OnProgressFrame(int percent) = 0;
    // Checked before every step of the scan; true ends it where it is.
    virtual bool IsStopRequested() const = 0;
};

// Scans `buffer` from its start while at least kProgressScanMinBytes remain: where no header
// starts, 1 byte on; a header whose length is not 3, 4 bytes on; fewer than 13 bytes left, the
// scan waits for more; a missing tail, 6 bytes on; otherwise a type-3 frame is handed on (and
// logged as "process=%d\r\n" at level 2), any other type passed over, and the scan moves past
// the frame. Only the bytes from the scan's final position stay in the buffer. Returns the last
// percentage found, 0 when none.
int ScanProgressFrames(CBaseBuffer& buffer, IProgressFrameConsumer& consumer);

class IThresholdGenerationSink {
public:
    virtual ~IThresholdGenerationSink() = default;
    // "SensingGenerate": a progress frame arrived (the dialog's 0x500 with the percentage).
    virtual void OnGenerationProgress(int percent) = 0;
    // Last call of every run: 1 when the sensor reported 100 %, 0 when the command was refused or
    // not answered, or the run was stopped first (the dialog's 0x501). From "SensingGenerate";
    // from the thread calling Stop when the run was stopped before its worker began.
    virtual void OnGenerationFinished(int success) = 0;
};

// The worker of the generation dialog. Start, Stop and the destructor belong to one thread (the
// dialog's); the sink hears from the worker and must not call Stop from there.
class ThresholdGenerator : private IThreadFuncInterface, private IProgressFrameConsumer {
public:
    // Link and sink are not owned and must outlive the generator.
    ThresholdGenerator(IRadarStreamLink& link, IThresholdGenerationSink& sink);
    // Stops a run.
    ~ThresholdGenerator() override;
    ThresholdGenerator(const ThresholdGenerator&) = delete;
    ThresholdGenerator& operator=(const ThresholdGenerator&) = delete;

    // Starts the worker for one run: 1 when it started, 0 when a worker still runs or the thread
    // cannot be created (logged).
    // The worker: command mode on; the command (2000 ms for its acknowledgement); command mode
    // off whatever the answer; on a refusal OnGenerationFinished(0). Otherwise stream delivery
    // on, fetches of up to 2000 ms, each followed by a scan, until a fetch brings 100 % or a stop
    // is requested; delivery off; OnGenerationFinished(1 or 0).
    int Start(const ThresholdGenerationRequest& request);

    // Requests the stop, cuts a waiting fetch short and waits for the worker; returns at once
    // when none runs. A command exchange in progress still runs out its own time limits.
    void Stop();

    // 1 when no worker thread exists (the dialog may close), else 0.
    int IsThreadExit() { return m_thread.IsThreadExit(); }

private:
    int ThreadLoop(uint64_t param) override;
    void OnProgressFrame(int percent) override;
    void Finish(int success);
    bool IsStopRequested() const override { return m_stopRequested.load(); }

    IRadarStreamLink& m_link;
    IThresholdGenerationSink& m_sink;
    ThresholdGenerationRequest m_request;  // written before the worker starts
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finishReported{false};  // the sink heard how the run ended
    bool m_runPending = false;                  // a started run not yet stopped (Stop's thread)
    CBaseThread m_thread;
};
