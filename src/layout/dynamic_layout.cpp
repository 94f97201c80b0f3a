#include "layout/dynamic_layout.h"

#include <chrono>

namespace DynamicLayout {

CDynamicLayout::CDynamicLayout() = default;

CDynamicLayout::~CDynamicLayout() {
    if (m_endSplit.joinable()) m_endSplit.join();
}

void CDynamicLayout::InitLayout(LayoutHostWindow* pWnd) {
    if (!pWnd) return;
    m_pWnd = pWnd;
    m_mapSplitters.clear();
    m_mapPanels.clear();
    m_pRootFrame = std::make_unique<CLayoutPanelFrame>(pWnd);
    m_mapPanels[u""] = m_pRootFrame.get();
    m_pRootFrame->SetLayoutRect(pWnd->ClientRect());
}

void CDynamicLayout::AddPanel(const std::u16string& name, const std::u16string& parent, int top,
                              int bottom, int left, int right) {
    if (m_mapPanels.contains(name)) return;
    CLayoutPanel* owner = GetPanel(parent);
    if (!owner) return;
    auto panel = std::make_unique<CLayoutPanel>(m_pWnd, top, left, bottom, right);
    m_mapPanels[name] = panel.get();
    owner->m_listChildren.push_back(std::move(panel));
}

void CDynamicLayout::AddControl(LayoutControlWindow* pCtrl, const std::u16string& panel, int top,
                                int bottom, int left, int right) {
    CLayoutPanel* owner = GetPanel(panel);
    if (!owner || !pCtrl) return;
    owner->m_listChildren.push_back(
        std::make_unique<CLayoutControl>(m_pWnd, pCtrl, top, left, bottom, right));
}

void CDynamicLayout::AddControl(UINT nID, const std::u16string& panel, int top, int bottom,
                                int left, int right) {
    if (!m_pWnd) return;
    AddControl(m_pWnd->ChildById(nID), panel, top, bottom, left, right);
}

void CDynamicLayout::UpdateLayout() {
    if (m_pRootFrame) m_pRootFrame->RecalcLayoutRect();
}

void CDynamicLayout::ShowLayout(const std::u16string& name, int show) {
    CLayoutPanel* p = GetPanel(name);
    if (!p) return;
    p->ShowElement(show);
    m_pWnd->Invalidate(false);
}

void CDynamicLayout::ShowPanel(const std::u16string& name, int show) {
    CLayoutPanel* p = GetPanel(name);
    if (!p) return;
    p->ShowElementFrame(show);
    m_pWnd->Invalidate(false);
}

void CDynamicLayout::SetBkColor(const std::u16string& name, COLORREF color) {
    CLayoutPanel* p = GetPanel(name);
    if (!p) return;
    p->m_crBack = color;
    m_pWnd->Invalidate(false);
}

void CDynamicLayout::SetSplit(const std::u16string& name, int enable) {
    CLayoutPanel* p = GetPanel(name);
    if (!p) return;
    if (enable) {
        if (CLayoutSplitter* s = CLayoutSplitter::SetUp(*p)) m_mapSplitters[p] = s;
    } else {
        p->m_pSplitter.reset();
        m_mapSplitters.erase(p);
    }
}

int CDynamicLayout::IsPanelExist(const std::u16string& name) {
    return m_mapPanels.contains(name) ? 1 : 0;
}

void CDynamicLayout::SetDialogMinSize(int cx, int cy) {
    m_nMinWidth = cx;
    m_nMinHeight = cy;
    if (cx > m_nMaxWidth) m_nMaxWidth = cx;
}

void CDynamicLayout::SetDialogMaxSize(int cx, int cy) {
    m_nMaxHeight = cy;
    m_nMaxWidth = cx;
    if (m_nMinWidth > cx) m_nMaxWidth = m_nMinWidth;
}

LRESULT CDynamicLayout::FilterDynamicLayoutMessage(UINT& message, WPARAM& wParam, LPARAM& lParam) {
    if (!m_pWnd || !m_pRootFrame) return 0;
    const int x = LowWord(lParam), y = HighWord(lParam);
    switch (message) {
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) break;
            if (wParam != SIZE_MAXSHOW) {
                m_pRootFrame->SetLayoutRect({0, 0, x, y});
                if (m_pRootFrame->m_bRedrawAll) {
                    m_pRootFrame->m_bRedrawAll = 0;
                    m_pWnd->Invalidate(true);
                }
            }
            m_pRootFrame->PaintElement();
            break;
        case WM_PAINT:
            OnPaint();
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(x, y);
            break;
        case WM_LBUTTONDOWN:
            OnLButtonDown(x, y);
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(x, y);
            break;
        case WM_SIZING: {
            // Always the right or bottom edge moves, whichever edge the user drags.
            Rect& r = *reinterpret_cast<Rect*>(lParam);
            if (m_nMinWidth > 0 && r.right - r.left < m_nMinWidth) r.right = r.left + m_nMinWidth;
            if (m_nMinHeight > 0 && r.bottom - r.top < m_nMinHeight) r.bottom = r.top + m_nMinHeight;
            if (m_nMaxWidth > 0 && r.right - r.left > m_nMaxWidth) r.right = r.left + m_nMaxWidth;
            if (m_nMaxHeight > 0 && r.bottom - r.top > m_nMaxHeight) r.bottom = r.top + m_nMaxHeight;
            break;
        }
        default:
            break;
    }
    return 0;
}

CLayoutPanel* CDynamicLayout::GetPanel(const std::u16string& name) {
    auto it = m_mapPanels.find(name);
    return it == m_mapPanels.end() ? nullptr : it->second;
}

void CDynamicLayout::OnLButtonDown(int x, int y) {
    for (auto& [panel, splitter] : m_mapSplitters) {
        if (splitter->OnPress(x, y)) return;
    }
}

void CDynamicLayout::OnLButtonUp(int x, int y) {
    for (auto& [panel, splitter] : m_mapSplitters) {
        if (!splitter->OnRelease(x, y)) continue;
        if (m_endSplit.joinable()) m_endSplit.join();  // the previous one ended long ago
        m_endSplit = std::thread(WhenEndSplit, this);
        return;
    }
}

void CDynamicLayout::OnMouseMove(int x, int y) {
    for (auto& [panel, splitter] : m_mapSplitters) {
        if (splitter->OnHover(x, y)) return;
    }
}

void CDynamicLayout::OnPaint() { m_pRootFrame->PaintElement(); }

unsigned CDynamicLayout::WhenEndSplit(void* pParam) {
    // The tree has no lock and the window's widgets belong to its thread: both steps of the
    // repaint are posted there instead of being done here.
    auto* self = static_cast<CDynamicLayout*>(pParam);
    LayoutHostWindow* wnd = self->m_pWnd;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    wnd->PostToWindowThread([wnd] { wnd->Invalidate(true); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    wnd->PostToWindowThread([self] {
        if (self->m_pRootFrame) self->m_pRootFrame->PaintElement();
    });
    return 0;
}

}  // namespace DynamicLayout
