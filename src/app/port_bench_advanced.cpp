// The main dialog's part in the advanced window: its options shape the line a port opens
// with, and what it asks for goes to the open port.
#include <QComboBox>
#include <QScreen>
#include <chrono>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "ui/advanced_dlg.h"
#include "ui/custom_baud_entry.h"
#include "ui/window_placement.h"

namespace {

constexpr int kAdvancedGap = 8;  // pixels between the main and the advanced window

}  // namespace

void CPortBenchDlg::MakeAdvancedWindow() {
    m_advanced = new CAdvancedDlg(this);
    connect(m_advanced, &CAdvancedDlg::optionsChanged, this,
            [this](const PortOptions& options) { ShowCustomBaud(*m_cbBaud, options.customBaud); });
    // A rate picked from the list is the one used: the custom rate gives way.
    connect(m_cbBaud, &QComboBox::activated, this, [this](int index) {
        if (IsCustomBaudEntry(*m_cbBaud, index)) return;
        PortOptions options = m_advanced->Options();
        options.customBaud = 0;
        m_advanced->SetOptions(options);
    });
    // The window asks only while it knows a port open, which is while a reader runs.
    connect(m_advanced, &CAdvancedDlg::lineChangeRequested, this, [this] {
        m_pReader->Control(
            static_cast<int>(PortControl::Line),
            [line = ChosenLine()](SerialPort& port) { return port.ApplyLine(line); });
    });
    connect(m_advanced, &CAdvancedDlg::modemLineToggled, this, [this](ModemLine line, bool on) {
        const PortControl id = line == ModemLine::Dtr ? PortControl::Dtr : PortControl::Rts;
        m_pReader->Control(static_cast<int>(id),
                           [line, on](SerialPort& port) { return port.SetModemLine(line, on); });
    });
    connect(m_advanced, &CAdvancedDlg::pulseRequested, this, [this] {
        const PortOptions& options = m_advanced->Options();
        m_pReader->Pulse(static_cast<int>(PortControl::Pulse), options.pulseLine,
                         std::chrono::milliseconds(options.pulseMs));
    });
    connect(m_advanced, &CAdvancedDlg::breakRequested, this, [this] {
        m_pReader->Break(static_cast<int>(PortControl::Break),
                         std::chrono::milliseconds(m_advanced->Options().breakMs));
    });
}

void CPortBenchDlg::ShowAdvanced() {
    if (!m_advanced->testAttribute(Qt::WA_Moved)) {
        // First shown where it hides none of the main window's controls; after that where
        // the user left it.
        m_advanced->adjustSize();
        const QRect spare(m_editReceive->mapToGlobal(QPoint(0, 0)), m_editReceive->size());
        m_advanced->move(PlaceBesideMain(m_advanced->frameGeometry().size(), frameGeometry(), spare,
                                         screen()->availableGeometry(), kAdvancedGap));
    }
    m_advanced->show();
    m_advanced->raise();
    m_advanced->activateWindow();
}
