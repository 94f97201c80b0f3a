#include "app/port_bench_dlg.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSignalBlocker>
#include <chrono>
#include <climits>
#include <map>

#include "app/message_box.h"
#include "app/port_failure_text.h"
#include "dialog/control_ids.h"
#include "dialog/dialog_builder.h"
#include "dialog/dialog_template.h"
#include "dialog/popup_combo_box.h"
#include "receive/chunk.h"
#include "receive/receive_log.h"
#include "receive/receive_view.h"
#include "send/send_text.h"
#include "serial/file_exception.h"
#include "serial/line_frame.h"
#include "serial/line_settings.h"
#include "serial/open_port.h"
#include "serial/port_discovery.h"
#include "ui/about_dlg.h"
#include "ui/advanced_dlg.h"
#include "ui/decimal_field.h"
#include "ui/help_dlg.h"
#include "ui/hex_notice.h"
#include "ui/picture_ex.h"
#include "ui/send_edit.h"

namespace {

const QString kOpenCaption = QStringLiteral("开   启");
const QString kCloseCaption = QStringLiteral("关   闭");
const QString kAboutItem = QStringLiteral("关于 Corvala(&A)..");
const QString kAdvancedItem = QStringLiteral("高级设置(&S)...");

template <typename T>
T* Ctl(const std::map<int, QWidget*>& controls, int id) {
    return qobject_cast<T*>(controls.at(id));
}

// The name the template gives a control's field, for a description that adds to it.
QString FieldName(int id) {
    const std::span<const ControlTemplate> controls = kMainDialogTemplate.controls;
    const auto c = std::find_if(controls.begin(), controls.end(),
                                [id](const ControlTemplate& t) { return t.id == id; });
    return QString::fromUtf8(c->accessibleDescription);
}

void FillList(QComboBox* combo, const SettingList& list) {
    for (const SettingChoice& c : list.choices) {
        combo->addItem(QString::fromUtf8(c.label.data(), static_cast<int>(c.label.size())),
                       c.value);
    }
    combo->setCurrentIndex(combo->findText(QString::fromUtf8(
        list.defaultLabel.data(), static_cast<int>(list.defaultLabel.size()))));
}

int LookUp(const QComboBox* combo, const SettingList& list) {
    return LookUpSetting(list, combo->currentText().toStdString());
}

QWidget* CreateCustomControl(ControlKind kind, QWidget& parent) {
    if (kind == ControlKind::ReceiveArea) return new ReceiveView(&parent);
    if (kind == ControlKind::MultiLineEdit) return new CSendEdit(&parent);
    if (kind != ControlKind::Picture) return nullptr;
    auto* picture = new CPictureEx(&parent);
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    return picture;
}

// The lamp bitmaps sit on light grey, which becomes the dialog's face colour. A port that
// waits for its device shows the lit lamp in amber.
QPixmap LampPixmap(bool open, bool waiting, const QColor& face) {
    QImage image(open ? QStringLiteral(":/lamp_open.png") : QStringLiteral(":/lamp_closed.png"));
    image = image.convertToFormat(QImage::Format_RGB32);
    const QRgb grey = qRgb(192, 192, 192);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (grey & 0xFFFFFF)) {
                line[x] = face.rgb();
            } else if (waiting) {
                line[x] = qRgb(qGreen(line[x]), (5 * qGreen(line[x]) + 3 * qRed(line[x])) / 8, qBlue(line[x]));
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

CPortBenchDlg::CPortBenchDlg(DialogEnvironment env, QWidget* parent)
    : QDialog(parent), m_env(std::move(env)), m_reconnect(m_portMonitor, m_env.byIdDirectory, m_env.sysfsRoot) {
    Q_INIT_RESOURCE(resources);  // the images live in a static library
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    const std::map<int, QWidget*> c = BuildDialog(*this, kMainDialogTemplate, CreateCustomControl);
    m_btnOpen = Ctl<QPushButton>(c, IDC_BTN_OPEN);
    m_cbPort = Ctl<PopupComboBox>(c, IDC_COMBO_PORT);
    m_cbBaud = Ctl<QComboBox>(c, IDC_COMBO_BAUD);
    m_cbParity = Ctl<QComboBox>(c, IDC_COMBO_PARITY);
    m_cbDataBits = Ctl<QComboBox>(c, IDC_COMBO_DATABITS);
    m_cbStopBits = Ctl<QComboBox>(c, IDC_COMBO_STOPBITS);
    m_stLamp = Ctl<QLabel>(c, IDC_LAMP);
    m_editReceive = Ctl<ReceiveView>(c, IDC_EDIT_RX);
    m_chkCycle = Ctl<QCheckBox>(c, IDC_CHK_CYCLE);
    m_editSend = Ctl<CSendEdit>(c, IDC_EDIT_TX);
    m_btnSend = Ctl<QPushButton>(c, IDC_BTN_SEND);
    m_chkTimestamp = Ctl<QCheckBox>(c, IDC_CHK_TIMESTAMP);
    m_chkCharTs = Ctl<QCheckBox>(c, IDC_CHK_CHAR_TS);
    m_editTrigger = Ctl<QLineEdit>(c, IDC_EDIT_TRIGGER);
    m_editInterval = Ctl<QLineEdit>(c, IDC_EDIT_INTERVAL);
    m_chkHexShow = Ctl<QCheckBox>(c, IDC_CHK_HEXSHOW);
    m_chkHexSend = Ctl<QCheckBox>(c, IDC_CHK_HEXSEND);
    m_chkSave = Ctl<QCheckBox>(c, IDC_CHK_SAVE);
    m_chkWrap = Ctl<QCheckBox>(c, IDC_CHK_WRAP);
    m_chkPause = Ctl<QCheckBox>(c, IDC_CHK_PAUSE);
    m_chkConvSend = Ctl<QCheckBox>(c, IDC_CHK_CONV_TX);
    m_chkConvReceive = Ctl<QCheckBox>(c, IDC_CHK_CONV_RX);
    m_btnToStr = Ctl<QPushButton>(c, IDC_BTN_TOSTR);
    m_btnToHex = Ctl<QPushButton>(c, IDC_BTN_TOHEX);
    m_stRxCount = Ctl<QLabel>(c, IDC_TXT_RXCOUNT);
    m_stTxCount = Ctl<QLabel>(c, IDC_TXT_TXCOUNT);
    m_picLogo = Ctl<CPictureEx>(c, IDC_LOGO);
    m_logoLink.emplace(*m_picLogo, m_env.openUrl);
    m_layoutHost = std::make_unique<DynamicLayout::QtLayoutHost>(*this, m_layout, c);

    // What can be typed or pasted is what the trigger search can find: one byte in hex.
    m_editTrigger->setMaxLength(2);
    m_editTrigger->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,2}")), m_editTrigger));

    connect(m_btnOpen, &QPushButton::clicked, this, &CPortBenchDlg::OnOpenClose);
    // The port list follows what is plugged in: read again as it drops down, and on udev's
    // word while it is not dropped down and the port is closed (an open port's list is
    // disabled and stays as it was).
    connect(m_cbPort, &PopupComboBox::aboutToShowPopup, this, &CPortBenchDlg::FillPortList);
    connect(&m_portMonitor, &PortMonitor::portsChanged, this, [this] {
        if (!m_bPortOpen && !m_cbPort->view()->isVisible()) FillPortList();
    });
    connect(m_cbPort, &QComboBox::currentIndexChanged, this, &CPortBenchDlg::ShowSelectedPortIdentity);
    connect(m_chkTimestamp, &QCheckBox::clicked, this, &CPortBenchDlg::OnTimestampOrHexShowClicked);
    connect(m_chkHexShow, &QCheckBox::clicked, this, &CPortBenchDlg::OnTimestampOrHexShowClicked);
    connect(m_chkCharTs, &QCheckBox::clicked, this, &CPortBenchDlg::OnCharTsClicked);
    connect(m_chkSave, &QCheckBox::clicked, this, &CPortBenchDlg::OnSaveClicked);
    connect(Ctl<QPushButton>(c, IDC_BTN_CLEAR_RX), &QPushButton::clicked, this,
            &CPortBenchDlg::OnClearReceive);
    connect(Ctl<QPushButton>(c, IDC_BTN_RESET), &QPushButton::clicked, this,
            &CPortBenchDlg::OnResetCounters);
    connect(m_btnSend, &QPushButton::clicked, this, &CPortBenchDlg::OnSend);
    connect(Ctl<QPushButton>(c, IDC_BTN_HELP), &QPushButton::clicked, this, &CPortBenchDlg::OnHelp);
    connect(Ctl<QPushButton>(c, IDC_BTN_CLEAR_TX), &QPushButton::clicked, this,
            &CPortBenchDlg::OnClearSend);
    connect(m_chkConvSend, &QCheckBox::clicked, this, [this] { m_chkConvReceive->setChecked(false); });
    connect(m_chkConvReceive, &QCheckBox::clicked, this, [this] { m_chkConvSend->setChecked(false); });
    connect(m_btnToHex, &QPushButton::clicked, this, [this] { OnConvert(m_btnToHex, ToHexText, false); });
    connect(m_btnToStr, &QPushButton::clicked, this, [this] { OnConvert(m_btnToStr, ToCharText, true); });
    m_rxCountTimer.setSingleShot(true);
    m_rxCountTimer.setInterval(16);
    connect(&m_rxCountTimer, &QTimer::timeout, this, &CPortBenchDlg::ShowRxCount);
    connect(&m_cycleTimer, &PeriodicTimer::tick, this, &CPortBenchDlg::OnCycleTick);
    connect(&m_reconnect, &PortReconnect::deviceBack, this, &CPortBenchDlg::OnDeviceBack);
    MakeAdvancedWindow();
    MakeReceiveOptions();
    MakeFindBar();
    MakeNetworkPorts();
    MakeSendOptions();
    OnInitDialog();
    MakeCommandList();  // after the settings: the history is kept only while they are remembered
}

CPortBenchDlg::~CPortBenchDlg() {
    m_advanced->hide();  // as in done(): its fields are taken while all they reach still exists
    StopReader();
}

void CPortBenchDlg::OnInitDialog() {
    ShowExchange();
    // Linux window managers own the window menu: the About entry lives in the dialog's
    // context menu, and Alt+A opens it as the menu item's accelerator would.
    auto* about = new QShortcut(QKeySequence(QStringLiteral("Alt+A")), this);
    connect(about, &QShortcut::activated, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    auto* advanced = new QShortcut(QKeySequence(QStringLiteral("Alt+S")), this);
    connect(advanced, &QShortcut::activated, this, &CPortBenchDlg::ShowAdvanced);
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    InitSettingLists();
    DefineLayout();
    m_chkHexShow->setChecked(true);
    m_chkHexSend->setChecked(true);
    m_editReceive->SetTextLimit(0xFFFFFFFFu);
    if (m_picLogo->LoadFromResource()) m_picLogo->Present();
    RestoreSettings();  // over the start-up state, which holds unless the user asked
}

void CPortBenchDlg::FillPortList() {
    std::vector<std::string> ports = DiscoverPorts(m_env.sysfsRoot);
    for (const std::string& port : ListedExtraPorts()) {
        if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
    }
    QStringList names, identities;
    for (const std::string& port : ports) {
        names << QString::fromStdString(port);
        identities << PortListIdentity(port);
    }
    QStringList shown, shownIdentities;
    for (int i = 0; i < m_cbPort->count(); ++i) {
        shown << m_cbPort->itemText(i);
        shownIdentities << m_cbPort->itemData(i, Qt::ToolTipRole).toString();
    }
    if (names == shown && identities == shownIdentities) return;  // a list rebuilt would lose its place

    const QString selected = m_cbPort->currentText();
    {
        const QSignalBlocker quiet(m_cbPort);  // the items are not complete before the end
        m_cbPort->clear();
        for (qsizetype i = 0; i < names.size(); ++i) {
            m_cbPort->addItem(names[i]);
            m_cbPort->setItemData(static_cast<int>(i), identities[i], Qt::ToolTipRole);
            m_cbPort->setItemData(static_cast<int>(i), identities[i], Qt::AccessibleDescriptionRole);
        }
        // At start, a port named on the command line is the one the user means to use.
        const QString wanted = selected.isEmpty() && !m_env.extraPorts.empty()
                                   ? QString::fromStdString(m_env.extraPorts.front())
                                   : selected;
        const int kept = wanted.isEmpty() ? -1 : m_cbPort->findText(wanted);
        m_cbPort->setCurrentIndex(kept >= 0 ? kept : (names.isEmpty() ? -1 : 0));
    }
    ShowSelectedPortIdentity();
}

// The closed list tells what its selected port is, as its items do; a screen reader hears
// which field it is first, as for the other line settings.
void CPortBenchDlg::ShowSelectedPortIdentity() {
    const QString identity = m_cbPort->currentData(Qt::ToolTipRole).toString();
    const QString field = FieldName(IDC_COMBO_PORT);
    m_cbPort->setToolTip(identity);
    m_cbPort->setAccessibleDescription(identity.isEmpty() ? field : field + QStringLiteral("：") + identity);
    ShowNetworkPortState();
}

void CPortBenchDlg::InitSettingLists() {
    FillPortList();
    FillList(m_cbBaud, kBaudList);
    FillList(m_cbParity, kParityList);
    FillList(m_cbDataBits, kDataBitsList);
    FillList(m_cbStopBits, kStopBitsList);
    ShowLamp(false);
}

void CPortBenchDlg::ShowLamp(bool open) {
    const bool waiting = open && (m_reconnect.Waiting() || m_opener.Busy());
    QPixmap lamp = LampPixmap(open, waiting, palette().color(QPalette::Window));
    m_stLamp->setPixmap(lamp);
    m_stLamp->resize(lamp.size());
    m_stLamp->setAccessibleDescription(waiting ? QStringLiteral("正在等待串口重新连接")
                                       : open  ? QStringLiteral("串口已打开")
                                               : QStringLiteral("串口已关闭"));
}

bool CPortBenchDlg::TakeExchange() {
    auto fail = [this](QWidget* control, const QString& message) {
        ShowMessage(this, message);
        control->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
        return false;
    };
    const QString intervalRange = QStringLiteral("发送间隔必须是 1 到 4294967295 之间的整数（毫秒）。");
    const QString counterRange = QStringLiteral("计数必须是 0 到 4294967295 之间的整数。");

    if (m_rxCountTimer.isActive()) ShowRxCount();  // the label is what is taken
    m_strSend = m_editSend->ExchangeText();
    m_strReceive = m_editReceive->Snapshot();
    m_strTrigger = m_editTrigger->text();
    m_bSendSet = m_bReceiveSet = m_bTriggerSet = m_bIntervalSet = false;
    // Text set past the validator (an assistive tool's insertion) is caught here.
    if (!m_editTrigger->hasAcceptableInput()) {
        return fail(m_editTrigger, QStringLiteral("触发字符最多只能输入 2 个十六进制数字（0-9、A-F）。"));
    }
    if (!ParseUInt32(m_stTxCount->text().toStdU16String(), m_dwTxCount)) return fail(m_stTxCount, counterRange);
    if (!ParseUInt32(m_stRxCount->text().toStdU16String(), m_dwRxCount)) return fail(m_stRxCount, counterRange);
    if (!ParseUInt32(m_editInterval->text().toStdU16String(), m_dwInterval)) return fail(m_editInterval, intervalRange);
    if (m_dwInterval < 1) return fail(m_editInterval, intervalRange);
    return true;
}

void CPortBenchDlg::ShowExchange() {
    if (m_bSendSet) m_editSend->SetExchangeText(m_strSend);
    if (m_bReceiveSet) m_editReceive->SetText(m_strReceive);
    if (m_bTriggerSet) m_editTrigger->setText(m_strTrigger);
    SetCounterText(m_stTxCount, m_dwTxCount);
    ShowRxCount();
    if (m_bIntervalSet) m_editInterval->setText(QString::number(m_dwInterval));
    m_bSendSet = m_bReceiveSet = m_bTriggerSet = m_bIntervalSet = false;
}

void CPortBenchDlg::SetReceiveField(ReceiveText text) {
    m_strReceive = std::move(text);
    m_bReceiveSet = true;
}

void CPortBenchDlg::SetCounterText(QLabel* label, uint32_t value) {
    const QString text = QString::number(value);
    label->setText(text);
    label->setAccessibleName(text);
}

void CPortBenchDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) != IDM_ABOUTBOX) return;
    CAboutDlg(this).exec();
}

