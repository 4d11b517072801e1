#include "wave_buffer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "core/dbg_output.h"
#include "draw/packed_point.h"

struct CWaveBuffer::Visible {
    int64_t width = 0;   // W
    int64_t height = 0;  // H
    int64_t count = 0;   // V
    int64_t base = 0;    // storage element of view position 0
    double samplesPerPixel = 0.0;
    double pixelStep = 1.0;
};

namespace {

// Rounds to nearest (halves away from zero) and clamps to [lo, hi] in floating point, so that
// no out-of-range or NaN value reaches the integer conversion; NaN gives `nanValue`.
int64_t RoundClamp(double v, int64_t lo, int64_t hi, int64_t nanValue) {
    if (std::isnan(v)) return nanValue;
    const double r = std::round(v);
    if (r <= static_cast<double>(lo)) return lo;
    if (r >= static_cast<double>(hi)) return hi;
    return static_cast<int64_t>(r);
}

// Pixel row of a value, 0 at the top edge (yMax) to H - 1 at the bottom (yMin). Equal limits
// give +-infinity (clamped to an edge) or, for the limit itself, NaN: the middle row.
int64_t RowOf(double value, const WaveView& view, int64_t height) {
    const double r = static_cast<double>(height) * (view.yMax - value) / (view.yMax - view.yMin);
    return RoundClamp(r, 0, height - 1, (height - 1) / 2);
}

}  // namespace

int WaveSampleSize(int32_t type) {
    switch (static_cast<WaveSampleType>(type)) {
        case WaveSampleType::Int32:
            return 4;
        case WaveSampleType::Double:
            return 8;
        default:
            return 2;
    }
}

CWaveBuffer::CWaveBuffer() = default;
CWaveBuffer::~CWaveBuffer() = default;

void CWaveBuffer::ReallocateIfSizeChanged() {
    const int64_t bytes = int64_t{m_storedFrames} * m_frameLength * WaveSampleSize(m_sampleType);
    if (bytes == m_storageBytes && (bytes == 0 || m_storage)) return;
    m_storage.reset();
    m_storageBytes = 0;
    if (bytes <= 0) return;
    if (bytes > kMaxWaveStorageBytes) {
        DbgOutputA(kDbgLevelError,
                   "CWaveBuffer: %d frames of %d samples of %d bytes exceed %lld bytes; the wave "
                   "ignores input until it is configured smaller\r\n",
                   m_storedFrames, m_frameLength, WaveSampleSize(m_sampleType),
                   static_cast<long long>(kMaxWaveStorageBytes));
        return;
    }
    m_storage.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]());
    if (!m_storage) {
        DbgOutputA(kDbgLevelError, "CWaveBuffer: out of memory for %lld bytes of samples\r\n",
                   static_cast<long long>(bytes));
        return;
    }
    m_storageBytes = bytes;
}

void CWaveBuffer::SetSampleType(WaveSampleType type) {
    CAutoBaseLock guard(&m_lock);
    m_sampleType = static_cast<int32_t>(type);
    ReallocateIfSizeChanged();
    m_pending.Delete();
}

void CWaveBuffer::SetFrameLength(int frameLength) {
    CAutoBaseLock guard(&m_lock);
    m_frameLength = std::max(frameLength, 0);
    m_carriedRemainder = 0;
    ReallocateIfSizeChanged();
    m_pending.Delete();
}

void CWaveBuffer::SetHistoryFrames(int historyFrames) {
    CAutoBaseLock guard(&m_lock);
    const int64_t wanted = int64_t{std::max(historyFrames, 1)} + 1;
    if (wanted > INT32_MAX || wanted == m_storedFrames) return;
    std::unique_ptr<uint8_t[]> old = std::move(m_storage);
    const int64_t oldBytes = m_storageBytes;
    m_storageBytes = 0;
    m_storedFrames = static_cast<int32_t>(wanted);
    ReallocateIfSizeChanged();
    if (m_storage && old) {
        // The newest frames stay at the end, where the plot's right edge reads them.
        const int64_t keep = std::min(oldBytes, m_storageBytes);
        std::memcpy(m_storage.get() + (m_storageBytes - keep), old.get() + (oldBytes - keep),
                    static_cast<size_t>(keep));
    }
    m_pending.Delete();
}

void CWaveBuffer::SetWholeFramesOnly(int flag) {
    CAutoBaseLock guard(&m_lock);
    m_wholeFramesOnly = flag;
}

