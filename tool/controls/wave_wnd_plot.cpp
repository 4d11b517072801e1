// CWaveWnd: the curves, markers, frame counter and text items.
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "controls/wave_wnd.h"
#include "controls/wave_wnd_internal.h"
#include "core/rect_util.h"
#include "draw/buffer_copy.h"
#include "draw/packed_point.h"
#include "platform/gdiplus_text.h"

namespace {

// Cardinal spline tension of smooth curves.
constexpr double kCurveTension = 0.5;

// The text's UTF-16 characters, zero-terminated, as the bitmap helpers take them.
const WCHAR* Wide(const QString& text) {
    return reinterpret_cast<const WCHAR*>(text.utf16());
}

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// The smallest rectangle holding every pixel of the (premultiplied) image that is not fully
// transparent.
QRect CoveredPixels(const QImage& image) {
    int left = image.width();
    int right = -1;
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QFont TextFont(int size) {
    QFont font(QString::fromStdU16String(kWaveTextFace));
    if (size > 0) font.setPointSize(size);
    return font;
}

// A cardinal spline through the points (each segment a cubic whose control points follow the
// neighbours' direction).
QPainterPath CardinalCurve(const std::vector<QPointF>& p) {
    QPainterPath path(p.front());
    const double k = kCurveTension / 3.0;
    const size_t n = p.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const QPointF& before = p[i == 0 ? 0 : i - 1];
        const QPointF& after = p[std::min(i + 2, n - 1)];
        path.cubicTo(p[i] + (p[i + 1] - before) * k, p[i + 1] - (after - p[i]) * k, p[i + 1]);
    }
    return path;
}

}  // namespace

WaveView CWaveWnd::CurrentView() const {
    WaveView view;
    view.plot = m_plot;
    view.yMin = m_yViewMin;
    view.yMax = m_yViewMax;
    view.xOffset = m_xOffset;
    view.xZoom = m_xZoom;
    return view;
}

void CWaveWnd::BuildWavePoints() {
    const WaveView view = CurrentView();
    double overallMin = 0.0;
    double overallMax = 0.0;
    for (int i = 0; i < m_waveCount; ++i) {
        WaveSlot& slot = m_slots[i];
        if (!slot.visible) continue;
        slot.points.DeleteAll();
        double low = 0.0;
        double high = 0.0;
        slot.buffer.BuildPolyline(view, &slot.points, m_autoScale ? &low : nullptr,
                                  m_autoScale ? &high : nullptr);
        if (m_autoScale) {
            overallMin = std::min(overallMin, low);
            overallMax = std::max(overallMax, high);
        }
        PostProcessWavePoints(&slot.points, m_plot, slot.lineWidth, m_xMirrored != 0,
                              m_pointsAcross);
    }
    if (m_autoScale && AutoScaleRange(overallMin, overallMax, &m_yViewMin, &m_yViewMax)) {
        SetYPanelsRange(m_yViewMin, m_yViewMax);
        update();
    }
}

void CWaveWnd::CopyPlotBackground(const FrameSurface& surface) {
    // The background copy erases the previous curves.
    const RECT plotImageRect{0, 0, m_plotImage.width(), m_plotImage.height()};
    DrawBufferOnBuffer(surface.pixels, m_plot, surface.stride, m_plotBitmap->pixels, plotImageRect,
                       m_plotBitmap->stride, 4);
}

void CWaveWnd::DrawCurves(const FrameSurface& surface) {
    if (m_markersOn) DrawMarkers(surface);
    QPainter painter(surface.image);
    const auto unclip = [&painter, &surface] {
        if (surface.limit != nullptr)
            painter.setClipRegion(*surface.limit);
        else
            painter.setClipping(false);
    };
    unclip();
    painter.setClipRect(ToQRect(m_plot), Qt::IntersectClip);
    uint32_t* pixels = reinterpret_cast<uint32_t*>(surface.pixels);
    int64_t frames = 0;
    m_listenerDrewWave = false;
    for (int i = 0; i < m_waveCount; ++i) {
        WaveSlot& slot = m_slots[i];
        if (!slot.visible) continue;
        const int drawn = m_drawListener != nullptr
                              ? m_drawListener->OnDrawWave(
                                    &painter, surface.image, pixels, m_clientWidth, m_clientHeight,
                                    surface.stride, m_plot, i, &slot.points, slot.lineWidth,
                                    slot.colour, m_smooth, m_drawContext)
                              : 0;
        if (drawn) m_listenerDrewWave = true;
        if (!drawn) DrawWave(&painter, slot);
        frames = std::max(frames, slot.buffer.GetFramesReceived());
    }
    unclip();
    if (m_frameCounterOn) {
        painter.setFont(m_counterFont);
        painter.setPen(QColor(GetRValue(m_counterColour), GetGValue(m_counterColour),
                              GetBValue(m_counterColour)));
        painter.drawText(ToQRect(m_plot), m_counterFlags,
                         m_counterPrefix + QString::number(qlonglong(frames)));
    }
    if (m_drawListener != nullptr)
        m_drawListener->OnDrawEnd(&painter, surface.image, pixels, m_clientWidth, m_clientHeight,
                                  surface.stride, m_plot, m_drawContext);
}

void CWaveWnd::DrawWave(QPainter* painter, WaveSlot& slot) {
    const int count = slot.points.GetCount();
    if (count < 2 || !slot.hasPen || slot.lineWidth <= 0) return;
    m_curve.resize(size_t(count));
    void** entries = slot.points.GetDataPtr();
    for (int k = 0; k < count; ++k) {
        const PackedPoint p = SlotToPackedPoint(entries[k]);
        m_curve[size_t(k)] = QPointF(PackedPointX(p), PackedPointY(p));
    }
    painter->setPen(slot.pen);
    if (m_smooth) {
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->drawPath(CardinalCurve(m_curve));
    } else {
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->drawPolyline(m_curve.data(), count);
    }
}

