// CWndResizeTool: makes a window resizable without per-control layout rules. AttachWindow
// remembers the window's client size and the rectangle and font of every descendant control;
// each ResizeTo then moves every control and scales its font by the ratio between the new and
// the remembered size, always from the remembered values (no accumulated rounding).
//
// Until a real size is remembered (a window attached while still 0 x 0), ResizeTo refuses to
// scale (0, factors 1.0); attach again once the window is laid out. Controls destroyed after
// attaching are skipped. Window thread only.
#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/platform_types.h"

// An owner's hook: 0 from CheckMove leaves the control where it is, 0 from CheckFont keeps its
// font.
class IResizeCallback {
public:
    virtual ~IResizeCallback() = default;
    virtual int CheckMove(QWidget* control, uintptr_t context) = 0;
    virtual int CheckFont(QWidget* control, uintptr_t context) = 0;
};

class CWndResizeTool {
public:
    CWndResizeTool();
    virtual ~CWndResizeTool();
    CWndResizeTool(const CWndResizeTool&) = delete;
    CWndResizeTool& operator=(const CWndResizeTool&) = delete;

    void SetCallback(IResizeCallback* callback, uintptr_t context);
    // Nonzero: both directions use the smaller ratio. AttachWindow resets it to 0.
    void SetKeepAspect(int keep) { m_keepAspect = keep; }

    // Forgets earlier entries, remembers the window's client size and collects its descendants
    // depth first in child order (rectangle in the parent's coordinates, font pixel height).
    void AttachWindow(QWidget* window);

    // Moves and rescales every remembered control for a client size of width x height. The out
    // factors (either may be null) are always written: 1.0 when nothing was scaled. 1 when
    // scaled; 0 before AttachWindow or while no real size is remembered.
    int ResizeTo(int width, int height, double* sx, double* sy);

    int IsAttached() const { return m_attached; }
    int EntryCount() const { return static_cast<int>(m_entries.size()); }

private:
    struct ResizeEntry {
        QPointer<QWidget> control;
        RECT rect{};
        int fontPixels = 0;  // 0: no font remembered
        QFont font;
    };
    void Collect(QWidget* parent);

    IResizeCallback* m_callback = nullptr;
    uintptr_t m_callbackContext = 0;
    int m_attached = 0;
    int m_keepAspect = 0;
    QPointer<QWidget> m_window;
    std::vector<ResizeEntry> m_entries;
    int m_width = 0;
    int m_height = 0;
};