void CPortBenchDlg::OnHelp() { HHelpDlg(this).exec(); }

void CPortBenchDlg::OnSetCursor(QPoint pos) {
    if (!m_logoLink->OnSetCursor(*this, pos)) unsetCursor();
}

void CPortBenchDlg::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) m_logoLink->OnLButtonDown(e->position().toPoint());
    QDialog::mousePressEvent(e);
}

void CPortBenchDlg::OnOpenClose() {
    if (m_bPortOpen) {
        ClosePort();
    } else {
        OpenPort();
    }
}

LineSettings CPortBenchDlg::ChosenLine() const {
    LineSettings line;
    line.byteSize = LookUp(m_cbDataBits, kDataBitsList);
    line.stopBits = LookUp(m_cbStopBits, kStopBitsList);
    line.parity = LookUp(m_cbParity, kParityList);
    const PortOptions& options = m_advanced->Options();
    line.baudRate = options.customBaud ? options.customBaud : static_cast<uint32_t>(LookUp(m_cbBaud, kBaudList));
    line.flow = options.flow;
    line.dtr = options.dtrAtOpen;
    line.rts = options.rtsAtOpen;
    return line;
}

void CPortBenchDlg::OpenPort() {
    m_rxDecoder.Reset();  // what an earlier port left unfinished is not this one's
    const LineSettings line = ChosenLine();
    const std::string path = m_cbPort->currentText().toStdString();
    if (IsNetworkPortPath(path)) return OpenNetworkPort(path, line);  // it takes seconds
    try {
        PortEventSink& sink = *this;
        m_pReader = std::make_unique<CSerialReader>(sink, m_rxQueue, OpenSerialPort(path, line), m_env.clock);
    } catch (const CFileException& e) {
        ShowMessage(this,
                    QStringLiteral("打开%1失败！").arg(QString::fromStdString(e.m_strFileName)),
                    OpenFailureReason(e.m_nErrno));
        return;
    }
    m_pReader->Start();
    m_reconnect.Trace(path);
    m_bPortOpen = true;
    ApplyPortState();
    if (OneAndAHalfStopBitsBecomeTwo(line) && !m_bToldTwoStopBits) {
        m_bToldTwoStopBits = true;  // once: the user has seen it and chose to keep the setting
        ShowMessage(this, QStringLiteral("该驱动在 6、7、8 位数据位时不支持 1.5 位停止位，已使用 2 位停止位。"));
    }
}

