#include "controls/static_text_layout.h"

#include <algorithm>
#include <numeric>

std::vector<double> SpreadLineTops(const std::vector<double>& heights, double top,
                                   double areaHeight, int spacing, TextVAlign align) {
    std::vector<double> tops;
    if (heights.empty()) return tops;
    const double total = std::accumulate(heights.begin(), heights.end(), 0.0);
    const double count = static_cast<double>(heights.size());
    const double gap = spacing > 0 ? spacing : std::max(0.0, (areaHeight - total) / (count + 1));
    double y = top;
    switch (align) {
        case TextVAlign::Near:
            break;
        case TextVAlign::Centre:
            y = top + gap;
            break;
        case TextVAlign::Far:
            y = top + areaHeight - total - (count - 1) * gap;
            break;
    }
    for (double h : heights) {
        tops.push_back(y);
        y += h + gap;
    }
    return tops;
}
