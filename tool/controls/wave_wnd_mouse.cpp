// CWaveWnd: what happens under the mouse (pan, zoom, view reset, value tooltips).
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>

#include "controls/wave_wnd.h"
#include "controls/wave_wnd_internal.h"

namespace {

// The tip window: frameless, on top, never activated; a plain window type, since headless
// platforms refuse to raise the tooltip type.
constexpr Qt::WindowFlags kTipWindowFlags =
    Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
    Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
// The tip stands this far right of and below the cursor.
constexpr int kTipCursorOffset = 16;

bool Inside(const RECT& r, const QPoint& p) {
    return p.x() >= r.left && p.x() < r.right && p.y() >= r.top && p.y() < r.bottom;
}

}  // namespace

bool CWaveWnd::AnyInteraction() const {
    return m_yWheelZoom || m_yDrag || m_xWheelZoom || m_xDrag;
}

bool CWaveWnd::AnyVisibleWave() const {
    for (int i = 0; i < m_waveCount; ++i)
        if (m_slots[i].visible) return true;
    return false;
}

bool CWaveWnd::AnyTooltipWave() const {
    for (int i = 0; i < m_waveCount; ++i)
        if (m_slots[i].tooltipOn) return true;
    return false;
}

void CWaveWnd::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !AnyInteraction()) return;
    m_dragPoint = event->position().toPoint();
    m_dragging = 1;
    m_xFirstMove = 1;
    m_yFirstMove = 1;
}

void CWaveWnd::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !AnyInteraction()) return;
    m_dragging = 0;
    m_xFirstMove = 0;
    m_yFirstMove = 0;
}

void CWaveWnd::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    if (m_dragging && AnyVisibleWave()) {
        if (m_yDrag) {
            const int dy = point.y() - m_dragPoint.y();
            if (std::abs(dy) > (m_yFirstMove ? kDragFirstMovePixels : kDragStepPixels) &&
                DragYRange(dy, m_plot.bottom - m_plot.top, &m_yViewMin, &m_yViewMax)) {
                m_yFirstMove = 0;
                m_dragPoint.setY(point.y());
                SetYPanelsRange(m_yViewMin, m_yViewMax);
                update();
            }
        }
        if (m_xDrag) {
            const int dx = point.x() - m_dragPoint.x();
            const int shift = std::abs(dx) > (m_xFirstMove ? kDragFirstMovePixels : kDragStepPixels)
                                  ? DragXShift(dx, m_waveLength, m_xZoom, m_clientWidth)
                                  : 0;
            if (shift != 0) {
                m_xFirstMove = 0;
                m_dragPoint.setX(point.x());
                const double units = shift * std::fabs(m_xLast - m_xFirst) / m_waveLength;
                for (WavePanel p : {kPanelTop, kPanelBottom}) {
                    m_panels[p].coordinate.rangeMin -= units;
                    m_panels[p].coordinate.rangeMax -= units;
                    m_panels[p].dirty = 1;
                }
                m_xOffset = DraggedXOffset(m_xOffset, shift, m_waveLength);
                update();
            }
        }
        return;
    }
    if (!AnyTooltipWave()) return;
    if (Inside(m_plot, point)) {
        if (point != m_tooltipPoint) {
            m_tooltipPoint = point;
            RefreshTooltip();
        }
    } else {
        HideTooltip();
    }
}

void CWaveWnd::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (AnyTooltipWave() && m_tooltipShown) HideTooltip();
}

void CWaveWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton || !AnyInteraction()) return;
    ResetView();
}

void CWaveWnd::ResetView() {
    m_xZoom = 1.0;
    SetYPanelsRange(m_yLabelMin, m_yLabelMax);
    m_yViewMin = m_yFullMin;
    m_yViewMax = m_yFullMax;
    SetXPanelsRange(m_xFirst, m_xLast);
    m_xOffset = 0;
    SetHistoryFramesOfWaves(1);
    for (AxisPanel& panel : m_panels) panel.dirty = 1;
    update();
}

