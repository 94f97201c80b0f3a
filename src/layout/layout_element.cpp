#include "layout/layout_element.h"

#include "layout/layout_splitter.h"

namespace DynamicLayout {

namespace {
constexpr COLORREF kFrameLight = 0xFFFFFF;
constexpr COLORREF kFrameDark = 0x404040;
}  // namespace

CLayoutBase::CLayoutBase(LayoutHostWindow* parent, int top, int left, int bottom, int right)
    : m_nTopAnchor(top),
      m_nLeftAnchor(left),
      m_nBottomAnchor(bottom),
      m_nRightAnchor(right),
      m_pParentWnd(parent) {}

CLayoutBase::~CLayoutBase() = default;

Rect CLayoutBase::GetLayoutRect() {
    if (m_rcLayout.IsZero()) RecalcLayoutRect();
    return m_rcLayout;
}

void CLayoutBase::PaintElement() {}

void CLayoutBase::ResetElement() { m_rcLayout = {}; }

void CLayoutBase::ShowElementFrame(int) {}

CLayoutControl::CLayoutControl(LayoutHostWindow* parent, LayoutControlWindow* control, int top,
                               int left, int bottom, int right)
    : CLayoutBase(parent, top, left, bottom, right), m_pCtrlWnd(control) {}

void CLayoutControl::SetLayoutRect(const Rect& r) {
    m_pCtrlWnd->MoveWindow(r);
    m_pCtrlWnd->Invalidate(false);
    m_rcLayout = r;
}

void CLayoutControl::RecalcLayoutRect() { m_rcLayout = m_pCtrlWnd->WindowRect(); }

void CLayoutControl::ShowElement(int show) {
    if (m_bVisible && !show) {
        m_pCtrlWnd->Show(false);
    } else if (!m_bVisible && show) {
        m_pCtrlWnd->Show(true);
    }
    m_bVisible = show;
}

void CLayoutControl::InvalidateElement() { m_pCtrlWnd->Invalidate(true); }

int CLayoutControl::IsElementVisible() const { return m_pCtrlWnd->IsVisible() ? 1 : 0; }

CLayoutPanel::CLayoutPanel(LayoutHostWindow* parent, int top, int left, int bottom, int right)
    : CLayoutBase(parent, top, left, bottom, right) {}

CLayoutPanel::~CLayoutPanel() { CLayoutPanel::ResetElement(); }

void CLayoutPanel::SetLayoutRect(const Rect& n) {
    const Rect o = m_rcLayout;
    if (n.right < n.left || n.bottom < n.top) m_bRedrawAll = 1;
    for (const auto& c : m_listChildren) {
        Rect r = c->GetLayoutRect();
        r.top += c->m_nTopAnchor ? n.top - o.top : n.bottom - o.bottom;
        r.bottom += c->m_nBottomAnchor ? n.bottom - o.bottom : n.top - o.top;
        r.left += c->m_nLeftAnchor ? n.left - o.left : n.right - o.right;
        r.right += c->m_nRightAnchor ? n.right - o.right : n.left - o.left;
        c->SetLayoutRect(r);
        if (c->IsPanel() && c->m_bRedrawAll) {
            c->m_bRedrawAll = 0;
            m_bRedrawAll = 1;
        }
    }
    m_rcLayout = n;
}

void CLayoutPanel::RecalcLayoutRect() {
    Rect& b = m_rcLayout;
    b = {};
    for (const auto& c : m_listChildren) {
        c->RecalcLayoutRect();
        Rect r = c->GetLayoutRect();
        if (c->IsPanel()) r = r.Inflated(-1);  // a child panel's margin does not count
        // A left or top of 0 or below is not yet set: an empty panel must not pull it to 0.
        if (b.left < 1 || r.left < b.left) b.left = r.left;
        if (b.top < 1 || r.top < b.top) b.top = r.top;
        if (r.right > b.right) b.right = r.right;
        if (r.bottom > b.bottom) b.bottom = r.bottom;
    }
    b = b.Inflated(1);
}

void CLayoutPanel::ShowElement(int show) {
    m_bVisible = show;
    for (const auto& c : m_listChildren) c->ShowElement(show);
}

void CLayoutPanel::ShowElementFrame(int show) {
    m_bShowFrame = show;
    for (const auto& c : m_listChildren) c->ShowElementFrame(show);
}

Region CLayoutPanel::FrameRegion(const Rect& s, bool shrink) {
    Region region{shrink ? s.Inflated(-1) : s, {}};
    for (const auto& c : m_listChildren) {
        if (!c->IsElementVisible()) continue;
        const Rect r = c->GetLayoutRect();
        if (r.left <= s.right && r.top <= s.bottom) region.holes.push_back(r);
    }
    return region;
}

void CLayoutPanel::PaintElement() {
    const bool drawn = m_bVisible && m_bShowFrame;
    if (!m_rcPainted.IsEmpty() && !(drawn && m_rcPainted == m_rcLayout)) {
        m_pParentWnd->InvalidateRegion(FrameRegion(m_rcPainted, false), true);
        m_rcPainted = {};
    }
    const Rect& r = m_rcLayout;
    if (drawn && r.left < r.right && r.top < r.bottom) {
        std::unique_ptr<LayoutSurface> dc = m_pParentWnd->GetDC();
        // Children are cut out of the fill: only the gaps between them are coloured.
        if (m_crBack != kNoColor) dc->FillRegion(FrameRegion(r, true), m_crBack);
        dc->Draw3dRect(r, kFrameLight, kFrameDark);
        m_rcPainted = r;
    }
    for (const auto& c : m_listChildren) c->PaintElement();
}

void CLayoutPanel::InvalidateElement() {
    m_pParentWnd->InvalidateRegion(FrameRegion(m_rcPainted, true), true);
}

void CLayoutPanel::ResetElement() {
    m_listChildren.clear();
    m_pSplitter.reset();
    m_rcLayout = {};
}

CLayoutPanelFrame::CLayoutPanelFrame(LayoutHostWindow* parent) : CLayoutPanel(parent, 1, 1, 1, 1) {}

void CLayoutPanelFrame::SetLayoutRect(const Rect& r) { CLayoutPanel::SetLayoutRect(r.Inflated(1)); }

void CLayoutPanelFrame::RecalcLayoutRect() {
    for (const auto& c : m_listChildren) c->RecalcLayoutRect();
}

void CLayoutPanelFrame::InvalidateElement() {
    for (const auto& c : m_listChildren) c->InvalidateElement();
}

}  // namespace DynamicLayout
