#pragma once

#include <QDialog>
#include <QEvent>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/port_opener.h"
#include "app/port_reconnect.h"
#include "layout/dynamic_layout.h"
#include "layout/qt_layout_host.h"
#include "receive/receive_document.h"
#include "receive/receive_log.h"
#include "receive/utc_clock.h"
#include "send/multibyte.h"
#include "send/send_history.h"
#include "serial/port_options.h"
#include "serial/rx_queue.h"
#include "serial/serial_reader.h"
#include "ui/logo_link.h"
#include "ui/periodic_timer.h"
#include "ui/port_monitor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CAdvancedDlg;
class CPictureEx;
class PopupComboBox;
class FindBar;
class ReceiveView;
class CSendEdit;
struct RememberedSettings;

// What the dialog takes from its surroundings; tests replace the parts they control.
struct DialogEnvironment {
    std::vector<std::string> extraPorts{};  // added to the port list after the discovered ones
    std::string sysfsRoot = "/sys";        // where ports are discovered
    UtcClock clock = SystemUtcNow;         // stamps each batch as it arrives (reader thread)
    std::string logDirectory{};            // empty: LogDirectory()
    std::string charset = LocaleCharset();  // text is sent in it
    LogoLink::Opener openUrl = OpenInBrowser;  // a click on the logo
    std::string settingsFile{};                // empty: SettingsFile()
    std::string byIdDirectory = "/dev/serial/by-id";  // links that name a device whatever its node
    std::string commandDirectory{};  // the saved commands and history; empty: ~/.local/share/corvala
};

// The main dialog: the whole user interface and the owner of all run-time state. Lives on
// the window thread; the only things other threads touch are the hand-over (m_rxQueue and
// the events the reader and the writer post).
class CPortBenchDlg : public QDialog, private PortEventSink {
    Q_OBJECT

public:
    // Batches wait in m_rxQueue. Posted by the reader thread when the queue turns non-empty,
    // and by the dialog when it left batches for after a frame.
    static constexpr QEvent::Type WM_PORT_RECEIVED = QEvent::Type(QEvent::User + 101);
    // The open port's device has gone. Posted by the reader thread.
    static constexpr QEvent::Type WM_PORT_HUNG_UP = QEvent::Type(QEvent::User + 102);
    // A write to the device is done. Posted by the writer thread.
    static constexpr QEvent::Type WM_PORT_WRITTEN = QEvent::Type(QEvent::User + 103);
    // A control of the port is done. Posted by the writer thread.
    static constexpr QEvent::Type WM_PORT_CONTROL_DONE = QEvent::Type(QEvent::User + 104);
    // The modem lines changed, or the port has none. Posted by the modem and writer threads.
    static constexpr QEvent::Type WM_PORT_MODEM = QEvent::Type(QEvent::User + 105);
    // A write waits for the device to take it, or goes on again. Posted by the writer thread.
    static constexpr QEvent::Type WM_PORT_WRITE_HELD = QEvent::Type(QEvent::User + 106);

    explicit CPortBenchDlg(DialogEnvironment env = {}, QWidget* parent = nullptr);
    ~CPortBenchDlg() override;

    // Take exchange: controls to fields, validated. Shows a message and returns false at
    // the first value that does not parse or fit; fields before it keep their new values.
    bool TakeExchange();
    // Show exchange: fields to controls. The text areas, the trigger and the interval are
    // written only where code set their field since the last exchange, so what arrived or
    // was typed in the meantime stays.
    void ShowExchange();

    bool IsPortOpen() const { return m_bPortOpen; }
    bool IsCycling() const { return m_bCycling; }

protected:
    bool event(QEvent* e) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void PostPortReceived() override;
    void PostPortHungUp() override;
    void PostPortWritten(uint32_t written, bool failed) override;
    void PostPortWriteHeld(bool held, uint64_t left) override;
    void PostPortControlDone(int id, int error) override;
    void PostModemStatus(std::optional<ModemStatus> status) override;

