// How the main dialog's controls follow its size.
#include <QSize>

#include "app/port_bench_dlg.h"
#include "dialog/control_ids.h"

void CPortBenchDlg::DefineLayout() {
    // Anchors: top, bottom, left, right; 1 follows the window's edge on the same side, 0 the
    // opposite one. The left column is not in the layout and never moves.
    m_layout.InitLayout(m_layoutHost.get());
    m_layout.AddPanel(u"上", u"", 1, 1, 1, 1);
    m_layout.AddPanel(u"下", u"", 0, 1, 1, 1);
    m_layout.AddControl(IDC_EDIT_RX, u"上", 1, 1, 1, 1);
    m_layout.AddControl(IDC_GRP_RX, u"上", 1, 1, 1, 1);
    m_layout.AddPanel(u"下中", u"下", 1, 1, 1, 1);
    m_layout.AddControl(IDC_EDIT_TX, u"下", 1, 1, 1, 1);
    m_layout.AddControl(IDC_GRP_TX, u"下", 1, 1, 1, 1);
    m_layout.AddControl(IDC_BTN_SEND, u"下", 1, 1, 0, 1);
    m_layout.AddPanel(u"下下", u"下", 1, 1, 1, 1);
    for (int id : {IDC_LBL_RX, IDC_LBL_TX, IDC_TXT_RXCOUNT, IDC_TXT_TXCOUNT}) {
        m_layout.AddControl(id, u"下下", 0, 1, 1, 0);
    }
    m_layout.AddControl(IDC_BTN_RESET, u"下下", 0, 1, 0, 1);
    m_layout.AddControl(IDC_GRP_STATS, u"下下", 0, 1, 1, 1);
    m_layout.AddPanel(u"下下右", u"下", 0, 1, 0, 1);
    m_layout.AddControl(IDC_BTN_HELP, u"下下右", 0, 1, 0, 1);
    for (const char16_t* panel : {u"上", u"下", u"下中", u"下下", u"下下右"}) {
        m_layout.ShowPanel(panel, 0);
    }
    // Both facing edges follow the bottom: the bar lies above the send area.
    m_layout.SetSplit(u"", 1);
}

void CPortBenchDlg::ApplyMinTrackSize() {
    // The limit is on the outer window; Qt's minimum is on the client area, and the window
    // manager's frame is known only once the window is shown.
    const QSize outer(600, 640);
    const QSize frame = frameGeometry().size() - size();
    if (minimumSize() != outer - frame) setMinimumSize(outer - frame);
}