void CPortBenchDlg::ClosePort() {
    StopCycling();
    m_reconnect.Stop();
    StopReader();
    EndReceivedStream();
    m_bPortOpen = false;
    ApplyPortState();
}

void CPortBenchDlg::ApplyPortState() {
    const bool open = m_bPortOpen;
    m_btnOpen->setText(open ? kCloseCaption : kOpenCaption);
    ShowLamp(open);
    // Settings and converters only while closed; sending only while open.
    for (QWidget* w : std::initializer_list<QWidget*>{m_cbPort, m_cbBaud, m_cbParity, m_cbDataBits,
                                                      m_cbStopBits, m_btnToStr, m_btnToHex,
                                                      m_chkConvSend, m_chkConvReceive}) {
        w->setEnabled(!open);
    }
    m_btnSend->setEnabled(open);
    m_advanced->SetPortOpen(m_pReader != nullptr);  // a port waiting for its device takes no request
    ShowNetworkPortState();
}

void CPortBenchDlg::StopReader() {
    m_opener.Cancel();
    m_pReader.reset();  // the reader stops as it goes
    // What it still posted about its controls and lines is of a port that is no more.
    QCoreApplication::removePostedEvents(this, WM_PORT_CONTROL_DONE);
    QCoreApplication::removePostedEvents(this, WM_PORT_MODEM);
}