void CWaveWnd::DrawMarkers(const FrameSurface& surface) {
    const int plotWidth = m_plot.right - m_plot.left;
    const int plotHeight = m_plot.bottom - m_plot.top;
    if (plotWidth <= 0 || plotHeight <= 0 || m_waveLength < 1) return;
    const double pixelsPerSample = double(plotWidth) / m_waveLength;
    const WaveView view = CurrentView();
    for (int position : m_markers) {
        const double centre = position * pixelsPerSample;
        if (!(centre >= 0.0 && centre < plotWidth)) continue;
        double best = plotHeight;
        bool found = false;
        for (int i = 0; i < m_waveCount; ++i) {
            if (!m_slots[i].visible) continue;
            double row = 0.0;
            if (m_slots[i].buffer.ValueAtColumn(view, int(centre), nullptr, nullptr, nullptr,
                                                &row) &&
                row < best) {
                best = row;
                found = true;
            }
        }
        if (!found) continue;
        const int x0 = std::clamp(int(centre - m_markerWidth / 2.0), 0, plotWidth - 1);
        const int x1 = std::clamp(x0 + m_markerWidth, 0, plotWidth - 1);
        const RECT column{m_plot.left + x0, m_plot.top + int(best), m_plot.left + x1 + 1,
                          m_plot.bottom};
        DrawColorOnBuffer(m_markerColour, surface.pixels, column, surface.stride);
    }
}

void CWaveWnd::DrawTextItems(QPainter* painter) {
    CAutoBaseLock lock(&m_textLock);
    if (m_texts.empty()) return;
    const RECT plotOrigin{0, 0, m_plot.right - m_plot.left, m_plot.bottom - m_plot.top};
    for (const auto& item : m_texts) {
        if (item->text.isEmpty() || item->size <= 0) continue;
        RECT layout = m_plot;
        if (!IsEmpty(item->rect)) BoundRect(&layout, &item->rect, &m_plot);
        OffsetLayout(&layout);
        BoundRect(&layout, &layout, &plotOrigin);
        if (IsEmpty(layout)) continue;
        // Laid out once: a background repainted at every report would otherwise shape its texts
        // again each time.
        if (!item->rendered || !IsRectEqual(&item->renderedLayout, &layout))
            RenderTextItem(item.get(), layout);
        if (!item->rendered->image.isNull())
            painter->drawImage(QPoint(layout.left, layout.top) + item->rendered->offset,
                               item->rendered->image);
    }
}

void CWaveWnd::RenderTextItem(WaveTextItem* item, const RECT& layout) const {
    const int width = layout.right - layout.left;
    const int height = layout.bottom - layout.top;
    QImage full(width, height, QImage::Format_ARGB32_Premultiplied);
    // Fonts measured as in the plot image.
    full.setDotsPerMeterX(m_plotImage.dotsPerMeterX());
    full.setDotsPerMeterY(m_plotImage.dotsPerMeterY());
    full.fill(Qt::transparent);
    {
        QPainter painter(&full);
        const RECT whole{0, 0, width, height};
        Gdiplus_DrawText(&painter, Wide(item->text), &whole, item->colour, &item->font,
                         &item->format);
    }
    item->renderedLayout = layout;
    item->rendered = std::make_unique<RenderedText>();
    // Kept to the pixels the text covers: a title laid out over the whole plot is a few words.
    const QRect covered = CoveredPixels(full);
    if (covered.isEmpty()) return;
    item->rendered->image = full.copy(covered);
    item->rendered->offset = covered.topLeft();
}

void CWaveWnd::OffsetLayout(RECT* layout) const {
    layout->left -= m_plot.left;
    layout->right -= m_plot.left;
    layout->top -= m_plot.top;
    layout->bottom -= m_plot.top;
}

void CWaveWnd::SetText(uint64_t id, const QString& text, int size, uint32_t argb, int hAlign,
                       int vAlign, const RECT* rect) {
    {
        CAutoBaseLock lock(&m_textLock);
        auto found = std::find_if(m_texts.begin(), m_texts.end(),
                                  [id](const auto& item) { return item->id == id; });
        WaveTextItem* item = nullptr;
        if (found == m_texts.end()) {
            m_texts.push_back(std::make_unique<WaveTextItem>());
            item = m_texts.back().get();
        } else {
            item = found->get();
        }
        item->id = id;
        item->text = text;
        item->rect = rect != nullptr ? *rect : RECT{0, 0, 0, 0};
        item->format = GpStringFormat{hAlign, vAlign, 0};
        item->colour = argb;
        item->size = size >= 0 ? size : FitTextSize(text, -size, item->rect, item->format);
        item->font = TextFont(item->size);
        item->rendered.reset();
        std::stable_sort(m_texts.begin(), m_texts.end(),
                         [](const auto& a, const auto& b) { return a->id < b->id; });
    }
    SetBackgroundDirty();
}

int CWaveWnd::FitTextSize(const QString& text, int largest, const RECT& rect,
                          const GpStringFormat& format) const {
    const RECT box = IsEmpty(rect) ? m_plot : rect;
    return Gdiplus_CalcFontSize(nullptr, Wide(text), box.right - box.left, box.bottom - box.top,
                                kWaveTextFace, largest, 0, &format);
}

int CWaveWnd::GetTextCount() {
    CAutoBaseLock lock(&m_textLock);
    return int(m_texts.size());
}

int CWaveWnd::GetTextSize(uint64_t id) {
    CAutoBaseLock lock(&m_textLock);
    for (const auto& item : m_texts)
        if (item->id == id) return item->size;
    return -1;
}
