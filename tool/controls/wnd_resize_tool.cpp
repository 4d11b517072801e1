#include "controls/wnd_resize_tool.h"

#include <QFontInfo>

#include "controls/resize_math.h"

CWndResizeTool::CWndResizeTool() = default;
CWndResizeTool::~CWndResizeTool() = default;

void CWndResizeTool::SetCallback(IResizeCallback* callback, uintptr_t context) {
    m_callback = callback;
    m_callbackContext = context;
}

void CWndResizeTool::AttachWindow(QWidget* window) {
    m_entries.clear();
    m_width = window ? window->width() : 0;
    m_height = window ? window->height() : 0;
    if (window) Collect(window);
    m_attached = 1;
    m_keepAspect = 0;
    m_window = window;
}

void CWndResizeTool::Collect(QWidget* parent) {
    for (QObject* child : parent->children()) {
        QWidget* control = qobject_cast<QWidget*>(child);
        if (!control || control->isWindow()) continue;
        ResizeEntry entry;
        entry.control = control;
        const QRect g = control->geometry();
        entry.rect = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        entry.font = control->font();
        entry.fontPixels = QFontInfo(entry.font).pixelSize();
        m_entries.push_back(entry);
        Collect(control);
    }
}

int CWndResizeTool::ResizeTo(int width, int height, double* sx, double* sy) {
    if (sx) *sx = 1.0;
    if (sy) *sy = 1.0;
    if (!m_attached) return 0;
    ResizeFactors f;
    if (!ComputeResizeFactors(m_width, m_height, width, height, m_keepAspect != 0, &f)) return 0;
    for (ResizeEntry& entry : m_entries) {
        QWidget* control = entry.control.data();
        if (!control) continue;
        if (m_callback && !m_callback->CheckMove(control, m_callbackContext)) continue;
        ScaledGeometry g = ScaleRemembered(entry.rect, f.sx, f.sy);
        control->setGeometry(g.x, g.y, g.width, g.height);
        if (m_callback && !m_callback->CheckFont(control, m_callbackContext)) continue;
        if (entry.fontPixels != 0) {
            QFont scaled = entry.font;
            scaled.setPixelSize(ScaleFontHeight(entry.fontPixels, f.m));
            control->setFont(scaled);
        }
    }
    if (m_window) m_window->update();
    if (sx) *sx = f.sx;
    if (sy) *sy = f.sy;
    return 1;
}
