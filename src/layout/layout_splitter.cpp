#include "layout/layout_splitter.h"

namespace DynamicLayout {

namespace {

constexpr COLORREF kMidGrey = 0x808080;

bool AnyCornerInside(const Rect& inner, const Rect& outer) {
    return outer.Contains(inner.left, inner.top) || outer.Contains(inner.right, inner.top) ||
           outer.Contains(inner.left, inner.bottom) || outer.Contains(inner.right, inner.bottom);
}

// Equal anchors on facing edges follow opposite parent edges: the gap would change at every
// resize, so no bar can sit in it.
bool Qualifies(CLayoutPanel& p) {
    if (p.m_listChildren.size() != 2) return false;
    p.RecalcLayoutRect();
    CLayoutBase& a = *p.m_listChildren[0];
    CLayoutBase& b = *p.m_listChildren[1];
    const Rect ra = a.GetLayoutRect();
    const Rect rb = b.GetLayoutRect();
    if (AnyCornerInside(rb, ra)) return false;
    if (ra.right < rb.left && a.m_nRightAnchor == b.m_nLeftAnchor) return false;
    if (ra.left > rb.right && a.m_nLeftAnchor == b.m_nRightAnchor) return false;
    if (ra.top > rb.bottom && a.m_nTopAnchor == b.m_nBottomAnchor) return false;
    if (ra.bottom < rb.top && a.m_nBottomAnchor == b.m_nTopAnchor) return false;
    return true;
}

}  // namespace

CLayoutSplitter* CLayoutSplitter::SetUp(CLayoutPanel& p) {
    if (!Qualifies(p)) return nullptr;
    if (p.m_pSplitter) return p.m_pSplitter.get();

    CLayoutBase* a = p.m_listChildren[0].get();
    CLayoutBase* b = p.m_listChildren[1].get();
    const Rect ra = a->GetLayoutRect();
    const Rect rb = b->GetLayoutRect();
    // The bar goes on the facing edge of the child that lies towards the parent edge that
    // both facing edges follow.
    int side = 0;
    bool aFirst = true;
    if (ra.right < rb.left) {
        aFirst = a->m_nRightAnchor == 1;
        side = aFirst ? SPLIT_LEFT : SPLIT_RIGHT;
    } else if (ra.left > rb.right) {
        aFirst = a->m_nLeftAnchor == 1;
        side = aFirst ? SPLIT_RIGHT : SPLIT_LEFT;
    } else if (ra.top > rb.bottom) {
        aFirst = a->m_nTopAnchor == 1;
        side = aFirst ? SPLIT_BOTTOM : SPLIT_TOP;
    } else if (ra.bottom < rb.top) {
        aFirst = a->m_nBottomAnchor == 1;
        side = aFirst ? SPLIT_TOP : SPLIT_BOTTOM;
    } else {
        return nullptr;  // overlapping without a corner inside
    }
    auto s = std::make_unique<CLayoutSplitter>();
    s->m_pFirst = aFirst ? a : b;
    s->m_pSecond = aFirst ? b : a;
    s->m_nSide = side;
    s->m_pParentWnd = p.m_pParentWnd;
    s->m_crLine = p.m_crBack;
    p.m_pSplitter = std::move(s);
    return p.m_pSplitter.get();
}

Rect CLayoutSplitter::BarRect() {
    const Rect r = m_pSecond->GetLayoutRect();
    const int t = m_nThickness;
    switch (m_nSide) {
        case SPLIT_TOP: return {r.left + 1, r.top - t, r.right - 1, r.top};
        case SPLIT_BOTTOM: return {r.left + 1, r.bottom, r.right - 1, r.bottom + t};
        case SPLIT_LEFT: return {r.left - t, r.top + 1, r.left, r.bottom - 1};
        default: return {r.right, r.top + 1, r.right + t, r.bottom - 1};
    }
}

LayoutCursor CLayoutSplitter::ResizeCursor() const {
    return Vertical() ? LayoutCursor::SizeNS : LayoutCursor::SizeWE;
}

int CLayoutSplitter::OnHover(int x, int y) {
    if (m_pDragDC) {
        const int c = Coordinate(x, y);
        if (m_nDragMin <= c && c <= m_nDragMax) {
            EraseBand();
            DrawBand(x, y);
            return 1;
        }
    }
    if (!BarRect().Contains(x, y)) return 0;
    m_hOldCursor = m_pParentWnd->GetCursor();
    m_pParentWnd->SetCursor(ResizeCursor());
    return 1;
}

int CLayoutSplitter::OnPress(int x, int y) {
    if (m_pDragDC || !BarRect().Contains(x, y)) return 0;
    m_pParentWnd->SetCapture();
    m_hOldCursor = m_pParentWnd->GetCursor();
    m_pParentWnd->SetCursor(ResizeCursor());
    m_pDragDC = m_pParentWnd->GetDC();

    const Rect rb = m_pSecond->GetLayoutRect();
    const Rect ra = m_pFirst->GetLayoutRect();
    const int c = Coordinate(x, y);
    m_nDragStart = c;
    const int ha = ra.bottom - ra.top, hb = rb.bottom - rb.top;
    const int wa = ra.right - ra.left, wb = rb.right - rb.left;
    // The bar may travel until the shrinking child is 2 pixels high (or wide).
    switch (m_nSide) {
        case SPLIT_TOP:
            m_nLineX = rb.left, m_nLineY = rb.top - 1, m_nLineLength = wb;
            m_nDragMax = c + hb - 2, m_nDragMin = c - ha + 2;
            break;
        case SPLIT_BOTTOM:
            m_nLineX = rb.left, m_nLineY = rb.bottom + 1, m_nLineLength = wb;
            m_nDragMax = c + ha - 2, m_nDragMin = c - hb + 2;
            break;
        case SPLIT_LEFT:
            m_nLineX = rb.left - 1, m_nLineY = rb.top, m_nLineLength = hb;
            m_nDragMax = c + wb - 2, m_nDragMin = c - wa + 2;
            break;
        default:
            m_nLineX = rb.right + 1, m_nLineY = rb.top, m_nLineLength = hb;
            m_nDragMax = c + wa - 2, m_nDragMin = c - wb + 2;
            break;
    }
    return 1;
}

int CLayoutSplitter::OnRelease(int x, int y) {
    if (!m_pDragDC) return 0;
    EraseBand();
    m_pDragDC.reset();
    m_pParentWnd->SetCursor(m_hOldCursor);
    m_pParentWnd->ReleaseCapture();

    Rect rb = m_pSecond->GetLayoutRect();
    Rect ra = m_pFirst->GetLayoutRect();
    int c = Coordinate(x, y);
    if (c > m_nDragMax) {
        c = m_nDragMax;
    } else if (c < m_nDragMin) {
        c = m_nDragMin;
    }
    const int d = c - m_nDragStart;
    switch (m_nSide) {
        case SPLIT_TOP: rb.top += d, ra.bottom += d; break;
        case SPLIT_BOTTOM: rb.bottom += d, ra.top += d; break;
        case SPLIT_LEFT: rb.left += d, ra.right += d; break;
        default: rb.right += d, ra.left += d; break;
    }
    m_pSecond->SetLayoutRect(rb);
    m_pFirst->SetLayoutRect(ra);
    return 1;
}

void CLayoutSplitter::DrawBand(int x, int y) {
    const int start = Vertical() ? m_nLineY : m_nLineX;
    m_nLinePos = start + Coordinate(x, y) - m_nDragStart;
    DrawBandAt(m_nLinePos);
}

void CLayoutSplitter::EraseBand() {
    if (m_nLinePos == -1) return;
    DrawBandAt(m_nLinePos);  // the inverting pen restores what the first pass changed
    m_nLinePos = -1;
}

void CLayoutSplitter::DrawBandAt(int pos) {
    const COLORREF color = m_crLine == kNoColor ? kMidGrey : m_crLine;
    // The band grows away from the second child: upwards or leftwards for TOP and LEFT.
    const int step = (m_nSide == SPLIT_TOP || m_nSide == SPLIT_LEFT) ? -1 : 1;
    for (int i = 0; i < m_nThickness; ++i) {
        const int p = pos + step * i;
        if (Vertical()) {
            m_pDragDC->InvertLine(m_nLineX, p, m_nLineX + m_nLineLength, p, color);
        } else {
            m_pDragDC->InvertLine(p, m_nLineY, p, m_nLineY + m_nLineLength, color);
        }
    }
}

}  // namespace DynamicLayout
