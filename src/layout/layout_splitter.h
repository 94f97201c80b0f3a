#pragma once

#include <memory>

#include "layout/layout_element.h"

// The draggable bar in the gap between a panel's two children. Owned by its panel; runs
// on the window's thread. Idle, or dragging while m_pDragDC is held and the mouse captured.
namespace DynamicLayout {

enum SplitSide : int { SPLIT_TOP = 1, SPLIT_BOTTOM = 2, SPLIT_LEFT = 4, SPLIT_RIGHT = 8 };

class CLayoutSplitter {
public:
    // The panel's splitter, made on first call; null when the panel does not qualify
    // (two children side by side or stacked, whose facing edges follow the same parent edge).
    static CLayoutSplitter* SetUp(CLayoutPanel& panel);

    // Each returns nonzero when it took the mouse event.
    int OnHover(int x, int y);
    int OnPress(int x, int y);
    int OnRelease(int x, int y);

    // The strip of the gap along m_pSecond's edge, one pixel short of it at each end.
    Rect BarRect();

    CLayoutBase* m_pFirst = nullptr;   // on the far side of the bar
    CLayoutBase* m_pSecond = nullptr;  // the bar lies along its edge
    int m_nSide = 0;
    LayoutHostWindow* m_pParentWnd = nullptr;  // not owned
    int m_nThickness = 4;
    COLORREF m_crLine = kNoColor;  // the panel's background at set-up; kNoColor: mid grey
    LayoutCursor m_hOldCursor = LayoutCursor::Arrow;
    std::unique_ptr<LayoutSurface> m_pDragDC;  // held exactly while dragging
    int m_nLinePos = -1;                       // where the band is drawn; -1: nowhere
    int m_nLineX = 0;
    int m_nLineY = 0;
    int m_nDragStart = 0;
    int m_nLineLength = 0;
    int m_nDragMax = 0;
    int m_nDragMin = 0;

private:
    bool Vertical() const { return m_nSide == SPLIT_TOP || m_nSide == SPLIT_BOTTOM; }
    int Coordinate(int x, int y) const { return Vertical() ? y : x; }
    LayoutCursor ResizeCursor() const;
    void DrawBand(int x, int y);
    void EraseBand();
    void DrawBandAt(int pos);
};

}  // namespace DynamicLayout
