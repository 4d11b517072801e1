// CWaveWnd: a custom-drawn plot of up to 256 curves (waves) that scroll from right to left as
// frames of samples arrive, with up to four label panels, a background (colour or picture), a
// grid, text items, markers, a frame counter, value tooltips and optional mouse pan and zoom.
//
// Drawing: two off-screen images of our own pixel bitmaps (common/draw), wrapped as QImages
// over the same memory: the plot background (colour or picture, grid, texts, the listener's
// background) is painted into the plot image only when marked dirty, the label panels into the
// window image only when marked dirty. Each paint copies the plot background into a frame
// surface and draws the curves there. The surface is the window's own pixels in Qt's backing
// store when the paint covers the whole plot and nothing lies over the window, which saves a
// full copy of the plot per paint; otherwise it is the window image, and the area Qt asks for
// is copied to the screen from it (a repaint request asks for the plot alone).
//
// Threads: every operation except RequestRepaint and the wave buffers runs on the window thread.
// Producers on other threads add samples through GetWaveBuffer(i) (each buffer has its own
// lock) and call RequestRepaint, which queues at most one repaint at a time. Producers must
// stop before the window is destroyed.
#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/coordinate.h"
#include "controls/wave_buffer.h"
#include "controls/wave_view_math.h"
#include "core/base_lock.h"
#include "core/ptr_array_ctrl.h"
#include "draw/pixel_bitmap.h"

class QLabel;
class QPainter;
struct WaveSlot;
struct WaveTextItem;
struct GpStringFormat;

constexpr int kMaxWaves = 256;
constexpr int kDefaultWaveLineWidth = 3;
constexpr int kDefaultWaveLength = 64;
constexpr double kDefaultYLimit = 32767.0;
constexpr int kDefaultGridRows = 16;
constexpr uint32_t kDefaultGridColour = 0x005F20;
constexpr uint32_t kDefaultCentreColour = 0x7F3F1F;
constexpr uint32_t kDefaultMarkerColour = 0xFFFF00;
constexpr int kDefaultMarkerWidth = 3;
// Text items are drawn with this face (mapped to an installed CJK face).
inline const char16_t* const kWaveTextFace = u"黑体";
// Off-screen images measure fonts at this resolution, as the screen does.
constexpr int kImageDotsPerInch = 96;

// A wave colour 0xAABBGGRR as a QColor, and a pixel 0xAARRGGBB / COLORREF 0x00BBGGRR as one.
QColor WaveColourToQColor(uint32_t waveColour);
uint32_t ColorRefToPixel(COLORREF colour);

// Copies the overlapping top-left part of `source` (any format, converted to 32-bit RGB) into
// `target` (32-bit): never more rows or columns than either image has.
void CopyImageClipped(const QImage& source, QImage* target);

// What an owner draws into the plot. The painter is active on the image passed beside it; the
// pixels may be written directly as well (32-bit, 0xAARRGGBB).
class IWaveWndDrawListener {
public:
    virtual ~IWaveWndDrawListener() = default;
    // The plot's background (rect = 0, 0, plot width, plot height), after the colour or picture
    // and the grid, before the text items. A background marked dirty is drawn straight into the
    // next frame and again into the plot image when a later frame needs it, so this may be
    // called more than once per mark: draw the whole background each time, from current state.
    virtual void OnDrawBackground(QPainter* painter, QImage* plotImage, uint32_t* pixels, int width,
                                  int height, int stride, const RECT& rect, uintptr_t context) {
        (void)painter, (void)plotImage, (void)pixels, (void)width, (void)height, (void)stride,
            (void)rect, (void)context;
    }
    // Nonzero: the listener drew wave `index` (its points are in window image pixels) and the
    // default curve is skipped.
    virtual int OnDrawWave(QPainter* painter, QImage* windowImage, uint32_t* pixels, int width,
                           int height, int stride, const RECT& plot, int index,
                           CPtrArrayCtrl* points, int lineWidth, uint32_t waveColour, int smooth,
                           uintptr_t context) {
        (void)painter, (void)windowImage, (void)pixels, (void)width, (void)height, (void)stride,
            (void)plot, (void)index, (void)points, (void)lineWidth, (void)waveColour, (void)smooth,
            (void)context;
        return 0;
    }
    // After the curves and the frame counter, into the window image; a repaint request shows
    // only the plot's rectangle, so per-frame drawing belongs inside it.
    virtual void OnDrawEnd(QPainter* painter, QImage* windowImage, uint32_t* pixels, int width,
                           int height, int stride, const RECT& plot, uintptr_t context) {
        (void)painter, (void)windowImage, (void)pixels, (void)width, (void)height, (void)stride,
            (void)plot, (void)context;
    }
};