    void OnInitDialog();
    void DefineLayout();
    void ApplyMinTrackSize();
    void OnSetCursor(QPoint pos);
    void OnHelp();
    void InitSettingLists();
    // Reads the ports again, keeping the selection while its port exists.
    void FillPortList();
    void ShowSelectedPortIdentity();
    void ShowLamp(bool open);
    void OnSysCommand(int id);
    // The advanced window and its wiring (port_bench_advanced.cpp).
    void MakeAdvancedWindow();
    // The find bar, its keys, and saving what the receive area shows (port_bench_find.cpp).
    void MakeFindBar();
    void OnSaveShown();
    void ShowAdvanced();
    // How received bytes read as text, and where the log goes
    // (port_bench_receive_options.cpp).
    void MakeReceiveOptions();
    void OnReceiveOptions(const PortOptions& options);
    // A batch as the chunk to stamp, log and show: hex pairs, or its bytes up to the end of
    // the last whole character (the rest waits for the next batch; an empty batch takes it).
    // A chunk left empty, all of it waiting, gets no stamp and no line break.
    std::string ReceivedChunk(const MyMsg& msg);
    // After the last batch of a port's stream: what the reader queued, then a held tail.
    void EndReceivedStream();
    std::string LogDirectoryInUse() const;
    // The receive area shows where the log goes while saving, and is itself again after.
    void OnSaveClicked();
    void OnOpenClose();
    LineSettings ChosenLine() const;  // what the lists and the advanced options say
    void OpenPort();
    void ClosePort();
    void ApplyPortState();
    void StopReader();
    void OnPortReceived();
    void HandleBatch(const MyMsg& msg);
    void QueueLogText(const std::string& chunk, const UtcTime& arrival);
    void FlushLog();
    void ShowRxCount();
    void OnPortHungUp();
    void ReportPortGone();  // closes the port and tells the user its device has gone
    // A chunk as ReceivedChunk built it; in a text encoding its bytes are read as text here.
    void AppendToReceiveArea(const std::string& chunk);
    ReceiveLog& FileLog();  // made on first use, in LogDirectoryInUse()
    void OnTimestampOrHexShowClicked();
    void OnCharTsClicked();
    void OnClearReceive();
    void OnResetCounters();
    void SetReceiveField(ReceiveText text);
    void OnSend();
    void OnCycleTick();
    void StopCycling();
    void WriteSendBuffer();  // queued; OnPortWritten counts it
    void OnPortWritten(uint32_t written, bool failed);
    void OnPortWriteHeld(bool held, uint64_t left);
    // Handles the events the port's threads post; false for any other event.
    bool OnPortEvent(QEvent* e);
    void OnPortControlDone(int id, int error);
    void OnModemStatus(std::optional<ModemStatus> status);
    void OnClearSend();
    void OnConvert(QPushButton* pressed, std::u16string (*convert)(std::u16string_view, const std::string&),
                   bool fromHex);
    // Tells the user and returns true when `text` is no hex notation; `outcome` says what
    // did not happen.
    bool RefuseNonHex(const QString& text, const QString& outcome);
    void SetCounterText(QLabel* label, uint32_t value);
    // Settings that come back at the next start, and a port that waits for its device
    // (port_bench_connection.cpp).
    QString SettingsPath() const;
    RememberedSettings CurrentSettings() const;
    void RestoreSettings();
    // Lists and chooses the remembered port while it exists; tells once when it does not.
    void ChooseRememberedPort(const std::string& port);
    void RememberSettings();
    void WaitForPort();  // the device has gone: shown, and looked for until it is back
    void OnDeviceBack(const std::string& path);
    void ShowPortNotice(const QString& what);  // a stamped line in the area, and the log
    // Network ports: listed, opened off the window thread, reconnected
    // (port_bench_network.cpp).
    void MakeNetworkPorts();
    std::vector<std::string> ListedExtraPorts() const;  // the command line's, then the added
    QString PortListIdentity(const std::string& port) const;
    void AddNetworkPort(const std::string& path);  // to the list, keeping the selection
    void ShowNetworkPortList();  // m_networkPorts into the port list and the 连接 page
    void OpenNetworkPort(const std::string& path, const LineSettings& line);
    void ReconnectNetworkPort(const std::string& path);  // until it opens or is closed
    void OnNetworkPortOpened(std::unique_ptr<SerialPort> port);
    // Greys the line settings a raw TCP port's far end owns; tells that a port connects.
    void ShowNetworkPortState();
    // Saved commands, their shortcuts and the history of sends (port_bench_commands.cpp).
    void MakeCommandList();
    QString CommandPath(const char* file) const;
    void SaveCommands();
    void SaveHistory();  // only while settings are remembered; otherwise none is kept on disk
    void RecordSent();   // the send area's text has just been sent
    // Into the send area and the hex-send box, then sent as the send button would.
    void SendCommand(const SavedCommand& command);
    void ImportCommands();
    void ExportCommands();
    // Line ending, pacing, files, echo and Ctrl+Enter of the send workflow
    // (port_bench_send.cpp).
    void MakeSendOptions();
    // Ctrl+Up / Ctrl+Down: the send history's next older or newer entry into the send area.
    void RecallSent(bool older);
    std::vector<uint8_t> PrepareSendBuffer();  // the send area's bytes, with the line ending
    // A send that goes out over time on the writer thread: paced bytes, or a file. The send
    // button reads 停止 while it runs; `total` is a file's size (0: not a file).
    void StartStream(std::unique_ptr<ByteSource> source, bool file, uint64_t total);
    void OnStreamReport(uint64_t job, const StreamReport& report);
    void EndStream();  // 停止, or the port goes: ends the streamed send at once
    void SendFile(const QString& path);
    void EchoSent(std::span<const uint8_t> bytes);  // behind "TX>", when echo is on

