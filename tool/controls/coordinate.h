// CCoordinate: the row or column of numeric labels along one edge of the plot window, and
// DrawPlotGrid, which paints the plot's grid and centre cross into a pixel buffer.
//
// The coordinate only computes texts and rectangles (LayoutLabels); the window layer draws them
// with its own text drawing (single line, end ellipsis, the flags given). No state shared
// between objects; one thread at a time per object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/platform_types.h"

// Text flags of a label (the platform's formatted-text flags, values kept).
constexpr int kLabelLeft = 0x0;
constexpr int kLabelCentre = 0x1;
constexpr int kLabelRight = 0x2;
constexpr int kLabelTop = 0x0;
constexpr int kLabelVCentre = 0x4;
constexpr int kLabelBottom = 0x8;
constexpr int kLabelSingleLine = 0x20;
constexpr int kLabelEndEllipsis = 0x8000;
// A custom label's flags that mean "as a computed label would have".
constexpr int kLabelAutomaticFlags = -1;

// Where the labels sit across the panel.
enum LabelAlignment : int32_t {
    kLabelAlignNear = 0,    // top of a horizontal panel, left of a vertical one
    kLabelAlignCentre = 1,  // centred across the panel
    kLabelAlignFar = 2,     // bottom, right
};

// The label font's face and its default size in points.
inline const char16_t* const kLabelFontFace = u"黑体";
constexpr int kDefaultLabelPointSize = 8;

// Automatic decimals stop at this many digits.
constexpr int kMaxAutoDecimals = 10;
// Values this close outside the wrap interval count as inside it.
constexpr double kWrapTolerance = 1e-16;

// One label to draw: its text, rectangle (window image coordinates) and text flags.
struct CoordinateLabel {
    std::u16string text;
    RECT rect{};
    int flags = 0;
};

class CCoordinate {
public:
    CCoordinate() = default;
    virtual ~CCoordinate() = default;
    CCoordinate(const CCoordinate&) = delete;
    CCoordinate& operator=(const CCoordinate&) = delete;

    // Font size in points (values below 1 keep no font: the labels are not drawn), colour and
    // decimals (negative: automatic); the offset goes back to 0, prefix and suffix are emptied.
    void SetLabelStyle(int pointSize, COLORREF colour, int decimals);

    // Appends a fixed text for label `index`; an earlier entry for the same index keeps
    // precedence. Flags kLabelAutomaticFlags: laid out like a computed label.
    void AddCustomLabel(int index, const std::u16string& text, int flags = kLabelAutomaticFlags);
    void ClearCustomLabels();

    // Decimals used for a step between labels: `decimals` when >= 0, else the fewest (up to
    // kMaxAutoDecimals) that make |step x 10^j| at least 1.
    static int DecimalsForStep(double step, int decimals);
    // The automatic text of label i (0 <= i < n): the value (top label = maximum on vertical
    // panels), rounded to its decimals, wrapped, formatted alone and put between prefix and
    // suffix (a '%' in them is plain text). Custom labels are not consulted.
    std::u16string ComputedText(int index) const;
    // The value label i shows, after rounding and wrapping.
    double LabelValue(int index) const;

    // Every label's text, rectangle and flags (single line and end ellipsis included). Nothing
    // for a count below 1; a count of 1 gives one label over the whole rectangle.
    std::vector<CoordinateLabel> LayoutLabels() const;

    // Fields the plot window writes directly.
    int32_t vertical = 0;
    int32_t alignment = kLabelAlignNear;
    int32_t count = 5;
    double rangeMin = -32768.0;
    double rangeMax = 32768.0;
    double wrapLow = 0.0;
    double wrapHigh = 0.0;
    double wrapPeriod = -1.0;
    RECT rect{};
    int32_t pointSize = kDefaultLabelPointSize;
    COLORREF textColour = 0x000000;
    int32_t offset = 0;
    int32_t decimals = -1;
    std::u16string prefix;
    std::u16string suffix;

    struct CustomLabel {
        int index;
        std::u16string text;
        int flags;
    };
    const std::vector<CustomLabel>& CustomLabels() const { return m_custom; }

private:
    double Step() const;
    const CustomLabel* FindCustom(int index) const;

    std::vector<CustomLabel> m_custom;
};

// Paints grid lines every cellWidth x cellHeight pixels (centred in `rect`, the first and last
// on its edges when the cells fit exactly) and the centre cross, each `thickness` pixels thick,
// into a 32-bit buffer of width x height pixels, rows of `stride` bytes. Colours are pixels
// 0xAARRGGBB. Cell sizes that are not positive and finite draw no grid lines in that direction
// (the centre cross is still drawn); an empty rectangle or buffer draws nothing.
void DrawPlotGrid(uint32_t* buffer, int width, int height, int stride, const RECT& rect,
                  double cellWidth, double cellHeight, int thickness, uint32_t gridColour,
                  uint32_t centreColour);