// Supplies the tooltip text for the sample nearest the cursor.
class IWaveWndTooltipListener {
public:
    virtual ~IWaveWndTooltipListener() = default;
    virtual QString GetTooltipText(int wave, int sampleIndex, int xOffset, int waveLength,
                                   double value, double xFirst, double xLast, POINT point,
                                   const RECT* plot, uintptr_t context) = 0;
};

// Process CPU time in each stage of RenderFrame (Qt may blend on helper threads meanwhile), in
// nanoseconds, added up while enabled.
struct WavePaintStageTimes {
    int64_t background = 0;  // the plot background, when dirty: fill, grid, listener, texts
    int64_t polylines = 0;   // samples to points, their clean-up, auto-scale
    int64_t copy = 0;        // the plot background into the window image
    int64_t curves = 0;      // markers, curves, frame counter, the listener's end drawing
    int64_t panels = 0;      // dirty label panels
};

class CWaveWnd : public QWidget {
    Q_OBJECT

public:
    explicit CWaveWnd(QWidget* parent = nullptr);
    ~CWaveWnd() override;

    // --- Waves ---
    // count (1 .. 256): waves 0 .. count - 1 become visible, the others invisible.
    void SetWaveCount(int count);
    int GetWaveCount() const { return m_waveCount; }
    // Ignored for index >= wave count; a width below 0 keeps the old width.
    void SetWaveStyle(int index, uint32_t waveColour, int lineWidth);
    void SetWaveVisible(int index, int visible);
    int IsWaveVisible(int index) const;
    uint32_t GetWaveColour(int index) const;
    int GetWaveLineWidth(int index) const;
    // Whether the wave takes part in tooltips and its text: a printf format taking the sample
    // index (int) and the value (double), e.g. "Wave:0, Sample:%d, Value:%.1f". A format with
    // other conversions is refused (returns false) and the old one kept.
    bool SetWaveTooltip(int index, int enabled, const QString& format);
    QString GetWaveTooltipFormat(int index) const;
    // The sample store of wave `index` (0 .. 255), for producers; null for other indices.
    CWaveBuffer* GetWaveBuffer(int index);
    // The points drawn by the last paint (window image pixels), for listeners and tests.
    CPtrArrayCtrl* GetWavePoints(int index);

    void SetDoubleSamples();
    void SetWholeFramesOnly(int flag);
    void SetWaveLength(int n);
    int GetWaveLength() const { return m_waveLength; }
    void ClearData();

    // --- Ranges ---
    void SetXRange(double first, double last, double wrapPeriod);
    void SetYRange(double minimum, double maximum);
    void SetYLabelsFollowRange(int flag) { m_yLabelsFollowRange = flag; }
    double GetXFirst() const { return m_xFirst; }
    double GetXLast() const { return m_xLast; }
    double GetYViewMin() const { return m_yViewMin; }
    double GetYViewMax() const { return m_yViewMax; }
    int GetXOffset() const { return m_xOffset; }
    double GetXZoom() const { return m_xZoom; }

