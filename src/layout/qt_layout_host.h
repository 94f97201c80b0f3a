#pragma once

#include <QWidget>
#include <map>
#include <memory>

#include "layout/dynamic_layout.h"
#include "layout/layout_window.h"

class QPainter;

namespace DynamicLayout {

// A Qt widget as a window the layout engine can move.
class QtLayoutControl : public LayoutControlWindow {
public:
    explicit QtLayoutControl(QWidget& widget) : m_widget(widget) {}
    Rect WindowRect() const override;
    void MoveWindow(const Rect& r) override;
    void Invalidate(bool erase) override;
    void Show(bool show) override;
    bool IsVisible() const override;

private:
    QWidget& m_widget;
};

// The laid-out top-level widget as the layout engine sees it, and the translation of its Qt
// events into the messages the engine's filter takes. Lives on the widget's thread and no
// longer than the widget; only PostToWindowThread may be called from another thread.
//
// Qt paints only inside paint events: drawing the engine does outside one marks the area,
// and the paint that follows draws the frames again from the tree. The splitter's band is
// drawn on a transparent overlay above the controls.
class QtLayoutHost : public LayoutHostWindow {
public:
    // `children` are the window's controls by id, for ChildById.
    QtLayoutHost(QWidget& window, CDynamicLayout& layout, const std::map<int, QWidget*>& children);
    ~QtLayoutHost() override;

    // Passes `e`, an event of the window, to the layout's filter as the window message it
    // stands for. Call it before the window handles the event itself.
    void FilterEvent(QEvent* e);

    Rect ClientRect() const override;
    LayoutControlWindow* ChildById(unsigned id) override;
    void Invalidate(bool erase) override;
    void InvalidateRegion(const Region& region, bool erase) override;
    std::unique_ptr<LayoutSurface> GetDC() override;
    void SetCapture() override;
    void ReleaseCapture() override;
    LayoutCursor GetCursor() const override;
    void SetCursor(LayoutCursor cursor) override;
    void PostToWindowThread(std::function<void()> work) override;

private:
    class Surface;
    class BandOverlay;

    void Send(UINT message, WPARAM wParam, LPARAM lParam);

    QWidget& m_window;
    CDynamicLayout& m_layout;
    std::map<unsigned, std::unique_ptr<QtLayoutControl>> m_children;
    QPainter* m_painter = nullptr;  // set while the window's paint event runs
    BandOverlay* m_overlay;         // owned by the window
};

}  // namespace DynamicLayout