void CWaveWnd::wheelEvent(QWheelEvent* event) {
    if (!m_xWheelZoom && !m_yWheelZoom) {
        QWidget::wheelEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!Inside(m_plot, point) || !AnyVisibleWave()) {
        QWidget::wheelEvent(event);
        return;
    }
    const int delta = event->angleDelta().y();
    const bool controlOnly = event->modifiers() == Qt::ControlModifier;
    bool changed = false;
    if (m_xWheelZoom && controlOnly) {
        XZoomStep step;
        if (WheelZoomX(point.x() - m_plot.left, m_plot.right - m_plot.left, m_waveLength, delta,
                       m_xZoom, m_xOffset, &step)) {
            m_xZoom = step.zoom;
            m_xOffset = step.offset;
            SetHistoryFramesOfWaves(int(std::ceil(1.0 / m_xZoom)));
            const double minimum =
                m_xFirst - step.shift * std::fabs(m_xLast - m_xFirst) / m_waveLength;
            SetXPanelsRange(minimum, minimum + (m_xLast - m_xFirst) / m_xZoom);
            changed = true;
        }
    }
    if (m_yWheelZoom && !controlOnly &&
        WheelZoomY(point.y(), m_plot, delta, m_yFullMin, m_yFullMax, &m_yViewMin, &m_yViewMax)) {
        SetYPanelsRange(m_yViewMin, m_yViewMax);
        changed = true;
    }
    if (changed) update();
    QWidget::wheelEvent(event);
}

void CWaveWnd::RefreshTooltip() {
    int px = m_tooltipPoint.x() - m_plot.left;
    const int py = m_tooltipPoint.y() - m_plot.top;
    if (m_xMirrored) px = m_plot.right - m_tooltipPoint.x();
    const WaveView view = CurrentView();
    double best = m_clientHeight;
    int chosen = -1;
    int chosenPosition = 0;
    double chosenValue = 0.0;
    for (int i = 0; i < m_waveCount; ++i) {
        WaveSlot& slot = m_slots[i];
        if (!slot.visible || !slot.tooltipOn) continue;
        int position = -1;
        double value = 0.0;
        double row = 0.0;
        if (!slot.buffer.ValueAtColumn(view, px, &position, nullptr, &value, &row)) continue;
        if (position < 0) continue;  // the column answered, but no sample was scanned
        if (std::fabs(py - row) < best) {
            best = std::fabs(py - row);
            chosen = i;
            chosenPosition = position;
            chosenValue = value;
        }
    }
    if (chosen < 0) return;
    const int sample = WrapIndex(chosenPosition, m_waveLength);
    QString text;
    if (m_tooltipListener != nullptr) {
        text = m_tooltipListener->GetTooltipText(chosen, sample, m_xOffset, m_waveLength,
                                                 chosenValue, m_xFirst, m_xLast, POINT{px, py},
                                                 &m_plot, m_tooltipContext);
    } else {
        std::u16string formatted;
        FormatSampleValue(m_slots[chosen].tooltipFormat.toStdU16String(), sample, chosenValue,
                          &formatted);
        text = QString::fromStdU16String(formatted);
    }
    m_tooltipText = text;
    m_tooltipShown = 1;
    if (m_tip == nullptr) return;
    m_tip->setText(text);
    m_tip->adjustSize();
    m_tip->move(mapToGlobal(m_tooltipPoint) + QPoint(kTipCursorOffset, kTipCursorOffset));
    m_tip->show();
}

void CWaveWnd::CreateTip() {
    if (m_tip != nullptr) return;
    m_tip = new QLabel(this, kTipWindowFlags);
    m_tip->setAttribute(Qt::WA_ShowWithoutActivating);
    m_tip->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_tip->setForegroundRole(QPalette::ToolTipText);
    m_tip->setBackgroundRole(QPalette::ToolTipBase);
    m_tip->setAutoFillBackground(true);
    m_tip->setMargin(2);
}

void CWaveWnd::HideTooltip() {
    if (m_tip != nullptr) m_tip->hide();
    m_tooltipShown = 0;
}
