#include "controls/wave_wnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPen>
#include <QResizeEvent>

#include <time.h>

#include <algorithm>
#include <cmath>

#include "controls/wave_wnd_internal.h"
#include "core/rect_util.h"
#include "draw/buffer_copy.h"
#include "draw/color_table.h"

namespace {

// Inches per metre, for the images' resolution.
constexpr double kInchesPerMetre = 39.37007874;

// Adds the process CPU time since the previous lap (Qt may blend on helper threads) to a stage
// of the times (nothing without times).
class StageTimer {
public:
    explicit StageTimer(WavePaintStageTimes* times) : m_times(times), m_last(times ? Now() : 0) {}
    void Lap(int64_t WavePaintStageTimes::*stage) {
        if (m_times == nullptr) return;
        const int64_t now = Now();
        m_times->*stage += now - m_last;
        m_last = now;
    }

private:
    static int64_t Now() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    WavePaintStageTimes* m_times;
    int64_t m_last;
};

// Makes a 32-bit top-down bitmap of our own and a QImage over the same pixels.
void MakeImage(int width, int height, UniqueHBitmap* bitmap, QImage* image) {
    bitmap->reset();
    *image = QImage();
    if (width <= 0 || height <= 0) return;
    void* pixels = nullptr;
    bitmap->reset(CreateHBitmap(&pixels, width, height, 32, nullptr, 0));
    if (!*bitmap) return;
    *image = QImage((*bitmap)->pixels, width, height, (*bitmap)->stride, QImage::Format_RGB32);
    const int dotsPerMetre = int(std::lround(kImageDotsPerInch * kInchesPerMetre));
    image->setDotsPerMeterX(dotsPerMetre);
    image->setDotsPerMeterY(dotsPerMetre);
}

QColor ColorRefToQColor(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

}  // namespace

QColor WaveColourToQColor(uint32_t waveColour) {
    return QColor(int(waveColour & 0xFF), int((waveColour >> 8) & 0xFF),
                  int((waveColour >> 16) & 0xFF), int(waveColour >> 24));
}

uint32_t ColorRefToPixel(COLORREF colour) {
    return 0xFF000000u | (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

void CopyImageClipped(const QImage& source, QImage* target) {
    if (source.isNull() || target == nullptr || target->isNull()) return;
    const QImage rgb =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
            ? source
            : source.convertToFormat(QImage::Format_RGB32);
    // The overlapping rectangle only: a larger picture must not run past the target's rows.
    const RECT sourceRect{0, 0, rgb.width(), rgb.height()};
    const RECT targetRect{0, 0, target->width(), target->height()};
    DrawBufferOnBuffer(target->bits(), targetRect, int(target->bytesPerLine()), rgb.constBits(),
                       sourceRect, int(rgb.bytesPerLine()), 4);
}

WaveSlot::WaveSlot() = default;

CWaveWnd::CWaveWnd(QWidget* parent) : QWidget(parent), m_slots(new WaveSlot[kMaxWaves]) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    const QPalette& colours = palette();
    m_outerColour = colours.color(QPalette::Button).rgb();
    const QColor text = colours.color(QPalette::WindowText);
    for (int i = 0; i < kMaxWaves; ++i) {
        WaveSlot& slot = m_slots[i];
        slot.colour = 0xFF000000u | CommonColor(i);
        slot.tooltipFormat = QStringLiteral("Wave:%1, Sample:%d, Value:%.1f").arg(i);
        slot.buffer.SetFrameLength(m_waveLength);
    }
    const int thickness[kPanelCount] = {40, 40, 20, 20};
    for (int i = 0; i < kPanelCount; ++i) {
        AxisPanel& panel = m_panels[i];
        panel.config.thickness = thickness[i];
        CCoordinate& c = panel.coordinate;
        c.textColour = RGB(uint8_t(text.red()), uint8_t(text.green()), uint8_t(text.blue()));
        const bool vertical = i == kPanelLeft || i == kPanelRight;
        c.vertical = vertical ? 1 : 0;
        c.alignment = (i == kPanelLeft || i == kPanelTop) ? kLabelAlignFar : kLabelAlignNear;
        if (vertical) {
            c.count = 5;
            c.rangeMin = m_yFullMin;
            c.rangeMax = m_yFullMax;
        } else {
            c.count = 22;
            c.rangeMin = 0.0;
            c.rangeMax = kDefaultWaveLength - 1;
            c.wrapLow = 0.0;
            c.wrapHigh = kDefaultWaveLength - 1;
            c.wrapPeriod = kDefaultWaveLength - 1;
        }
    }
    SetWaveCount(1);
}

CWaveWnd::~CWaveWnd() {
    HideTooltip();
    CAutoBaseLock lock(&m_textLock);
    m_texts.clear();
}

// --- Lifecycle ---

void CWaveWnd::Initialize() {
    m_clientWidth = width();
    m_clientHeight = height();
    RecreateImages();
    CreateTip();
}

void CWaveWnd::RecreateImages() {
    MakeImage(0, 0, &m_windowBitmap, &m_windowImage);
    MakeImage(0, 0, &m_plotBitmap, &m_plotImage);
    if (m_clientWidth <= 0 || m_clientHeight <= 0) return;
    MakeImage(m_clientWidth, m_clientHeight, &m_windowBitmap, &m_windowImage);
    RunLayout();
    update();
}

void CWaveWnd::RunLayout() {
    AxisPanelConfig configs[kPanelCount];
    for (int i = 0; i < kPanelCount; ++i) configs[i] = m_panels[i].config;
    const WaveLayout layout = ComputeWaveLayout(m_clientWidth, m_clientHeight, configs);
    for (int i = 0; i < kPanelCount; ++i) {
        m_panels[i].area = layout.areas[i];
        m_panels[i].coordinate.rect = layout.areas[i];
        m_panels[i].dirty = 1;
    }
    m_plot = layout.plot;
    const int plotWidth = m_plot.right - m_plot.left;
    const int plotHeight = m_plot.bottom - m_plot.top;
    if (m_gridOn) {
        const GridCells cells = ComputeGridCells(plotWidth, plotHeight, m_gridRows);
        m_cellWidth = cells.width;
        m_cellHeight = cells.height;
    }
    // The old panel areas may lie anywhere now: the whole window image starts again.
    if (m_windowBitmap) {
        const RECT whole{0, 0, m_clientWidth, m_clientHeight};
        DrawColorOnBuffer(m_outerColour, m_windowBitmap->pixels, whole, m_windowBitmap->stride);
        MakeImage(plotWidth, plotHeight, &m_plotBitmap, &m_plotImage);
    }
    SetBackgroundImage(m_backgroundImage);
    m_backgroundDirty = 1;
    update();
}

namespace {

// The event of a repaint request. It carries nothing: the producer hands the window no data, so
// nothing written on its thread is read on the window thread.
QEvent::Type RepaintRequestEvent() {
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

}  // namespace

bool CWaveWnd::RequestRepaint() {
    if (m_repaintPending.exchange(true)) return false;
    // Queued to the window thread; dropped unseen if the window is destroyed first.
    QCoreApplication::postEvent(this, new QEvent(RepaintRequestEvent()));
    return true;
}

bool CWaveWnd::event(QEvent* event) {
    if (event->type() == RepaintRequestEvent()) {
        // Cleared first: a sample added from now on asks again.
        m_repaintPending.store(false);
        // New samples change the plot only; a panel marked dirty meanwhile is shown as well.
        update(AnyPanelDirty() ? rect() : ToQRect(m_plot));
        return true;
    }
    return QWidget::event(event);
}

// --- Painting ---

void CWaveWnd::paintEvent(QPaintEvent* event) {
    ++m_paintCount;
    if (m_windowImage.isNull()) return;
    const QRegion& region = event->region();
    QImage view;
    if (BackingStoreView(region, &view)) {
        ++m_inPlacePaintCount;
        QRegion area;
        if (IncrementalArea(region, view, &area)) {
            ++m_incrementalPaintCount;
            RenderIncrementalFrame(
                FrameSurface{&view, view.bits(), int(view.bytesPerLine()), &area}, area);
        } else {
            RenderFrameOn(FrameSurface{&view, view.bits(), int(view.bytesPerLine()), &region});
            CopyOutsidePlot(region, &view);
        }
        RememberShownFrame(view);
    } else {
        m_shownFrameBase = nullptr;
        RenderFrame();
        // Only the asked-for area goes to the screen: a repaint request asks for the plot alone.
        QPainter screen(this);
        screen.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect& area : region) screen.drawImage(area.topLeft(), m_windowImage, area);
    }
    // Panels repainted outside the area are shown by the next paint.
    const QRegion missed = m_paintedPanels - region;
    if (!missed.isEmpty()) update(missed);
    if (AnyTooltipWave() && m_tooltipShown && m_tip != nullptr && m_tip->isVisible())
        RefreshTooltip();
}

void CWaveWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    if (size.width() == m_clientWidth && size.height() == m_clientHeight) return;
    m_clientWidth = size.width();
    m_clientHeight = size.height();
    RecreateImages();
}

CWaveWnd::FrameSurface CWaveWnd::WindowSurface() {
    return FrameSurface{&m_windowImage, m_windowBitmap->pixels, m_windowBitmap->stride, nullptr};
}

void CWaveWnd::RenderFrame() {
    if (m_windowImage.isNull()) return;
    RenderFrameOn(WindowSurface());
}

void CWaveWnd::RenderFrameOn(const FrameSurface& surface) {
    StageTimer timer(m_stageTimes);
    if (!m_plotImage.isNull()) {
        BuildWavePoints();
        timer.Lap(&WavePaintStageTimes::polylines);
        if (m_backgroundDirty) {
            // A new background goes straight into the frame, which saves copying it there; the
            // plot image catches up when a later frame needs it.
            QImage plotArea = PlotAreaOf(surface);
            PaintPlotBackground(&plotArea);
            m_backgroundDirty = 0;
            m_plotImageStale = 1;
            timer.Lap(&WavePaintStageTimes::background);
        } else {
            RefreshPlotImage();
            timer.Lap(&WavePaintStageTimes::background);
            CopyPlotBackground(surface);
            timer.Lap(&WavePaintStageTimes::copy);
        }
        DrawCurves(surface);
        timer.Lap(&WavePaintStageTimes::curves);
    }
    PaintDirtyPanels();
    timer.Lap(&WavePaintStageTimes::panels);
}

QImage CWaveWnd::PlotAreaOf(const FrameSurface& surface) const {
    QImage area(surface.pixels + size_t(m_plot.top) * surface.stride + size_t(m_plot.left) * 4,
                m_plotImage.width(), m_plotImage.height(), surface.stride, surface.image->format());
    // Texts measure their fonts as they do in the plot image.
    area.setDotsPerMeterX(m_plotImage.dotsPerMeterX());
    area.setDotsPerMeterY(m_plotImage.dotsPerMeterY());
    return area;
}

void CWaveWnd::RefreshPlotImage() {
    if (m_plotImage.isNull() || !(m_backgroundDirty || m_plotImageStale)) return;
    PaintPlotBackground(&m_plotImage);
    m_backgroundDirty = 0;
    m_plotImageStale = 0;
}

QImage CWaveWnd::PlotImage() {
    RefreshPlotImage();
    return m_plotImage.copy();
}

void CWaveWnd::PaintPlotBackground(QImage* target) {
    const int width = target->width();
    const int height = target->height();
    const int stride = int(target->bytesPerLine());
    // Through constBits: a view of the frame must not detach from the pixels it shows.
    uint32_t* pixels = reinterpret_cast<uint32_t*>(const_cast<uchar*>(target->constBits()));
    const RECT r{0, 0, width, height};
    if (m_backgroundOn) {
        DrawColorOnBuffer(ColorRefToPixel(m_backgroundColour), pixels, r, stride);
        if (m_backgroundMode == 1 && !m_scaledBackground.isNull())
            CopyImageClipped(m_scaledBackground, target);
    }
    if (m_gridOn)
        DrawPlotGrid(pixels, width, height, stride, r, m_cellWidth, m_cellHeight, m_gridThickness,
                     m_gridColour, m_centreColour);
    QPainter painter(target);
    if (m_drawListener != nullptr)
        m_drawListener->OnDrawBackground(&painter, target, pixels, width, height, stride, r,
                                         m_drawContext);
    DrawTextItems(&painter);
}

bool CWaveWnd::AnyPanelDirty() const {
    return std::any_of(std::begin(m_panels), std::end(m_panels),
                       [](const AxisPanel& panel) { return panel.dirty != 0; });
}

void CWaveWnd::PaintDirtyPanels() {
    m_paintedPanels = QRegion();
    QPainter painter;
    for (AxisPanel& panel : m_panels) {
        if (!panel.dirty) continue;
        panel.dirty = 0;
        if (!panel.config.shown) continue;
        m_paintedPanels += ToQRect(panel.area);
        DrawColorOnBuffer(m_outerColour, m_windowBitmap->pixels, panel.area,
                          m_windowBitmap->stride);
        if (!painter.isActive()) painter.begin(&m_windowImage);
        DrawPanelLabels(&painter, panel.coordinate);
    }
}

void CWaveWnd::DrawPanelLabels(QPainter* painter, const CCoordinate& coordinate) {
    if (coordinate.pointSize < 1) return;  // no font: nothing to draw with
    QFont font(QString::fromStdU16String(kLabelFontFace));
    font.setPointSize(coordinate.pointSize);
    painter->setFont(font);
    painter->setPen(ColorRefToQColor(coordinate.textColour));
    const QFontMetrics metrics(font, &m_windowImage);
    for (const CoordinateLabel& label : coordinate.LayoutLabels()) {
        const QRect box(label.rect.left, label.rect.top, label.rect.right - label.rect.left,
                        label.rect.bottom - label.rect.top);
        if (box.width() <= 0 || box.height() <= 0) continue;
        const QString text =
            metrics.elidedText(QString::fromStdU16String(label.text), Qt::ElideRight, box.width());
        painter->drawText(box, LabelFlagsToQt(label.flags), text);
    }
}
