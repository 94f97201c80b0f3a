#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window of frame size `size` opens by the main window's frame `main` on `screen`
// so that it hides none of the main window's controls: right of it, else left of it, `gap`
// apart, where the screen has room; else below it; else over `spare`, the part of the main
// window that holds no control, as far to the right as the screen allows and level with
// the main window's top, or higher where that keeps it above the spare part's foot.
QPoint PlaceBesideMain(QSize size, const QRect& main, const QRect& spare, const QRect& screen,
                       int gap);
