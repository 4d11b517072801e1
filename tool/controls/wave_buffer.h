// CWaveBuffer: the sample store behind one curve (wave) of the plot window.
//
// Samples arrive in frames of N samples (the plot's wave length) and are kept in a flat array
// of F frames that scrolls to the left: the newest sample is always the last element. F is one
// more than the history given to SetHistoryFrames, so that the plot can zoom out in time and pan
// back through older samples. The buffer also turns the visible samples into pixel points for
// drawing (one point per pixel column at most, keeping peaks) and answers which sample is shown
// at a pixel column.
//
// Threads: producers call AddSamples (and read or reset the frames-received counter) from any
// thread; the plot window configures the buffer and calls BuildPolyline and ValueAtColumn on the
// user-interface thread. Every operation holds the buffer's own lock for its whole run and calls
// out only into its byte buffer and the caller's point list.
#pragma once

#include <cstdint>
#include <memory>

#include "core/base_buffer.h"
#include "core/base_lock.h"
#include "core/platform_types.h"
#include "core/ptr_array_ctrl.h"

// Encoding of the stored samples and of the input to AddSamples. Any other value is treated as
// Int16 (2 bytes) everywhere.
enum class WaveSampleType : int32_t {
    Int16 = 0,
    Int32 = 1,
    Double = 2,
};

// Bytes per sample of a type (2 for unknown types).
int WaveSampleSize(int32_t type);

// What the plot window shows of a wave.
struct WaveView {
    RECT plot{};          // plot area in the window image; W = right - left, H = bottom - top
    double yMin = 0.0;    // value at the bottom edge
    double yMax = 0.0;    // value at the top edge
    int32_t xOffset = 0;  // samples panned back in time, 0 <= offset < N
    double xZoom = 1.0;   // 1.0 shows N samples across the plot; smaller values show more
};

// Largest sample storage a wave may have (F x N x sample size); larger requests leave the
// storage absent (the buffer then ignores input) with an error line.
constexpr int64_t kMaxWaveStorageBytes = int64_t{1} << 30;

class CWaveBuffer {
public:
    CWaveBuffer();
    virtual ~CWaveBuffer();
    CWaveBuffer(const CWaveBuffer&) = delete;
    CWaveBuffer& operator=(const CWaveBuffer&) = delete;

    // Stores the type; when the storage size (F x N x sample size) changes, the storage is
    // replaced by a zero-filled one. Always empties the pending input.
    void SetSampleType(WaveSampleType type);

    // Stores N (values below 0 count as 0; 0 means not configured: input and queries are then
    // ignored); when the storage size changes, the storage is replaced by a zero-filled one.
    // Always empties the pending input and forgets a partly counted frame (it was counted in
    // frames of the old length).
    void SetFrameLength(int frameLength);

    // Keeps n frames of history: F becomes n + 1 (n below 1 counts as 1). The newest frames are
    // kept at the end of the storage: growing fills the added older frames at the front with
    // zeros, shrinking drops the oldest frames. When F changes the pending input is emptied.
    void SetHistoryFrames(int historyFrames);

    // When nonzero, AddSamples moves only whole frames into the storage and keeps a partial tail
    // pending until the frame is complete.
    void SetWholeFramesOnly(int flag);

    // Appends `count` samples of the current type. Whole frames received are counted (whether
    // or not whole-frames-only is set); then the new samples (after any pending ones) scroll
    // into the storage from the right: with at least F x N of them the storage holds their last
    // F x N, otherwise the old content moves left by their number. Ignored when N is 0, count is
    // not positive, data is null or there is no storage.
    void AddSamples(const void* data, int count);

    // Zero-fills the storage, empties the pending input and forgets a partly counted frame; the
    // frames-received counter keeps its value.
    void ClearSamples();

    // Whole frames received since creation or the last reset.
    int64_t GetFramesReceived();
    // Sets the counter back to 0 (the target page does when it restarts acquisition).
    void ResetFramesReceived();

    // Appends to `points` (packed points, draw/packed_point.h, in pixels of the window image:
    // the plot's left and top included) at most one point per pixel column of the visible
    // samples, plus one held-back point per horizontal run:
    // - V = trunc(N / zoom) samples are visible, from storage element N - offset on (offset
    //   limited to 0 .. N, and V to what the storage holds);
    // - column x stands for view position round(x (V - 1) / (W - 1)); the samples since the
    //   previous column's position are reduced to the one of largest magnitude (max when
    //   |max| > |min|, else min), so peaks survive zooming out;
    // - its row is round(H (yMax - value) / (yMax - yMin)), computed and clamped to 0 .. H - 1
    //   in floating point (equal Y limits: above the limit the top, below it the bottom, on it
    //   the middle row);
    // - of a run of equal rows only the first and the last point are emitted.
    // outMin/outMax (may be null) receive the smallest and largest value seen (the chosen values
    // for Int16 samples, every sample for Int32 and Double), +-DBL_MAX when nothing is visible,
    // and 0 when there is no storage. A view of width 1 or showing one sample gives one point.
    void BuildPolyline(const WaveView& view, CPtrArrayCtrl* points, double* outMin, double* outMax);

    // Which sample the plot shows at pixel column px (relative to the plot's left edge): of the
    // view positions round(max(px - 1, 0) x s) .. round(min(px + 1, W - 1) x s), with
    // s = (V - 1) / (W - 1), the last that set a new maximum or minimum scanning left to right.
    // Writes its view position, the sample type, the value and its pixel row (relative to the
    // plot's top, clamped to 0 .. H - 1); null outputs are skipped. Returns 1 when the column is
    // inside the plot (also when no sample is scanned: then only the type is written), 0 when N
    // is 0, there is no storage, nothing is visible, or px < 0 or px >= W.
    int ValueAtColumn(const WaveView& view, int px, int* outPosition, int* outType,
                      double* outValue, double* outRow);

    // Current settings and contents, for the plot window and tests.
    int32_t GetSampleType();
    int GetFrameLength();
    int GetStoredFrames();
    int GetWholeFramesOnly();
    // Samples waiting for their frame to complete.
    int GetPendingSamples();
    // Storage capacity in samples (F x N), 0 when there is no storage.
    int64_t GetCapacity();
    // Storage element `index` as a double into *value: 1, or 0 when out of range or there is no
    // storage.
    int GetSampleAt(int64_t index, double* value);

private:
    struct Visible;

    // Replaces the storage by a zero-filled one of F x N x sample size bytes (absent on failure
    // or when the size is 0) when that size differs from the current one.
    void ReallocateIfSizeChanged();
    double SampleAt(int64_t index) const;
    bool ComputeVisible(const WaveView& view, Visible* out) const;

    CBaseLock m_lock;
    int32_t m_sampleType = 0;
    int32_t m_frameLength = 0;
    int32_t m_storedFrames = 2;
    int32_t m_wholeFramesOnly = 0;
    std::unique_ptr<uint8_t[]> m_storage;
    int64_t m_storageBytes = 0;
    CBaseBuffer m_pending;
    int64_t m_framesReceived = 0;
    int32_t m_carriedRemainder = 0;
};
