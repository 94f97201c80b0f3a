#pragma once

#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>

#include "serial/port_options.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

// What a send shows while the device takes nothing (flow control, a slow line or a server
// holds it off), with `left` bytes still to go.
QString HeldSendText(uint64_t left);

// The "发送" page of the advanced window: the line ending and the pause between bytes of
// every send, the echo of sends in the receive area, and sending a file with its progress.
// A view: it shows the options and the progress it is given and says what the user changed
// or asked for. Window thread only.
class CSendPage : public QWidget {
    Q_OBJECT

public:
    explicit CSendPage(QWidget* parent = nullptr);

    void ShowOptions(const PortOptions& options);
    void SetPortOpen(bool open);  // a file is sent only while a port is open
    // A file send is under way: `sent` of `total` bytes (0: not known) after `elapsed`.
    void ShowFileProgress(uint64_t sent, uint64_t total, std::chrono::milliseconds elapsed);
    // The device has taken nothing for a while; `left` bytes are still to go.
    void ShowFileHeld(uint64_t left);
    // The file send has ended; `outcome` says how, in the user's words.
    void EndFileProgress(const QString& outcome);

signals:
    // `options` are the shown ones with the user's change.
    void optionsEdited(const PortOptions& options);
    void sendFileChosen(const QString& path);
    void sendFileCancelled();

private:
    void Edit(const PortOptions& options);
    void ChooseFile();
    void ShowButtons();

    PortOptions m_options;
    bool m_open = false;
    bool m_sending = false;
    QComboBox* m_cbLineEnding;
    QSpinBox* m_spinCharDelay;
    QCheckBox* m_chkEcho;
    QPushButton* m_btnSendFile;
    QProgressBar* m_progress;
    QLabel* m_lblFile;
    QPushButton* m_btnCancelFile;
};
