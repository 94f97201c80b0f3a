#pragma once

#include <QDialog>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "serial/port_options.h"
#include "serial/serial_port.h"

class QLabel;
class CCommandPage;
class CConnectionPage;
class CLineControlPage;
class CSendPage;
class CReceivePage;

// What a request to the open port was; the id it carries, so its outcome comes back to
// ControlDone.
enum class PortControl : int { Line, Dtr, Rts, Pulse, Break };

// The modeless "高级设置" window: the single holder of the PortOptions, shown on its pages
// "线路控制", "连接", "发送", "接收" and "常用命令". It follows the main window's port (SetPortOpen) and asks it to act on
// the open port through its signals; it never touches a port itself. Owned by the main
// dialog (its parent); window thread only.
class CAdvancedDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAdvancedDlg(QWidget* parent);

    const PortOptions& Options() const { return m_options; }
    // Shows `options` and tells optionsChanged when they differ from the held ones.
    void SetOptions(const PortOptions& options);

    void SetPortOpen(bool open);
    void ShowModemStatus(std::optional<ModemStatus> status);
    // The port has carried out (`error` 0) or refused a request. A refused flow control or
    // rate is put back in the window to what the port still uses; a break is told when done.
    void ControlDone(PortControl control, int error);
    // Told in the window's status line, which is cleared by the next change.
    void ShowError(const QString& text);
    // The file send's progress and end, on the 发送 page (CSendPage).
    void ShowFileProgress(uint64_t sent, uint64_t total, std::chrono::milliseconds elapsed);
    void EndFileProgress(const QString& outcome);
    void ShowFileHeld(uint64_t left);
    // The "常用命令" page: the main window fills it and listens to it, as its lists are no
    // port options.
    CCommandPage* Commands() const { return m_commandPage; }
    // The "接收" page, which the main window tells where the log goes by default.
    CReceivePage* ReceivePage() const { return m_receivePage; }
    // The network ports added, listed on the "连接" page.
    void ShowNetworkPorts(const QStringList& paths);

signals:
    void optionsChanged(const PortOptions& options);
    // While the port is open: apply Options()' flow control and rate to it.
    void lineChangeRequested();
    void modemLineToggled(ModemLine line, bool on);
    void pulseRequested();
    void breakRequested();
    // From the 发送 page: send the file at `path`; stop the file send under way.
    void sendFileRequested(const QString& path);
    void sendFileCancelled();
    void networkPortAdded(const QString& path);  // from the "连接" page
    void networkPortRemoved(const QString& path);  // from the "连接" page

private:
    void OnEdited(const PortOptions& options);
    // Shows and holds `options`, telling optionsChanged when they differ; asks no port.
    void Keep(const PortOptions& options);

    PortOptions m_options;
    bool m_open = false;
    // Flow control and custom rate the open port uses, and those asked of it since, in order.
    PortOptions m_inEffect;
    std::deque<PortOptions> m_pendingLines;
    std::deque<uint32_t> m_pendingBreaks;  // the lengths of the breaks asked of the open port

    CLineControlPage* m_linePage;
    CConnectionPage* m_connectionPage;
    CSendPage* m_sendPage;
    CCommandPage* m_commandPage;
    CReceivePage* m_receivePage;
    QLabel* m_lblStatus;
};
