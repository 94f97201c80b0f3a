#include "ui/window_placement.h"

#include <algorithm>

QPoint PlaceBesideMain(QSize size, const QRect& main, const QRect& spare, const QRect& screen,
                       int gap) {
    const int right = main.right() + 1 + gap;
    if (right + size.width() <= screen.right() + 1) return {right, main.top()};
    const int left = main.left() - gap - size.width();
    if (left >= screen.left()) return {left, main.top()};
    const int below = main.bottom() + 1 + gap;
    if (below + size.height() <= screen.bottom() + 1)
        return {std::max(screen.left(), std::min(main.left(), screen.right() + 1 - size.width())),
                below};
    const int x = std::max(spare.left(), screen.right() + 1 - size.width());
    const int y = std::max(screen.top(), std::min(main.top(), spare.bottom() + 1 - size.height()));
    return {x, y};
}