    // --- Label panels ---
    void SetXAxisFont(int pointSize);
    void SetYAxisFont(int pointSize, int decimals);
    // margins may be null (no margins).
    void ShowAxisPanel(WavePanel panel, int shown, int thickness, const RECT* margins);
    void SetPanelLabelCount(WavePanel panel, int count);
    void SetPanelAlignment(WavePanel panel, int alignment);
    void SetPanelRange(WavePanel panel, double minimum, double maximum);
    // The panel's coordinate, for custom labels, prefix and suffix; call MarkPanelDirty after.
    CCoordinate* GetCoordinate(WavePanel panel);
    void MarkPanelDirty(WavePanel panel);
    // Both X (top, bottom) or both Y (left, right) panels' label counts.
    void SetXLabelCount(int count);
    void SetYLabelCount(int count);

    // --- Appearance ---
    void SetOuterColour(uint32_t pixel);
    void SetBackground(int on) { m_backgroundOn = on; }
    // 0: solid colour, 1: picture.
    void SetBackgroundMode(int mode) { m_backgroundMode = mode; }
    void SetBackgroundColour(COLORREF colour) { m_backgroundColour = colour; }
    // The picture of background mode 1 (a null image removes it); scaled to the plot.
    void SetBackgroundImage(const QImage& image);
    void SetGrid(int on);
    void SetGridRows(int rows);
    void SetGridLineThickness(int thickness) { m_gridThickness = thickness; }
    void SetGridColour(uint32_t pixel) { m_gridColour = pixel; }
    void SetCentreColour(uint32_t pixel) { m_centreColour = pixel; }
    // After background or grid changes: repaint the plot background at the next paint.
    void SetBackgroundDirty();
    double GetCellWidth() const { return m_cellWidth; }
    double GetCellHeight() const { return m_cellHeight; }

    // Text item `id` (a second call with the same id updates it): size in points (negative:
    // the largest size up to -size that fits the rectangle; 0 draws nothing), colour ARGB
    // 0xAARRGGBB, alignments 0 near, 1 centre, 2 far; rect (window coordinates, may be null or
    // empty: the whole plot) is clipped to the plot.
    void SetText(uint64_t id, const QString& text, int size, uint32_t argb, int hAlign, int vAlign,
                 const RECT* rect);
    int GetTextCount();
    // The font size an item got (fitted sizes included), -1 for no such item.
    int GetTextSize(uint64_t id);

    // Markers: columns of marker colour below the highest curve at each sample position.
    void SetMarkers(int on) { m_markersOn = on; }
    void SetMarkerStyle(int width, uint32_t pixel);
    void AddMarker(int position);
    void ClearMarkers();

    // Frame counter: prefix + the largest frames-received counter of the visible waves, drawn
    // into the plot with the font, colour (COLORREF) and flags (Qt::Alignment) given.
    void SetFrameCounterStyle(const QString& prefix, const QFont& font, COLORREF colour, int flags);
    void SetFrameCounter(int on) { m_frameCounterOn = on; }

    void SetSmoothCurves(int on) { m_smooth = on; }
    // Incremental frames (off by default): a paint of a repaint request rewrites only the part of
    // the plot where the curves moved, the rest staying as the last frame left it on the screen.
    // Turn it on only while the listener's OnDrawEnd draws the same at every frame, through the
    // painter or inside the painter's clip region; when that drawing changes, call update() (the
    // whole window) or SetBackgroundDirty() so that the next frame is drawn whole.
    void SetIncrementalFrames(int on);
    void SetPointsAcross(int points) { m_pointsAcross = points; }
    void SetXMirrored(int on) { m_xMirrored = on; }
    void SetAutoScale(int on) { m_autoScale = on; }

    void SetDrawListener(IWaveWndDrawListener* listener, uintptr_t context);
    void SetTooltipListener(IWaveWndTooltipListener* listener, uintptr_t context);

    // --- Interaction (all off by default) ---
    void SetYWheelZoom(int on) { m_yWheelZoom = on; }
    void SetYDrag(int on) { m_yDrag = on; }
    void SetXWheelZoom(int on) { m_xWheelZoom = on; }
    void SetXDrag(int on) { m_xDrag = on; }

