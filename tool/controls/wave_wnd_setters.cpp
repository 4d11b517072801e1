// CWaveWnd: the configuration setters (waves, ranges, label panels, appearance, listeners).
#include <algorithm>

#include "controls/wave_wnd.h"
#include "controls/wave_wnd_internal.h"
#include "draw/buffer_copy.h"

// --- Waves ---

void CWaveWnd::SetWaveCount(int count) {
    m_waveCount = std::clamp(count, 1, kMaxWaves);
    for (int i = 0; i < kMaxWaves; ++i) {
        WaveSlot& slot = m_slots[i];
        slot.visible = i < m_waveCount ? 1 : 0;
        slot.MakePen();
    }
    update();
}

void CWaveWnd::SetWaveStyle(int index, uint32_t waveColour, int lineWidth) {
    if (index < 0 || index >= m_waveCount) return;
    WaveSlot& slot = m_slots[index];
    if (lineWidth == slot.lineWidth && waveColour == slot.colour) return;
    if (lineWidth >= 0) slot.lineWidth = lineWidth;
    slot.colour = waveColour;
    slot.MakePen();
    update();
}

void CWaveWnd::SetWaveVisible(int index, int visible) {
    if (index < 0 || index >= m_waveCount) return;
    m_slots[index].visible = visible ? 1 : 0;
    update();
}

int CWaveWnd::IsWaveVisible(int index) const {
    return index >= 0 && index < kMaxWaves ? m_slots[index].visible : 0;
}

uint32_t CWaveWnd::GetWaveColour(int index) const {
    return index >= 0 && index < kMaxWaves ? m_slots[index].colour : 0;
}

int CWaveWnd::GetWaveLineWidth(int index) const {
    return index >= 0 && index < kMaxWaves ? m_slots[index].lineWidth : 0;
}

bool CWaveWnd::SetWaveTooltip(int index, int enabled, const QString& format) {
    if (index < 0 || index >= kMaxWaves) return false;
    if (!IsSampleValueFormat(format.toStdU16String())) return false;
    m_slots[index].tooltipOn = enabled ? 1 : 0;
    m_slots[index].tooltipFormat = format;
    return true;
}

QString CWaveWnd::GetWaveTooltipFormat(int index) const {
    return index >= 0 && index < kMaxWaves ? m_slots[index].tooltipFormat : QString();
}

CWaveBuffer* CWaveWnd::GetWaveBuffer(int index) {
    return index >= 0 && index < kMaxWaves ? &m_slots[index].buffer : nullptr;
}

CPtrArrayCtrl* CWaveWnd::GetWavePoints(int index) {
    return index >= 0 && index < kMaxWaves ? &m_slots[index].points : nullptr;
}

void CWaveWnd::SetDoubleSamples() {
    for (int i = 0; i < m_waveCount; ++i) m_slots[i].buffer.SetSampleType(WaveSampleType::Double);
}

void CWaveWnd::SetWholeFramesOnly(int flag) {
    for (int i = 0; i < m_waveCount; ++i) m_slots[i].buffer.SetWholeFramesOnly(flag);
}

void CWaveWnd::SetWaveLength(int n) {
    m_waveLength = std::max(1, n);
    m_xZoom = 1.0;
    m_xOffset = 0;
    for (int i = 0; i < m_waveCount; ++i) {
        m_slots[i].buffer.SetFrameLength(m_waveLength);
        m_slots[i].buffer.SetHistoryFrames(1);
    }
    if (m_xFollowsLength) {
        m_xFirst = 0.0;
        m_xLast = m_waveLength - 1;
        for (WavePanel p : {kPanelTop, kPanelBottom}) {
            CCoordinate& c = m_panels[p].coordinate;
            c.rangeMin = 0.0;
            c.rangeMax = m_waveLength - 1;
            c.wrapLow = 0.0;
            c.wrapHigh = m_waveLength - 1;
            c.wrapPeriod = m_waveLength;
            m_panels[p].dirty = 1;
        }
    }
    update();
}

void CWaveWnd::ClearData() {
    for (int i = 0; i < m_waveCount; ++i) m_slots[i].buffer.ClearSamples();
    update();
}

void CWaveWnd::SetHistoryFramesOfWaves(int frames) {
    for (int i = 0; i < m_waveCount; ++i) m_slots[i].buffer.SetHistoryFrames(frames);
}

// --- Ranges ---

void CWaveWnd::SetXRange(double first, double last, double wrapPeriod) {
    m_xFollowsLength = 0;
    if (m_xMirrored) std::swap(first, last);
    m_xFirst = first;
    m_xLast = last;
    m_xZoom = 1.0;
    m_xOffset = 0;
    SetHistoryFramesOfWaves(1);
    for (WavePanel p : {kPanelTop, kPanelBottom}) {
        CCoordinate& c = m_panels[p].coordinate;
        c.rangeMin = first;
        c.rangeMax = last;
        c.wrapLow = first;
        c.wrapHigh = last;
        c.wrapPeriod = wrapPeriod;
        m_panels[p].dirty = 1;
    }
    update();
}

void CWaveWnd::SetYRange(double minimum, double maximum) {
    m_yFullMin = m_yViewMin = minimum;
    m_yFullMax = m_yViewMax = maximum;
    if (m_yLabelsFollowRange) {
        m_yLabelMin = minimum;
        m_yLabelMax = maximum;
        SetYPanelsRange(minimum, maximum);
    }
    update();
}

