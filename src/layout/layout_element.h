#pragma once

#include <memory>
#include <vector>

#include "layout/layout_geometry.h"
#include "layout/layout_window.h"

// The layout tree: controls wrap child windows, panels group elements, the root frame
// follows the window's client area. Coordinates are the laid-out window's client pixels.
// Everything here runs on the window's thread; nothing is locked. The fields are the
// tree's own state, read and written by the facade and the splitter.
namespace DynamicLayout {

class CLayoutSplitter;

class CLayoutBase {
public:
    CLayoutBase(LayoutHostWindow* parent, int top, int left, int bottom, int right);
    virtual ~CLayoutBase();

    // The stored rectangle; read from the window (or the children) first while unknown.
    virtual Rect GetLayoutRect();
    virtual void SetLayoutRect(const Rect& r) = 0;
    virtual void RecalcLayoutRect() = 0;
    virtual void ShowElement(int show) = 0;
    virtual void PaintElement();
    virtual void InvalidateElement() = 0;
    virtual void ResetElement();
    virtual void ShowElementFrame(int show);
    virtual int IsPanel() const = 0;
    virtual int IsElementVisible() const = 0;

    // Each anchor is 1 (the edge follows the parent's edge on the same side) or 0 (the
    // opposite edge).
    int m_nTopAnchor;
    int m_nLeftAnchor;
    int m_nBottomAnchor;
    int m_nRightAnchor;
    int m_bRedrawAll = 0;  // panels: turned inside out by the last re-layout
    int m_bVisible = 1;
    Rect m_rcLayout{};
    LayoutHostWindow* m_pParentWnd;  // not owned
};

class CLayoutControl : public CLayoutBase {
public:
    CLayoutControl(LayoutHostWindow* parent, LayoutControlWindow* control, int top, int left,
                   int bottom, int right);

    void SetLayoutRect(const Rect& r) override;
    void RecalcLayoutRect() override;
    void ShowElement(int show) override;
    void InvalidateElement() override;
    int IsPanel() const override { return 0; }
    int IsElementVisible() const override;

    LayoutControlWindow* m_pCtrlWnd;  // not owned
};

class CLayoutPanel : public CLayoutBase {
public:
    CLayoutPanel(LayoutHostWindow* parent, int top, int left, int bottom, int right);
    ~CLayoutPanel() override;

    // Moves every child edge by the distance the parent edge it follows moved.
    void SetLayoutRect(const Rect& r) override;
    // The children's bounding box, one pixel outside it.
    void RecalcLayoutRect() override;
    void ShowElement(int show) override;
    void PaintElement() override;
    void InvalidateElement() override;
    void ResetElement() override;
    void ShowElementFrame(int show) override;
    int IsPanel() const override { return 1; }
    int IsElementVisible() const override { return m_bVisible; }

    // `s`, optionally one pixel smaller, less the visible children that do not lie wholly
    // right of or below it.
    Region FrameRegion(const Rect& s, bool shrink);

    int m_bShowFrame = 1;
    Rect m_rcPainted{};  // where the frame is on screen; empty when nowhere
    std::vector<std::unique_ptr<CLayoutBase>> m_listChildren;  // in insertion order
    COLORREF m_crBack = kNoColor;
    std::unique_ptr<CLayoutSplitter> m_pSplitter;
};

// The root: its rectangle is the client area grown by one pixel, so its frame is never seen.
class CLayoutPanelFrame : public CLayoutPanel {
public:
    explicit CLayoutPanelFrame(LayoutHostWindow* parent);

    void SetLayoutRect(const Rect& r) override;
    void RecalcLayoutRect() override;  // the children only; the root keeps its rectangle
    void InvalidateElement() override;
};

}  // namespace DynamicLayout