void CWaveBuffer::AddSamples(const void* data, int count) {
    if (data == nullptr || count <= 0) return;
    CAutoBaseLock guard(&m_lock);
    const int64_t n = m_frameLength;
    if (n == 0 || !m_storage) return;

    const int64_t counted = int64_t{count} + m_carriedRemainder;
    m_framesReceived += counted / n;
    m_carriedRemainder = static_cast<int32_t>(counted % n);

    // The input is the pending samples followed by the new ones; the first `avail` of them go
    // into the storage and the `keep` after them stay pending.
    const int64_t size = WaveSampleSize(m_sampleType);
    const int64_t pendingSamples = m_pending.GetAvailSize() / size;
    const int64_t total = pendingSamples + count;
    const int64_t keep = m_wholeFramesOnly ? total % n : 0;
    const int64_t avail = total - keep;
    const uint8_t* pendingBytes = m_pending.GetBuffer();
    const auto* newBytes = static_cast<const uint8_t*>(data);
    // Copies input samples [from, to) to dst.
    auto copyInput = [&](uint8_t* dst, int64_t from, int64_t to) {
        if (from < pendingSamples) {
            const int64_t end = std::min(to, pendingSamples);
            std::memcpy(dst, pendingBytes + from * size, static_cast<size_t>((end - from) * size));
            dst += (end - from) * size;
            from = end;
        }
        if (from < to) {
            std::memcpy(dst, newBytes + (from - pendingSamples) * size,
                        static_cast<size_t>((to - from) * size));
        }
    };

    const int64_t capacity = m_storageBytes / size;
    uint8_t* storage = m_storage.get();
    if (avail >= capacity) {
        copyInput(storage, avail - capacity, avail);
    } else if (avail > 0) {
        std::memmove(storage, storage + avail * size,
                     static_cast<size_t>((capacity - avail) * size));
        copyInput(storage + (capacity - avail) * size, 0, avail);
    }

    if (keep == 0) {
        m_pending.Delete();
    } else if (avail == 0) {
        // Nothing was moved (avail is a multiple of N, pending holds less than N): the new
        // samples join the pending ones.
        m_pending.AppendBuffer(newBytes, static_cast<uint32_t>(count * size));
    } else {
        // avail >= N > pendingSamples: what stays pending comes from the new samples alone.
        m_pending.SetBuffer(newBytes + (avail - pendingSamples) * size,
                            static_cast<uint32_t>(keep * size));
    }
}

void CWaveBuffer::ClearSamples() {
    CAutoBaseLock guard(&m_lock);
    m_carriedRemainder = 0;
    if (m_storage) std::memset(m_storage.get(), 0, static_cast<size_t>(m_storageBytes));
    m_pending.Delete();
}

int64_t CWaveBuffer::GetFramesReceived() {
    CAutoBaseLock guard(&m_lock);
    return m_framesReceived;
}

void CWaveBuffer::ResetFramesReceived() {
    CAutoBaseLock guard(&m_lock);
    m_framesReceived = 0;
}

