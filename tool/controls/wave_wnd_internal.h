// The plot window's per-wave and per-text records and small conversions, shared by its source
// files only.
#pragma once

#include <QFont>
#include <QImage>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/coordinate.h"
#include "controls/wave_buffer.h"
#include "controls/wave_wnd.h"
#include "core/platform_types.h"
#include "core/ptr_array_ctrl.h"
#include "draw/packed_point.h"
#include "platform/gdiplus_text.h"

struct WaveSlot {
    WaveSlot();
    // The pen of a visible wave from its colour and width (flat caps, mitred joins, as a plain pen
    // of the given width draws); none when invisible.
    void MakePen() {
        hasPen = visible != 0;
        if (!hasPen) return;
        pen =
            QPen(WaveColourToQColor(colour), lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    }

    int visible = 1;
    int lineWidth = kDefaultWaveLineWidth;
    uint32_t colour = 0;  // 0xAABBGGRR
    CWaveBuffer buffer;
    CPtrArrayCtrl points;
    // What the last frame drawn in place showed of this wave, to find where the next one differs.
    std::vector<PackedPoint> shownPoints;
    uint32_t shownColour = 0;
    int shownLineWidth = 0;
    int shownReach = 0;  // how far its stroke reached beyond its points
    bool shown = false;
    int tooltipOn = 1;
    QString tooltipFormat;
    QPen pen;
    bool hasPen = false;
};

// A text item drawn once into an image of its own: the pixels it covers, and where they lie
// from the layout rectangle's top-left.
struct RenderedText {
    QImage image;  // null: the text covers nothing
    QPoint offset;
};

struct WaveTextItem {
    uint64_t id = 0;
    QString text;
    RECT rect{};  // window coordinates; empty: the whole plot
    int size = 0;
    QFont font;
    GpStringFormat format;
    int status = 0;
    uint32_t colour = 0xFF000000;  // ARGB
    // For the layout rectangle (plot coordinates) it was drawn for; null until drawn.
    std::unique_ptr<RenderedText> rendered;
    RECT renderedLayout{};
};

inline QRect ToQRect(const RECT& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// A label's text flags as Qt alignment flags (single line).
inline int LabelFlagsToQt(int flags) {
    int qt = Qt::TextSingleLine;
    qt |= (flags & kLabelRight)    ? Qt::AlignRight
          : (flags & kLabelCentre) ? Qt::AlignHCenter
                                   : Qt::AlignLeft;
    qt |= (flags & kLabelBottom)    ? Qt::AlignBottom
          : (flags & kLabelVCentre) ? Qt::AlignVCenter
                                    : Qt::AlignTop;
    return qt;
}
