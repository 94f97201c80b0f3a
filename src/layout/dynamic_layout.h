#pragma once

#include <memory>
#include <string>
#include <thread>
#include <unordered_map>

#include "layout/layout_element.h"
#include "layout/layout_splitter.h"
#include "layout/window_messages.h"

// The one class through which a window uses the layout engine. The window defines its
// layout once (named panels, controls with edge anchors, frames, a splitter) and passes
// every message through FilterDynamicLayoutMessage before handling it itself.
//
// Thread rules: every method runs on the window's thread, except WhenEndSplit, which runs on
// a short-lived thread after each splitter drag and only posts work back to the window's
// thread. The destructor waits for that thread.
//
// Every method, public and private, is exported from the executable by name.
namespace DynamicLayout {

class __attribute__((visibility("default"))) CDynamicLayout {
public:
    CDynamicLayout();
    ~CDynamicLayout();
    CDynamicLayout(const CDynamicLayout&) = delete;
    CDynamicLayout& operator=(const CDynamicLayout&) = delete;

    // Starts a new layout for pWnd (not owned), sized to its client area. Null: no change.
    void InitLayout(LayoutHostWindow* pWnd);
    // Anchors in the order top, bottom, left, right; 1 follows the parent's edge on the same
    // side, 0 the opposite one. A name already registered, or an unknown parent: no change.
    void AddPanel(const std::u16string& name, const std::u16string& parent, int top, int bottom,
                  int left, int right);
    // An unknown panel or a null window: no change.
    void AddControl(LayoutControlWindow* pCtrl, const std::u16string& panel, int top, int bottom,
                    int left, int right);
    void AddControl(UINT nID, const std::u16string& panel, int top, int bottom, int left, int right);
    // Re-reads every control's rectangle and recomputes the panels' bounds.
    void UpdateLayout();
    void ShowLayout(const std::u16string& name, int show);
    void ShowPanel(const std::u16string& name, int show);
    void SetBkColor(const std::u16string& name, COLORREF color);
    void SetSplit(const std::u16string& name, int enable);
    int IsPanelExist(const std::u16string& name);
    // Limits for interactive sizing (WM_SIZING); 0 or below: none.
    void SetDialogMinSize(int cx, int cy);
    void SetDialogMaxSize(int cx, int cy);
    // Never changes the message or its parameters, only the rectangle WM_SIZING points to.
    // Always 0.
    LRESULT FilterDynamicLayoutMessage(UINT& message, WPARAM& wParam, LPARAM& lParam);

private:
    CLayoutPanel* GetPanel(const std::u16string& name);
    void OnLButtonDown(int x, int y);
    void OnLButtonUp(int x, int y);
    void OnMouseMove(int x, int y);
    void OnPaint();
    static unsigned WhenEndSplit(void* pParam);

    LayoutHostWindow* m_pWnd = nullptr;  // not owned
    int m_nMaxWidth = 0;
    int m_nMaxHeight = 0;
    int m_nMinWidth = 0;
    int m_nMinHeight = 0;
    std::unordered_map<std::u16string, CLayoutPanel*> m_mapPanels;  // "" is the root
    std::unordered_map<CLayoutPanel*, CLayoutSplitter*> m_mapSplitters;  // owned by the panels
    std::unique_ptr<CLayoutPanelFrame> m_pRootFrame;
    std::thread m_endSplit;  // the last after-drag repaint thread
};

}  // namespace DynamicLayout
