#pragma once

#include <QDialog>
#include <QEvent>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/my_msg.h"
#include "serial/serial_reader.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The main dialog: the whole user interface and the owner of all run-time state. Lives on
// the window thread; the only thing another thread touches is the hand-over (m_rxMsg and
// the events the reader posts).
class CPortBenchDlg : public QDialog, private PortEventSink {
    Q_OBJECT

public:
    // A batch waits in m_rxMsg. Posted by the reader thread.
    static constexpr QEvent::Type WM_PORT_RECEIVED = QEvent::Type(QEvent::User + 101);
    // The open port's device has gone. Posted by the reader thread.
    static constexpr QEvent::Type WM_PORT_HUNG_UP = QEvent::Type(QEvent::User + 102);

    // `extraPorts` are added to the port list after the discovered ones; `sysfsRoot` is
    // where ports are discovered.
    explicit CPortBenchDlg(const std::vector<std::string>& extraPorts,
                           const std::string& sysfsRoot = "/sys", QWidget* parent = nullptr);
    ~CPortBenchDlg() override;

    // Take exchange: controls to fields, validated. Shows a message and returns false at
    // the first value that does not parse or fit; fields before it keep their new values.
    bool TakeExchange();
    // Show exchange: fields to controls.
    void ShowExchange();

    bool IsPortOpen() const { return m_bPortOpen; }

protected:
    bool event(QEvent* e) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void PostPortReceived() override;
    void PostPortHungUp() override;

    void OnInitDialog(const std::vector<std::string>& extraPorts, const std::string& sysfsRoot);
    void InitSettingLists(const std::vector<std::string>& extraPorts,
                          const std::string& sysfsRoot);
    void ShowLamp(bool open);
    void OnSysCommand(int id);
    void OnOpenClose();
    void OpenPort();
    void ClosePort();
    void ApplyPortState();
    void StopReader();
    void OnPortReceived();
    void OnPortHungUp();
    void SetCounterText(QLabel* label, uint32_t value);

    // Controls, owned by the dialog through Qt's parent chain.
    std::map<int, QWidget*> m_controls;
    QPushButton* m_btnOpen;
    QComboBox* m_cbPort;
    QComboBox* m_cbBaud;
    QComboBox* m_cbParity;
    QComboBox* m_cbDataBits;
    QComboBox* m_cbStopBits;
    QLabel* m_stLamp;
    QPlainTextEdit* m_editReceive;
    QCheckBox* m_chkCycle;
    QPlainTextEdit* m_editSend;
    QPushButton* m_btnSend;
    QCheckBox* m_chkTimestamp;
    QCheckBox* m_chkCharTs;
    QLineEdit* m_editTrigger;
    QLineEdit* m_editInterval;
    QCheckBox* m_chkHexShow;
    QCheckBox* m_chkHexSend;
    QCheckBox* m_chkSave;
    QCheckBox* m_chkWrap;
    QCheckBox* m_chkPause;
    QCheckBox* m_chkConvSend;
    QCheckBox* m_chkConvReceive;
    QPushButton* m_btnToStr;
    QPushButton* m_btnToHex;
    QLabel* m_stRxCount;
    QLabel* m_stTxCount;

    // Fields.
    bool m_bPortOpen = false;
    QString m_strSend;
    QString m_strReceive;
    QString m_strTrigger;
    uint32_t m_dwTxCount = 0;
    uint32_t m_dwRxCount = 0;
    uint32_t m_dwInterval = 1000;

    // The reader writes m_rxMsg; it is declared first so it outlives the reader.
    MyMsg m_rxMsg;
    std::unique_ptr<CSerialReader> m_pReader;
};