bool CPortBenchDlg::event(QEvent* e) {
    // The window system asks for the cursor before every move that no button holds.
    if (e->type() == QEvent::MouseMove) {
        auto* move = static_cast<QMouseEvent*>(e);
        if (move->buttons() == Qt::NoButton) OnSetCursor(move->position().toPoint());
    }
    if (m_layoutHost) m_layoutHost->FilterEvent(e);
    if (e->type() == QEvent::Show || e->type() == QEvent::Move) ApplyMinTrackSize();
    if (OnPortEvent(e)) return true;
    return QDialog::event(e);
}

void CPortBenchDlg::OnPortReceived() {
    // Every queued batch in order, but for no longer than an eighth of a frame: under a
    // flood the queue refills as fast as it empties, and the window must still paint and
    // listen (measured: 2 ms keeps the worst stall near 10 ms at full speed).
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(2);
    while (const MyMsg* msg = m_rxQueue.Front()) {
        HandleBatch(*msg);
        m_rxQueue.Pop();
        if (Clock::now() >= until && m_rxQueue.Size() > 0) {
            PostPortReceived();  // the rest after what else is waiting
            break;
        }
    }
    FlushLog();
    if (!m_rxCountTimer.isActive()) m_rxCountTimer.start();
}

void CPortBenchDlg::HandleBatch(const MyMsg& msg) {
    const int length = msg.m_nLength;
    std::string chunk = ReceivedChunk(msg);
    if (m_chkTimestamp->isChecked() && !chunk.empty()) {
        if (m_chkCharTs->isChecked() && m_chkHexShow->isChecked()) {
            const QString trigger = m_editTrigger->text();
            StampAtTrigger(chunk,
                           {reinterpret_cast<const char16_t*>(trigger.utf16()),
                            static_cast<size_t>(trigger.size())},
                           [&msg] { return msg.m_time; });
        } else {
            StampChunk(chunk, msg.m_time);
        }
    }
    if (m_chkSave->isChecked()) {
        QueueLogText(chunk, msg.m_time);
    } else if (!m_chkPause->isChecked()) {
        if (m_chkWrap->isChecked() && !chunk.empty()) chunk += "\r\n";
        AppendToReceiveArea(chunk);
    }
    m_dwRxCount += static_cast<uint32_t>(length);
}