    // Controls, owned by the dialog through Qt's parent chain.
    QPushButton* m_btnOpen;
    PopupComboBox* m_cbPort;
    QComboBox* m_cbBaud;
    QComboBox* m_cbParity;
    QComboBox* m_cbDataBits;
    QComboBox* m_cbStopBits;
    QLabel* m_stLamp;
    ReceiveView* m_editReceive;
    QCheckBox* m_chkCycle;
    CSendEdit* m_editSend;
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
    CPictureEx* m_picLogo;
    CAdvancedDlg* m_advanced;  // modeless, made with the dialog
    FindBar* m_findBar;        // over the receive area, hidden until Ctrl+F

    // The host is declared first: the layout, destroyed first, joins its after-drag thread,
    // which posts through the host.
    std::unique_ptr<DynamicLayout::QtLayoutHost> m_layoutHost;
    DynamicLayout::CDynamicLayout m_layout;

    DialogEnvironment m_env;
    std::optional<LogoLink> m_logoLink;
    PortMonitor m_portMonitor;
    PortReconnect m_reconnect;
    PortOpener m_opener;                      // a network port connecting, or reconnecting
    std::vector<std::string> m_networkPorts;  // added in the advanced window, remembered
    std::vector<SavedCommand> m_commands;
    SendHistory m_history;
    std::optional<ReceiveLog> m_fileLog;
    std::string m_defaultLogDirectory;  // where the log goes unless the user chose elsewhere
    QString m_saveShownFolder;          // where 保存显示内容 last saved; empty: the file dialog picks
    TextDecoder m_rxDecoder;            // the open port's text; holds a character's first bytes
    // Log text of the batches handled in this wake-up, all for the day of m_pendingLogDay:
    // one open, append and close for all of them.
    std::string m_pendingLog;
    UtcTime m_pendingLogDay{};
    QTimer m_rxCountTimer;  // the RX counter is shown at most once a frame

    // Fields.
    bool m_bPortOpen = false;
    bool m_bToldTwoStopBits = false;  // told that 1.5 stop bits went out as 2
    QString m_strSend;
    ReceiveText m_strReceive;
    QString m_strTrigger;
    uint32_t m_dwTxCount = 0;
    uint32_t m_dwRxCount = 0;
    uint32_t m_dwInterval = 1000;
    bool m_bCycling = false;
    uint32_t m_nCyclePeriod = 100;
    std::vector<uint8_t> m_pSendBuf;  // bytes of the last press; kept while cycling
    PeriodicTimer m_cycleTimer;       // TIMER_CYCLIC_SEND; runs exactly while cycling
    uint64_t m_nStreams = 0;          // streamed sends started, each one's id
    uint64_t m_nStreamJob = 0;        // the streamed send 停止 ends; 0: none
    bool m_bWriteHeld = false;        // a write waits for the device; 停止 ends it
    uint64_t m_nFileJob = 0;          // the file send the 发送 page follows; 0: none
    uint64_t m_nFileSize = 0;
    QString m_strSendFile;
    std::chrono::steady_clock::time_point m_fileStart;
    // Which exchanged fields code has set since the last exchange (see ShowExchange).
    bool m_bSendSet = true, m_bReceiveSet = true, m_bTriggerSet = true, m_bIntervalSet = true;

    // The reader fills m_rxQueue; it is declared first so it outlives the reader.
    RxQueue m_rxQueue;
    std::unique_ptr<CSerialReader> m_pReader;
};