double CWaveBuffer::SampleAt(int64_t index) const {
    const uint8_t* p = m_storage.get() + index * WaveSampleSize(m_sampleType);
    switch (static_cast<WaveSampleType>(m_sampleType)) {
        case WaveSampleType::Int32: {
            int32_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case WaveSampleType::Double: {
            double v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        default: {
            int16_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
    }
}

bool CWaveBuffer::ComputeVisible(const WaveView& view, Visible* out) const {
    const int64_t n = m_frameLength;
    if (n == 0 || !m_storage) return false;
    out->width = int64_t{view.plot.right} - view.plot.left;
    out->height = int64_t{view.plot.bottom} - view.plot.top;
    if (out->width <= 0 || out->height <= 0) return false;
    if (!(view.xZoom > 0) || !std::isfinite(view.xZoom)) return false;
    const int64_t offset = std::clamp<int64_t>(view.xOffset, 0, n);
    out->base = n - offset;
    // Never more samples than the storage holds from the base on.
    const int64_t available = m_storageBytes / WaveSampleSize(m_sampleType) - out->base;
    const double wanted = std::trunc(static_cast<double>(n) / view.xZoom);
    out->count =
        wanted >= static_cast<double>(available) ? available : static_cast<int64_t>(wanted);
    if (out->count < 1) return false;
    if (out->count > 1 && out->width > 1) {
        const double spans = static_cast<double>(out->width - 1);
        const double steps = static_cast<double>(out->count - 1);
        out->samplesPerPixel = steps / spans;
        out->pixelStep = std::max(1.0, spans / steps);
    } else {
        // One column or one sample: a single point.
        out->samplesPerPixel = 0.0;
        out->pixelStep = static_cast<double>(out->width);
    }
    return true;
}

void CWaveBuffer::BuildPolyline(const WaveView& view, CPtrArrayCtrl* points, double* outMin,
                                double* outMax) {
    CAutoBaseLock guard(&m_lock);
    if (outMin != nullptr) *outMin = 0.0;
    if (outMax != nullptr) *outMax = 0.0;
    if (!m_storage) return;
    if (outMin != nullptr) *outMin = DBL_MAX;
    if (outMax != nullptr) *outMax = -DBL_MAX;
    Visible v;
    if (!ComputeVisible(view, &v)) return;
    const bool chosenExtremes = WaveSampleSize(m_sampleType) == 2;  // Int16 and unknown types
    auto emit = [&](int64_t x, int64_t row) {
        if (points == nullptr) return;
        points->AddData(PackedPointToSlot(PackPoint(static_cast<int32_t>(view.plot.left + x),
                                                    static_cast<int32_t>(view.plot.top + row))),
                        -1);
    };

    double pos = 0.0;
    int64_t previousIndex = 0;
    int64_t previousRow = -1;
    int64_t pendingX = -1;
    const double width = static_cast<double>(v.width);
    while (pos < width) {
        const int64_t x = RoundClamp(pos, 0, v.width - 1, 0);
        const int64_t index = RoundClamp(pos * v.samplesPerPixel, 0, v.count - 1, 0);
        const int64_t first = previousIndex + 1 >= index ? index : previousIndex + 1;
        double hi = SampleAt(v.base + first);
        double lo = hi;
        for (int64_t i = first + 1; i <= index; ++i) {
            const double s = SampleAt(v.base + i);
            hi = std::max(hi, s);
            lo = std::min(lo, s);
        }
        const double chosen = std::fabs(hi) > std::fabs(lo) ? hi : lo;
        if (chosenExtremes) {
            if (outMin != nullptr) *outMin = std::min(*outMin, chosen);
            if (outMax != nullptr) *outMax = std::max(*outMax, chosen);
        } else {
            if (outMin != nullptr) *outMin = std::min(*outMin, lo);
            if (outMax != nullptr) *outMax = std::max(*outMax, hi);
        }
        const int64_t row = RowOf(chosen, view, v.height);
        if (row == previousRow) {
            pendingX = x;
        } else {
            if (pendingX >= 0) emit(pendingX, previousRow);
            emit(x, row);
            previousRow = row;
            pendingX = -1;
        }
        previousIndex = index;
        pos += v.pixelStep;
    }
    if (pendingX >= 0) emit(pendingX, previousRow);
}

int CWaveBuffer::ValueAtColumn(const WaveView& view, int px, int* outPosition, int* outType,
                               double* outValue, double* outRow) {
    CAutoBaseLock guard(&m_lock);
    Visible v;
    if (!ComputeVisible(view, &v)) return 0;
    if (px < 0 || px >= v.width) return 0;
    if (outType != nullptr) *outType = m_sampleType;
    const double left = static_cast<double>(std::max(px - 1, 0));
    const double right = static_cast<double>(px + 1 < v.width ? px + 1 : v.width - 1);
    const int64_t start = RoundClamp(left * v.samplesPerPixel, 0, v.count - 1, 0);
    const int64_t end = RoundClamp(right * v.samplesPerPixel, 0, v.count - 1, 0);
    double runningMax = -DBL_MAX;
    double runningMin = DBL_MAX;
    for (int64_t p = start; p <= end; ++p) {
        const double s = SampleAt(v.base + p);
        if (s > runningMax) {
            runningMax = s;
        } else if (s < runningMin) {
            runningMin = s;
        } else {
            continue;
        }
        if (outValue != nullptr) *outValue = s;
        if (outRow != nullptr) *outRow = static_cast<double>(RowOf(s, view, v.height));
        if (outPosition != nullptr) *outPosition = static_cast<int>(p);
    }
    return 1;
}

int32_t CWaveBuffer::GetSampleType() {
    CAutoBaseLock guard(&m_lock);
    return m_sampleType;
}

int CWaveBuffer::GetFrameLength() {
    CAutoBaseLock guard(&m_lock);
    return m_frameLength;
}

int CWaveBuffer::GetStoredFrames() {
    CAutoBaseLock guard(&m_lock);
    return m_storedFrames;
}

int CWaveBuffer::GetWholeFramesOnly() {
    CAutoBaseLock guard(&m_lock);
    return m_wholeFramesOnly;
}

int CWaveBuffer::GetPendingSamples() {
    CAutoBaseLock guard(&m_lock);
    return static_cast<int>(m_pending.GetAvailSize() / WaveSampleSize(m_sampleType));
}

int64_t CWaveBuffer::GetCapacity() {
    CAutoBaseLock guard(&m_lock);
    return m_storage ? m_storageBytes / WaveSampleSize(m_sampleType) : 0;
}

int CWaveBuffer::GetSampleAt(int64_t index, double* value) {
    CAutoBaseLock guard(&m_lock);
    if (!m_storage || index < 0 || index >= m_storageBytes / WaveSampleSize(m_sampleType)) {
        return 0;
    }
    if (value != nullptr) *value = SampleAt(index);
    return 1;
}