void CWaveWnd::SetYPanelsRange(double minimum, double maximum) {
    for (WavePanel p : {kPanelLeft, kPanelRight}) {
        m_panels[p].coordinate.rangeMin = minimum;
        m_panels[p].coordinate.rangeMax = maximum;
        m_panels[p].dirty = 1;
    }
}

void CWaveWnd::SetXPanelsRange(double minimum, double maximum) {
    for (WavePanel p : {kPanelTop, kPanelBottom}) {
        m_panels[p].coordinate.rangeMin = minimum;
        m_panels[p].coordinate.rangeMax = maximum;
        m_panels[p].dirty = 1;
    }
}

// --- Label panels ---

void CWaveWnd::SetXAxisFont(int pointSize) {
    for (WavePanel p : {kPanelTop, kPanelBottom}) {
        m_panels[p].coordinate.SetLabelStyle(pointSize, RGB(255, 255, 255), 0);
        m_panels[p].dirty = 1;
    }
    update();
}

void CWaveWnd::SetYAxisFont(int pointSize, int decimals) {
    for (WavePanel p : {kPanelLeft, kPanelRight}) {
        m_panels[p].coordinate.SetLabelStyle(pointSize, RGB(255, 255, 255), decimals);
        m_panels[p].dirty = 1;
    }
    update();
}

void CWaveWnd::ShowAxisPanel(WavePanel panel, int shown, int thickness, const RECT* margins) {
    if (panel < 0 || panel >= kPanelCount) return;
    AxisPanelConfig& config = m_panels[panel].config;
    config.shown = shown ? 1 : 0;
    config.thickness = std::max(0, thickness);
    config.margins = margins != nullptr ? *margins : RECT{0, 0, 0, 0};
    m_panels[panel].dirty = 1;
    RunLayout();
    update();
}

void CWaveWnd::SetPanelLabelCount(WavePanel panel, int count) {
    if (panel < 0 || panel >= kPanelCount) return;
    m_panels[panel].coordinate.count = count;
    MarkPanelDirty(panel);
}

void CWaveWnd::SetPanelAlignment(WavePanel panel, int alignment) {
    if (panel < 0 || panel >= kPanelCount) return;
    m_panels[panel].coordinate.alignment = alignment;
    MarkPanelDirty(panel);
}

void CWaveWnd::SetPanelRange(WavePanel panel, double minimum, double maximum) {
    if (panel < 0 || panel >= kPanelCount) return;
    m_panels[panel].coordinate.rangeMin = minimum;
    m_panels[panel].coordinate.rangeMax = maximum;
    MarkPanelDirty(panel);
}

CCoordinate* CWaveWnd::GetCoordinate(WavePanel panel) {
    return panel >= 0 && panel < kPanelCount ? &m_panels[panel].coordinate : nullptr;
}

void CWaveWnd::MarkPanelDirty(WavePanel panel) {
    if (panel < 0 || panel >= kPanelCount) return;
    m_panels[panel].dirty = 1;
    update();
}

void CWaveWnd::SetXLabelCount(int count) {
    SetPanelLabelCount(kPanelTop, count);
    SetPanelLabelCount(kPanelBottom, count);
}

void CWaveWnd::SetYLabelCount(int count) {
    SetPanelLabelCount(kPanelLeft, count);
    SetPanelLabelCount(kPanelRight, count);
}

RECT CWaveWnd::GetPanelArea(WavePanel panel) const {
    return panel >= 0 && panel < kPanelCount ? m_panels[panel].area : RECT{0, 0, 0, 0};
}

// --- Appearance ---

void CWaveWnd::SetOuterColour(uint32_t pixel) {
    m_outerColour = pixel;
    if (m_windowBitmap) {
        const RECT whole{0, 0, m_clientWidth, m_clientHeight};
        DrawColorOnBuffer(m_outerColour, m_windowBitmap->pixels, whole, m_windowBitmap->stride);
    }
    for (AxisPanel& panel : m_panels) panel.dirty = 1;
    update();
}

void CWaveWnd::SetBackgroundImage(const QImage& image) {
    m_backgroundImage = image;
    m_scaledBackground = QImage();
    const int width = m_plot.right - m_plot.left;
    const int height = m_plot.bottom - m_plot.top;
    if (!image.isNull() && width > 0 && height > 0)
        m_scaledBackground =
            image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void CWaveWnd::SetGrid(int on) {
    m_gridOn = on;
    RunLayout();
}

void CWaveWnd::SetGridRows(int rows) {
    m_gridRows = rows;
    RunLayout();
}

void CWaveWnd::SetBackgroundDirty() {
    m_backgroundDirty = 1;
    // The background lies under the plot alone.
    update(ToQRect(m_plot));
}

void CWaveWnd::SetMarkerStyle(int width, uint32_t pixel) {
    m_markerWidth = std::max(0, width);
    m_markerColour = pixel;
}

void CWaveWnd::AddMarker(int position) {
    m_markers.push_back(position);
}

void CWaveWnd::ClearMarkers() {
    m_markers.clear();
}

void CWaveWnd::SetFrameCounterStyle(const QString& prefix, const QFont& font, COLORREF colour,
                                    int flags) {
    m_counterPrefix = prefix;
    m_counterFont = font;
    m_counterColour = colour;
    m_counterFlags = flags;
}

void CWaveWnd::SetDrawListener(IWaveWndDrawListener* listener, uintptr_t context) {
    m_drawListener = listener;
    m_drawContext = context;
}

void CWaveWnd::SetTooltipListener(IWaveWndTooltipListener* listener, uintptr_t context) {
    m_tooltipListener = listener;
    m_tooltipContext = context;
}