void CPortBenchDlg::ShowRxCount() {
    m_rxCountTimer.stop();
    SetCounterText(m_stRxCount, m_dwRxCount);
}

void CPortBenchDlg::QueueLogText(const std::string& chunk, const UtcTime& arrival) {
    const UtcTime& day = m_pendingLogDay;
    if (!m_pendingLog.empty() &&
        (day.year != arrival.year || day.month != arrival.month || day.day != arrival.day)) {
        FlushLog();  // a new UTC day: the old day's file gets what belongs to it
    }
    if (!m_chkSave->isChecked()) {  // that write failed and saving stopped
        AppendToReceiveArea(chunk);
        return;
    }
    m_pendingLog += chunk;
    m_pendingLogDay = arrival;
}

void CPortBenchDlg::FlushLog() {
    if (m_pendingLog.empty()) return;
    const std::string text = std::exchange(m_pendingLog, {});
    std::string error;
    size_t written = 0;
    if (FileLog().Write(text, m_pendingLogDay, error, &written)) return;
    // Saving stops as if the box were unticked, and what the file did not take is shown, so
    // nothing is lost and nothing appears twice.
    m_chkSave->setChecked(false);
    OnSaveClicked();
    AppendToReceiveArea(text.substr(written));
    // Told after the batches are handled, so the reader is not held while the box is open.
    QMetaObject::invokeMethod(
        this,
        [this, error] {
            ShowMessage(this, QStringLiteral("无法写入接收日志，已停止保存数据。"),
                        QString::fromLocal8Bit(error.c_str()));
        },
        Qt::QueuedConnection);
}

