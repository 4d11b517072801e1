// CWaveWnd: frames drawn straight into Qt's backing store, whole or only where the curves moved.
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "controls/wave_wnd.h"
#include "controls/wave_wnd_internal.h"
#include "core/rect_util.h"
#include "draw/buffer_copy.h"

namespace {

// An incremental frame rewrites whole columns of the plot: this many, each from the highest to
// the lowest changed pixel in it.
constexpr int kIncrementalColumns = 64;
// Beyond a curve's points its stroke reaches half the line width, a mitred join at most the
// pen's miter limit times the line width; a pixel more for rounding.
constexpr int kStrokeMargin = 2;

int StrokeReach(double miterLimit, int lineWidth) {
    return int(std::ceil(std::max(0.5, miterLimit) * lineWidth)) + kStrokeMargin;
}

bool Drawn(WaveSlot& slot) {
    return slot.visible && slot.hasPen && slot.lineWidth > 0 && slot.points.GetCount() >= 2;
}

bool SameCurve(WaveSlot& slot) {
    if (!slot.shown || !Drawn(slot) || slot.shownColour != slot.colour ||
        slot.shownLineWidth != slot.lineWidth ||
        int(slot.shownPoints.size()) != slot.points.GetCount())
        return false;
    void** entries = slot.points.GetDataPtr();
    for (size_t k = 0; k < slot.shownPoints.size(); ++k)
        if (SlotToPackedPoint(entries[k]) != slot.shownPoints[k]) return false;
    return true;
}

// The changed rows of each column of the plot.
class ChangedColumns {
public:
    explicit ChangedColumns(const RECT& plot) : m_plot(plot) {
        m_top.fill(INT_MAX);
        m_bottom.fill(INT_MIN);
        const int width = plot.right - plot.left;
        m_columnWidth = std::max(1, (width + kIncrementalColumns - 1) / kIncrementalColumns);
    }

    // The segment from a to b drawn `margin` pixels thick around its line.
    void AddSegment(PackedPoint a, PackedPoint b, int margin) {
        const int left = std::max(std::min(PackedPointX(a), PackedPointX(b)) - margin, m_plot.left);
        const int right =
            std::min(std::max(PackedPointX(a), PackedPointX(b)) + margin, int(m_plot.right) - 1);
        const int top = std::min(PackedPointY(a), PackedPointY(b)) - margin;
        const int bottom = std::max(PackedPointY(a), PackedPointY(b)) + margin;
        if (left > right) return;
        const int first = (left - m_plot.left) / m_columnWidth;
        const int last = (right - m_plot.left) / m_columnWidth;
        for (int c = first; c <= last && c < kIncrementalColumns; ++c) {
            m_top[size_t(c)] = std::min(m_top[size_t(c)], top);
            m_bottom[size_t(c)] = std::max(m_bottom[size_t(c)], bottom);
        }
    }

    QRegion Area() const {
        QRegion area;
        for (int c = 0; c < kIncrementalColumns; ++c) {
            const int top = std::max(m_top[size_t(c)], int(m_plot.top));
            const int bottom = std::min(m_bottom[size_t(c)], int(m_plot.bottom) - 1);
            const int left = m_plot.left + c * m_columnWidth;
            const int right = std::min(left + m_columnWidth, int(m_plot.right));
            if (top <= bottom && left < right)
                area += QRect(left, top, right - left, bottom - top + 1);
        }
        return area;
    }

private:
    RECT m_plot;
    int m_columnWidth = 1;
    std::array<int, kIncrementalColumns> m_top{};
    std::array<int, kIncrementalColumns> m_bottom{};
};

}  // namespace

void CWaveWnd::SetIncrementalFrames(int on) {
    m_incrementalFrames = on;
    // The next frame is drawn whole either way.
    update();
}

bool CWaveWnd::BackingStoreView(const QRegion& region, QImage* view) {
    // During a paint Qt redirects the window to its backing store, normally a 32-bit image;
    // a grab or a scaled screen goes the window image's way.
    QPoint offset;
    QPaintDevice* device = redirected(&offset);
    if (device == nullptr || device->devType() != QInternal::Image) return false;
    auto* store = static_cast<QImage*>(device);
    if ((store->format() != QImage::Format_RGB32 &&
         store->format() != QImage::Format_ARGB32_Premultiplied) ||
        store->devicePixelRatio() != 1.0 || !store->isDetached())
        return false;
    // The frame is drawn whole, so the paint must cover the plot; and nothing may lie over the
    // window, since pixels written here bypass Qt's clipping.
    if (!(QRegion(ToQRect(m_plot)) - region).isEmpty() || !(region - visibleRegion()).isEmpty())
        return false;
    const QRect area(-offset, size());
    if (!store->rect().contains(area)) return false;
    const qsizetype stride = store->bytesPerLine();
    *view = QImage(store->bits() + area.top() * stride + area.left() * 4, area.width(),
                   area.height(), stride, store->format());
    return true;
}

