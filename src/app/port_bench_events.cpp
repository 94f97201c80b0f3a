// What the port's threads tell the dialog: each report is posted as an event and handled on
// the window thread.
#include <QCoreApplication>
#include <QEvent>

#include "app/port_bench_dlg.h"
#include "ui/advanced_dlg.h"

void CPortBenchDlg::PostPortReceived() {
    QCoreApplication::postEvent(this, new QEvent(WM_PORT_RECEIVED));
}

void CPortBenchDlg::PostPortHungUp() {
    QCoreApplication::postEvent(this, new QEvent(WM_PORT_HUNG_UP));
}

namespace {

// A write is done: how much the device took, and whether it failed.
class PortWrittenEvent : public QEvent {
public:
    PortWrittenEvent(uint32_t written, bool failed)
        : QEvent(CPortBenchDlg::WM_PORT_WRITTEN), m_written(written), m_failed(failed) {}
    const uint32_t m_written;
    const bool m_failed;
};

class PortWriteHeldEvent : public QEvent {
public:
    PortWriteHeldEvent(bool held, uint64_t left)
        : QEvent(CPortBenchDlg::WM_PORT_WRITE_HELD), m_held(held), m_left(left) {}
    const bool m_held;
    const uint64_t m_left;
};

class PortControlDoneEvent : public QEvent {
public:
    PortControlDoneEvent(int id, int error)
        : QEvent(CPortBenchDlg::WM_PORT_CONTROL_DONE), m_id(id), m_error(error) {}
    const int m_id;
    const int m_error;
};

class PortModemEvent : public QEvent {
public:
    explicit PortModemEvent(std::optional<ModemStatus> status)
        : QEvent(CPortBenchDlg::WM_PORT_MODEM), m_status(status) {}
    const std::optional<ModemStatus> m_status;
};

}  // namespace

void CPortBenchDlg::PostPortWritten(uint32_t written, bool failed) {
    QCoreApplication::postEvent(this, new PortWrittenEvent(written, failed));
}

void CPortBenchDlg::PostPortWriteHeld(bool held, uint64_t left) {
    QCoreApplication::postEvent(this, new PortWriteHeldEvent(held, left));
}

void CPortBenchDlg::PostPortControlDone(int id, int error) {
    QCoreApplication::postEvent(this, new PortControlDoneEvent(id, error));
}

void CPortBenchDlg::PostModemStatus(std::optional<ModemStatus> status) {
    QCoreApplication::postEvent(this, new PortModemEvent(status));
}

void CPortBenchDlg::OnPortControlDone(int id, int error) {
    m_advanced->ControlDone(static_cast<PortControl>(id), error);
}

void CPortBenchDlg::OnModemStatus(std::optional<ModemStatus> status) { m_advanced->ShowModemStatus(status); }

bool CPortBenchDlg::OnPortEvent(QEvent* e) {
    switch (static_cast<int>(e->type())) {
        case WM_PORT_RECEIVED: OnPortReceived(); return true;
        case WM_PORT_HUNG_UP: OnPortHungUp(); return true;
        case WM_PORT_WRITTEN: {
            const auto* done = static_cast<PortWrittenEvent*>(e);
            OnPortWritten(done->m_written, done->m_failed);
            return true;
        }
        case WM_PORT_WRITE_HELD: {
            const auto* held = static_cast<PortWriteHeldEvent*>(e);
            OnPortWriteHeld(held->m_held, held->m_left);
            return true;
        }
        case WM_PORT_CONTROL_DONE: {
            const auto* done = static_cast<PortControlDoneEvent*>(e);
            OnPortControlDone(done->m_id, done->m_error);
            return true;
        }
        case WM_PORT_MODEM: OnModemStatus(static_cast<PortModemEvent*>(e)->m_status); return true;
        default: return false;
    }
}