ReceiveLog& CPortBenchDlg::FileLog() {
    if (!m_fileLog) {
        m_fileLog.emplace(LogDirectoryInUse());
    }
    return *m_fileLog;
}

void CPortBenchDlg::OnTimestampOrHexShowClicked() {
    m_editReceive->SetPairLayout(m_chkHexShow->isChecked());
    if (m_chkTimestamp->isChecked() && m_chkHexShow->isChecked()) {
        m_chkCharTs->setEnabled(true);
    } else {
        m_chkCharTs->setEnabled(false);
        m_editTrigger->setEnabled(false);
        m_chkCharTs->setChecked(false);
    }
}

void CPortBenchDlg::OnCharTsClicked() { m_editTrigger->setEnabled(m_chkCharTs->isChecked()); }

void CPortBenchDlg::OnClearReceive() {
    SetReceiveField({});
    ShowExchange();
}

void CPortBenchDlg::OnResetCounters() {
    m_dwRxCount = 0;
    m_dwTxCount = 0;
    ShowExchange();
}

void CPortBenchDlg::OnPortHungUp() {
    // A report from a reader that has been closed since is stale.
    if (m_pReader && m_pReader->HungUp()) ReportPortGone();
}

void CPortBenchDlg::ReportPortGone() {
    if (m_advanced->Options().autoReconnect) return WaitForPort();
    const QString port = QString::fromStdString(m_pReader->Port());
    const QString why = PortGoneReason(m_pReader->Port(), m_pReader->File()->HangUpError());
    ClosePort();
    ShowMessage(this, QStringLiteral("串口%1已断开！").arg(port), why);
}

