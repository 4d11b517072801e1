#include "rect_util.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxRectTextChars = 31;
constexpr int kRectFieldCount = 4;

int32_t Scale(int32_t value, double factor) {
    return static_cast<int32_t>(value * factor);
}

// Reads one decimal integer (optional blanks and sign) and moves past it; false when there is
// no digit.
bool ReadInt(const char*& cursor, long& value) {
    char* end = nullptr;
    value = std::strtol(cursor, &end, 10);
    if (end == cursor) return false;
    cursor = end;
    return true;
}

}  // namespace

void SetRectXY(RECT* rect, int x, int y, int width, int height) {
    if (rect == nullptr) return;
    rect->left = x;
    rect->top = y;
    rect->right = x + width;
    rect->bottom = y + height;
}

void SetPointXY(POINT* point, int x, int y) {
    if (point == nullptr) return;
    point->x = x;
    point->y = y;
}

int IsRectEqual(const RECT* a, const RECT* b) {
    if (a == nullptr || b == nullptr) return 0;
    return (a->left == b->left && a->top == b->top && a->right == b->right &&
            a->bottom == b->bottom)
               ? 1
               : 0;
}

void BoundRect(RECT* out, const RECT* a, const RECT* b) {
    if (out == nullptr || a == nullptr || b == nullptr) return;
    RECT result{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                std::min(a->bottom, b->bottom)};
    if (result.left > result.right) result.left = result.right;
    if (result.top > result.bottom) result.top = result.bottom;
    *out = result;
}

void GetRelativeRect(RECT* out, const RECT* rect) {
    if (out == nullptr || rect == nullptr) return;
    const RECT result{0, 0, rect->right - rect->left, rect->bottom - rect->top};
    *out = result;
}

void ScaleRect(RECT* rect, double xScale, double yScale) {
    if (rect == nullptr) return;
    rect->left = Scale(rect->left, xScale);
    rect->right = Scale(rect->right, xScale);
    rect->top = Scale(rect->top, yScale);
    rect->bottom = Scale(rect->bottom, yScale);
}

void InflatRect(RECT* rect, int dx, int dy) {
    if (rect == nullptr) return;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
}

int ParseRectFromString(const char* text, RECT* rect) {
    if (rect == nullptr) return 0;
    *rect = RECT{0, 0, 0, 0};
    if (text == nullptr || std::strlen(text) > static_cast<size_t>(kMaxRectTextChars)) return 0;
    long values[kRectFieldCount] = {};
    const char* cursor = text;
    for (int i = 0; i < kRectFieldCount; ++i) {
        if (i > 0) {
            if (*cursor != ',') return 0;
            ++cursor;
        }
        if (!ReadInt(cursor, values[i])) return 0;
    }
    SetRectXY(rect, static_cast<int>(values[0]), static_cast<int>(values[1]),
              static_cast<int>(values[2]), static_cast<int>(values[3]));
    return 1;
}

void GetTextRectByDirect(const RECT* rect, int width, int height, uint32_t flags, RECT* out) {
    if (rect == nullptr || out == nullptr) return;
    const int areaWidth = rect->right - rect->left;
    const int areaHeight = rect->bottom - rect->top;
    int x = rect->left;
    if (flags & kTextRectCenterX) {
        x += (areaWidth - width) / 2;
    } else if (flags & kTextRectRight) {
        x = rect->right - width;
    }
    int y = rect->top;
    if (flags & kTextRectCenterY) {
        y += (areaHeight - height) / 2;
    } else if (flags & kTextRectBottom) {
        y = rect->bottom - height;
    }
    RECT box;
    SetRectXY(&box, x, y, width, height);
    BoundRect(out, &box, rect);
}
