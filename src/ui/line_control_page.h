#pragma once

#include <QWidget>
#include <optional>

#include "serial/port_options.h"
#include "serial/serial_port.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The "线路控制" page of the advanced window: flow control, custom baud rate, DTR and RTS at
// open and live, the reset pulse, break, and the four input lamps. A view: it shows the
// options it is given and says what the user changed or asked for; it never touches a port.
// Window thread only.
class CLineControlPage : public QWidget {
    Q_OBJECT

public:
    explicit CLineControlPage(QWidget* parent = nullptr);

    void ShowOptions(const PortOptions& options);
    // Controls that act on a port are enabled only while one is open; its lines are unknown
    // until ShowModemStatus.
    void SetPortOpen(bool open);
    // nullopt: the port has no modem lines, so the lamps and live toggles stay disabled.
    void ShowModemStatus(std::optional<ModemStatus> status);
    // Shows the lines as last told again, undoing a toggle the port refused.
    void RestoreLines() { ShowLines(); }

signals:
    // `options` are the shown ones with the user's change.
    void optionsEdited(const PortOptions& options);
    void modemLineToggled(ModemLine line, bool on);
    void pulseRequested();
    void breakRequested();
    // A typed value was not taken; `why` names the valid range.
    void refused(const QString& why);

private:
    void OnCustomBaudEntered();
    // The length typed into `edit` into `field`; false (and told) when it is out of range.
    bool TakeLength(QLineEdit* edit, uint32_t PortOptions::*field, const QString& what);
    void Edit(const PortOptions& options);
    void ShowLines();

    PortOptions m_options;
    bool m_open = false;
    bool m_statusKnown = false;  // the open port's first status has arrived
    std::optional<ModemStatus> m_status;

    QComboBox* m_cbFlow;
    QComboBox* m_cbCustomBaud;
    QCheckBox* m_chkDtrAtOpen;
    QCheckBox* m_chkRtsAtOpen;
    QCheckBox* m_chkDtr;
    QCheckBox* m_chkRts;
    QLabel* m_lamps[4];  // CTS, DSR, DCD, RI
    QLabel* m_lblLines;  // why the lines are not shown
    QComboBox* m_cbPulseLine;
    QLineEdit* m_editPulseMs;
    QPushButton* m_btnPulse;
    QLineEdit* m_editBreakMs;
    QPushButton* m_btnBreak;
};