void CPortBenchDlg::done(int result) {
    // However the dialog ends (close box, Esc, Enter), the port is released first. The
    // advanced window goes first of all: a field it leaves takes what was typed there, which
    // asks the port and is remembered, and later, in its destruction, would reach widgets
    // already gone.
    m_advanced->hide();
    StopCycling();
    m_reconnect.Stop();
    StopReader();
    EndReceivedStream();
    m_bPortOpen = false;
    RememberSettings();
    QDialog::done(result);
}

void CPortBenchDlg::keyPressEvent(QKeyEvent* e) {
    // Enter takes what was typed (and says so when it does not fit) but never ends the
    // window: that would close the port and lose the receive area. Esc still ends it.
    // Multi-line edits keep Enter for new lines.
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && e->modifiers() == Qt::NoModifier) {
        TakeExchange();
        return;
    }
    QDialog::keyPressEvent(e);
}

void CPortBenchDlg::contextMenuEvent(QContextMenuEvent* e) {
    // The window menu's place: the dialog's background, frames and labels, not its controls.
    QWidget* under = childAt(e->pos());
    if (under && !qobject_cast<QGroupBox*>(under) && !qobject_cast<QLabel*>(under)) return;
    QMenu menu(this);
    menu.addSeparator();
    menu.addAction(kAdvancedItem, this, &CPortBenchDlg::ShowAdvanced);
    menu.addAction(kAboutItem, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    menu.exec(e->globalPos());
}

void CPortBenchDlg::OnSend() {
    if (m_bCycling || m_nStreamJob || m_bWriteHeld) {  // 停止: at once, whatever the fields hold
        StopCycling();
        return;
    }
    TakeExchange();  // a validation message is shown; the command goes on regardless
    if (m_chkHexSend->isChecked() && RefuseNonHex(m_strSend, QStringLiteral("没有发送任何数据"))) return;
    m_pSendBuf = PrepareSendBuffer();
    if (m_chkCycle->isChecked()) {
        m_nCyclePeriod = m_dwInterval;
        if (m_dwInterval == 0) {  // the take exchange has said why
            m_pSendBuf.clear();
            return;
        }
        WriteSendBuffer();
        ShowExchange();
        // Longer periods are clamped, as a Win32 window timer clamps them.
        m_cycleTimer.Start(std::chrono::milliseconds(std::min<uint32_t>(m_nCyclePeriod, INT_MAX)));
        m_editSend->setEnabled(false);
        m_btnSend->setText(QStringLiteral("停止"));
        m_bCycling = true;
        m_btnOpen->setEnabled(false);
        m_chkHexSend->setEnabled(false);
    } else {
        WriteSendBuffer();
        ShowExchange();
        m_pSendBuf.clear();
    }
    RecordSent();
}

void CPortBenchDlg::StopCycling() {
    EndStream();
    if (!m_bCycling) return;
    m_cycleTimer.Stop();
    m_editSend->setEnabled(true);
    m_btnSend->setText(QStringLiteral("发送"));
    m_pSendBuf.clear();
    m_bCycling = false;
    m_btnOpen->setEnabled(true);
    m_chkHexSend->setEnabled(true);
}

void CPortBenchDlg::OnCycleTick() {
    // Only writes: no exchange, so what the user is typing is neither validated nor
    // overwritten. While the last bytes are still going out the line can carry no more:
    // the tick is skipped, not queued.
    if (m_pReader && m_pReader->WriterIdle()) WriteSendBuffer();
}

void CPortBenchDlg::OnPortWritten(uint32_t written, bool failed) {
    m_dwTxCount += written;
    SetCounterText(m_stTxCount, m_dwTxCount);
    if (!failed || !m_pReader) return;  // from a port closed since: counted, nothing more

    if (m_pReader->File()->HungUp()) return ReportPortGone();
    StopCycling();
    ShowMessage(this,
                QStringLiteral("向%1发送数据失败！").arg(QString::fromStdString(m_pReader->Port())),
                QStringLiteral("写入设备时出错。"));
}

void CPortBenchDlg::OnClearSend() {
    m_strSend.clear();
    m_bSendSet = true;
    ShowExchange();
}

void CPortBenchDlg::OnConvert(QPushButton* pressed,
                              std::u16string (*convert)(std::u16string_view, const std::string&),
                              bool fromHex) {
    const QString refused = QStringLiteral("没有转换");
    pressed->setEnabled(false);
    if (m_chkConvSend->isChecked()) {
        TakeExchange();
        if (!m_strSend.isEmpty() && !(fromHex && RefuseNonHex(m_strSend, refused))) {
            m_strSend = QString::fromStdU16String(convert(m_strSend.toStdU16String(), m_env.charset));
            m_bSendSet = true;
            ShowExchange();
        }
    } else if (m_chkConvReceive->isChecked()) {
        TakeExchange();
        const std::u16string text = m_strReceive.ToUtf16();
        if (!text.empty() && !(fromHex && RefuseNonHex(QString::fromStdU16String(text), refused))) {
            SetReceiveField(ReceiveText::FromUtf16(convert(text, m_env.charset)));
            ShowExchange();
        }
    }
    pressed->setEnabled(true);
}

bool CPortBenchDlg::RefuseNonHex(const QString& text, const QString& outcome) {
    const QString notice = NonHexNotice(text);
    if (notice.isEmpty()) return false;
    ShowMessage(this, notice + QStringLiteral("，") + outcome + QStringLiteral("。"),
                QStringLiteral("十六进制数据只能包含 0-9、A-F、a-f 和空白字符。"));
    return true;
}
