#pragma once

#include <functional>
#include <memory>

#include "layout/layout_geometry.h"

// What the layout engine needs of the window system, and nothing more. The engine never
// owns a window; whoever implements these keeps them alive longer than the layout.
namespace DynamicLayout {

// One child window that the layout moves.
class LayoutControlWindow {
public:
    virtual ~LayoutControlWindow() = default;
    // The window's rectangle in its parent's client coordinates.
    virtual Rect WindowRect() const = 0;
    // Moves and resizes the window and has it repaint.
    virtual void MoveWindow(const Rect& r) = 0;
    virtual void Invalidate(bool erase) = 0;
    virtual void Show(bool show) = 0;
    virtual bool IsVisible() const = 0;
};

enum class LayoutCursor { Arrow, SizeWE, SizeNS };

// Drawing straight onto the laid-out window, outside any paint cycle.
class LayoutSurface {
public:
    virtual ~LayoutSurface() = default;
    virtual void FillRegion(const Region& region, COLORREF color) = 0;
    // A one-pixel ring on the outermost pixels of r.
    virtual void Draw3dRect(const Rect& r, COLORREF topLeft, COLORREF bottomRight) = 0;
    // A line whose end point is not drawn, with an inverting pen: drawing the same line
    // twice restores what was under it.
    virtual void InvertLine(int x0, int y0, int x1, int y1, COLORREF color) = 0;
};

// The laid-out window. All calls come from its own thread, except PostToWindowThread.
class LayoutHostWindow {
public:
    virtual ~LayoutHostWindow() = default;
    virtual Rect ClientRect() const = 0;
    // Null when there is no such child.
    virtual LayoutControlWindow* ChildById(unsigned id) = 0;
    virtual void Invalidate(bool erase) = 0;
    virtual void InvalidateRegion(const Region& region, bool erase) = 0;
    // The drawing surface; dropping it releases it.
    virtual std::unique_ptr<LayoutSurface> GetDC() = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual LayoutCursor GetCursor() const = 0;
    virtual void SetCursor(LayoutCursor cursor) = 0;
    // Runs `work` on the window's thread later; callable from any thread. Dropped when the
    // window is gone by then.
    virtual void PostToWindowThread(std::function<void()> work) = 0;
};

}  // namespace DynamicLayout
