#pragma once

#include <cstdint>
#include <vector>

namespace DynamicLayout {

// 0x00BBGGRR, as the window system stores colours. kNoColor switches a fill off.
using COLORREF = uint32_t;
constexpr COLORREF kNoColor = 1;

// Right and bottom are exclusive. All four 0 means "not yet known" to the layout tree.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    bool operator==(const Rect&) const = default;
    bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    Rect Inflated(int by) const { return {left - by, top - by, right + by, bottom + by}; }
};

// A rectangle with rectangles cut out of it: all the shapes the layout ever builds.
struct Region {
    Rect base;
    std::vector<Rect> holes;

    bool Contains(int x, int y) const {
        if (!base.Contains(x, y)) return false;
        for (const Rect& h : holes) {
            if (h.Contains(x, y)) return false;
        }
        return true;
    }
};

}  // namespace DynamicLayout