    // --- Lifecycle and painting ---
    // Reads the client size and makes the images; call once after the configuration.
    void Initialize();
    // Remakes both images for the current client size and runs the layout.
    void RecreateImages();
    // Any thread: asks for a repaint on the window thread. At most one request is pending;
    // returns true when this call queued it, false when one was already pending.
    bool RequestRepaint();
    // Renders the window image as a paint that cannot draw in place does (without copying it
    // to the screen).
    void RenderFrame();
    // Adds each stage's time of every later render to `times` (null: no timing).
    void SetPaintStageTimes(WavePaintStageTimes* times) { m_stageTimes = times; }

    RECT GetPlotRect() const { return m_plot; }
    RECT GetPanelArea(WavePanel panel) const;
    // The off-screen images (null images when the window has no size).
    // Copies: a shared QImage would make the next paint detach from the bitmap's pixels.
    QImage WindowImage() const { return m_windowImage.copy(); }
    // The plot image is brought up to date first (the listener may draw its background).
    QImage PlotImage();
    // Paints so far (window thread), and those of them drawn straight into the backing store.
    int64_t PaintCount() const { return m_paintCount; }
    int64_t InPlacePaintCount() const { return m_inPlacePaintCount; }
    // Those of the in-place paints that rewrote only where the curves moved.
    int64_t IncrementalPaintCount() const { return m_incrementalPaintCount; }
    // The tooltip's current text, whether it is shown, and its window (null before Initialize).
    QString TooltipText() const { return m_tooltipText; }
    bool IsTooltipShown() const { return m_tooltipShown != 0; }
    const QLabel* TooltipWindow() const { return m_tip; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct AxisPanel {
        AxisPanelConfig config;
        RECT area{};
        int dirty = 0;
        CCoordinate coordinate;
    };

    // Where a frame's plot is drawn: the window image, or a view of the backing store's pixels
    // under the window (same coordinates, the window's size).
    struct FrameSurface {
        QImage* image = nullptr;
        uint8_t* pixels = nullptr;
        int stride = 0;
        const QRegion* limit = nullptr;  // in place: the paint's region, drawing stays inside it
    };

    void RunLayout();
    FrameSurface WindowSurface();
    bool BackingStoreView(const QRegion& region, QImage* view);
    void RenderFrameOn(const FrameSurface& surface);
    // The part of the plot to rewrite for an in-place frame of `region` at `view`, after the
    // points are built: null when the frame must be drawn whole.
    bool IncrementalArea(const QRegion& region, const QImage& view, QRegion* area);
    void RememberShownFrame(const QImage& view);
    void RenderIncrementalFrame(const FrameSurface& surface, const QRegion& area);
    void CopyOutsidePlot(const QRegion& region, QImage* view) const;
    QImage PlotAreaOf(const FrameSurface& surface) const;
    void PaintPlotBackground(QImage* target);
    void RefreshPlotImage();
    void DrawTextItems(QPainter* painter);
    void RenderTextItem(WaveTextItem* item, const RECT& layout) const;
    void OffsetLayout(RECT* layout) const;
    int FitTextSize(const QString& text, int largest, const RECT& rect,
                    const GpStringFormat& format) const;
    void BuildWavePoints();
    void CopyPlotBackground(const FrameSurface& surface);
    void DrawCurves(const FrameSurface& surface);
    void DrawMarkers(const FrameSurface& surface);
    void DrawWave(QPainter* painter, WaveSlot& slot);
    void PaintDirtyPanels();
    bool AnyPanelDirty() const;
    void DrawPanelLabels(QPainter* painter, const CCoordinate& coordinate);
    WaveView CurrentView() const;
    bool AnyInteraction() const;
    bool AnyVisibleWave() const;
    bool AnyTooltipWave() const;
    void SetYPanelsRange(double minimum, double maximum);
    void SetXPanelsRange(double minimum, double maximum);
    void SetHistoryFramesOfWaves(int frames);
    void RefreshTooltip();
    void HideTooltip();
    void CreateTip();
    void ResetView();

    std::unique_ptr<WaveSlot[]> m_slots;
    int m_waveCount = 1;
    int m_waveLength = kDefaultWaveLength;
    int m_xOffset = 0;
    double m_xZoom = 1.0;
    double m_xFirst = 0.0;
    double m_xLast = kDefaultWaveLength - 1;
    int m_xFollowsLength = 1;
    double m_yLabelMin = -kDefaultYLimit;
    double m_yLabelMax = kDefaultYLimit;
    double m_yFullMin = -kDefaultYLimit;
    double m_yFullMax = kDefaultYLimit;
    double m_yViewMin = -kDefaultYLimit;
    double m_yViewMax = kDefaultYLimit;
    int m_yLabelsFollowRange = 1;
    int m_autoScale = 0;
    int m_smooth = 0;
    int m_pointsAcross = -1;
    int m_xMirrored = 0;

    uint32_t m_outerColour = 0;
    int m_backgroundOn = 1;
    int m_backgroundMode = 0;
    COLORREF m_backgroundColour = 0;
    QImage m_backgroundImage;
    QImage m_scaledBackground;
    int m_gridOn = 1;
    int m_gridRows = kDefaultGridRows;
    int m_gridThickness = 1;
    uint32_t m_gridColour = kDefaultGridColour;
    uint32_t m_centreColour = kDefaultCentreColour;
    double m_cellWidth = kMinGridCell;
    double m_cellHeight = kMinGridCell;
    RECT m_plot{};
    int m_backgroundDirty = 0;
    // The newest background went into a frame only; the plot image still holds an older one.
    int m_plotImageStale = 0;
    // The label panels the last render painted (window coordinates).
    QRegion m_paintedPanels;
    UniqueHBitmap m_windowBitmap;
    UniqueHBitmap m_plotBitmap;
    QImage m_windowImage;
    QImage m_plotImage;
    int m_clientWidth = 0;
    int m_clientHeight = 0;

    AxisPanel m_panels[kPanelCount];

    CBaseLock m_textLock;
    std::vector<std::unique_ptr<WaveTextItem>> m_texts;  // sorted by id

    int m_markersOn = 0;
    int m_markerWidth = kDefaultMarkerWidth;
    uint32_t m_markerColour = kDefaultMarkerColour;
    std::vector<int> m_markers;

    int m_frameCounterOn = 0;
    QString m_counterPrefix;
    QFont m_counterFont;
    COLORREF m_counterColour = 0xFFFFFF;
    int m_counterFlags = 0;

    IWaveWndDrawListener* m_drawListener = nullptr;
    uintptr_t m_drawContext = 0;
    IWaveWndTooltipListener* m_tooltipListener = nullptr;
    uintptr_t m_tooltipContext = 0;

    int m_yWheelZoom = 0;
    int m_yDrag = 0;
    int m_xWheelZoom = 0;
    int m_xDrag = 0;
    QPoint m_dragPoint;
    int m_dragging = 0;
    int m_xFirstMove = 1;
    int m_yFirstMove = 1;
    int m_tooltipShown = 0;
    QPoint m_tooltipPoint{-1, -1};
    QString m_tooltipText;
    QLabel* m_tip = nullptr;  // child window, created by Initialize

    std::atomic<bool> m_repaintPending{false};
    int64_t m_paintCount = 0;
    int64_t m_inPlacePaintCount = 0;
    int64_t m_incrementalPaintCount = 0;
    int m_incrementalFrames = 0;
    // The backing store pixels and plot of the last frame drawn in place (null: none since the
    // last frame drawn elsewhere), and its smooth-curve flag.
    const uchar* m_shownFrameBase = nullptr;
    qsizetype m_shownFrameStride = 0;
    RECT m_shownFramePlot{};
    int m_shownFrameSmooth = 0;
    bool m_listenerDrewWave = false;  // in the last frame: its extent is the listener's own
    WavePaintStageTimes* m_stageTimes = nullptr;
    std::vector<QPointF> m_curve;  // reused between paints
};