bool CWaveWnd::IncrementalArea(const QRegion& region, const QImage& view, QRegion* area) {
    // Only a repaint request asks for exactly the plot; anything else (an expose, a panel, the
    // owner's update()) may have changed what lies around the curves.
    // A smooth curve may swing beyond its points; markers and the counter follow every frame.
    if (!m_incrementalFrames || m_smooth || m_markersOn || m_frameCounterOn || m_backgroundDirty ||
        m_listenerDrewWave || m_plotImage.isNull() || region != QRegion(ToQRect(m_plot)))
        return false;
    // The last frame must still be on the screen, drawn in place at the same pixels.
    if (m_shownFrameBase == nullptr || m_shownFrameBase != view.constBits() ||
        m_shownFrameStride != view.bytesPerLine() || !IsRectEqual(&m_shownFramePlot, &m_plot) ||
        m_shownFrameSmooth)
        return false;
    BuildWavePoints();
    ChangedColumns changed(m_plot);
    for (int i = 0; i < kMaxWaves; ++i) {
        WaveSlot& slot = m_slots[i];
        const bool drawn = i < m_waveCount && Drawn(slot);
        if ((!drawn && !slot.shown) || (drawn && SameCurve(slot))) continue;
        // Where the old curve was and where the new one goes.
        if (slot.shown) {
            const int margin = slot.shownReach;
            for (size_t k = 0; k + 1 < slot.shownPoints.size(); ++k)
                changed.AddSegment(slot.shownPoints[k], slot.shownPoints[k + 1], margin);
        }
        if (drawn) {
            const int margin = StrokeReach(slot.pen.miterLimit(), slot.lineWidth);
            void** entries = slot.points.GetDataPtr();
            for (int k = 0; k + 1 < slot.points.GetCount(); ++k)
                changed.AddSegment(SlotToPackedPoint(entries[k]), SlotToPackedPoint(entries[k + 1]),
                                   margin);
        }
    }
    *area = changed.Area();
    return true;
}

void CWaveWnd::RenderIncrementalFrame(const FrameSurface& surface, const QRegion& area) {
    RefreshPlotImage();
    // The background under the changed columns erases the old curves there; everything is then
    // drawn clipped to them.
    for (const QRect& r : area) {
        const RECT target{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        const RECT source{r.left() - m_plot.left, r.top() - m_plot.top, r.right() + 1 - m_plot.left,
                          r.bottom() + 1 - m_plot.top};
        DrawBufferOnBuffer(surface.pixels, target, surface.stride, m_plotBitmap->pixels, source,
                           m_plotBitmap->stride, 4);
    }
    if (!area.isEmpty()) DrawCurves(surface);
    PaintDirtyPanels();
}

void CWaveWnd::RememberShownFrame(const QImage& view) {
    m_shownFrameBase = view.constBits();
    m_shownFrameStride = view.bytesPerLine();
    m_shownFramePlot = m_plot;
    m_shownFrameSmooth = m_smooth;
    for (int i = 0; i < kMaxWaves; ++i) {
        WaveSlot& slot = m_slots[i];
        slot.shown = i < m_waveCount && Drawn(slot);
        slot.shownPoints.clear();
        if (!slot.shown) continue;
        slot.shownColour = slot.colour;
        slot.shownLineWidth = slot.lineWidth;
        slot.shownReach = StrokeReach(slot.pen.miterLimit(), slot.lineWidth);
        void** entries = slot.points.GetDataPtr();
        for (int k = 0; k < slot.points.GetCount(); ++k)
            slot.shownPoints.push_back(SlotToPackedPoint(entries[k]));
    }
}

void CWaveWnd::CopyOutsidePlot(const QRegion& region, QImage* view) const {
    // Whatever lies outside the plot (panels, margins) comes from the window image.
    for (const QRect& area : region - ToQRect(m_plot)) {
        const RECT r{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
        DrawBufferOnBuffer(view->bits(), r, int(view->bytesPerLine()), m_windowBitmap->pixels, r,
                           m_windowBitmap->stride, 4);
    }
}
