#include "ui/advanced_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>
#include <utility>

#include "ui/command_page.h"
#include "ui/connection_page.h"
#include "ui/line_control_page.h"
#include "ui/receive_page.h"
#include "ui/send_page.h"

namespace {

// What failed and why, in the user's words, with the system's own below.
QString ControlFailure(PortControl control, int error) {
    QString what;
    switch (control) {
        case PortControl::Line:
            what = QStringLiteral("无法更改流控或波特率");
            break;
        case PortControl::Dtr:
            what = QStringLiteral("无法切换 DTR");
            break;
        case PortControl::Rts:
            what = QStringLiteral("无法切换 RTS");
            break;
        case PortControl::Pulse:
            what = QStringLiteral("无法发送复位脉冲");
            break;
        case PortControl::Break:
            what = QStringLiteral("无法发送 Break");
            break;
    }
    QString reason;
    switch (error) {
        case ENOTTY:
        case EINVAL:
            reason = QStringLiteral("该串口的驱动不支持这项设置");
            break;
        case EIO:
            reason = QStringLiteral("设备没有响应（输入/输出错误），请检查连接");
            break;
        case EOPNOTSUPP:
            reason = QStringLiteral("这是原始 TCP 端口，线路设置由远端决定");
            break;
        default:
            reason = QStringLiteral("串口拒绝了这项操作");
            break;
    }
    return QStringLiteral("%1：%2，串口保持原样。\n（系统：%3）")
        .arg(what, reason, QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

CAdvancedDlg::CAdvancedDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("高级设置"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->setUsesScrollButtons(false);  // the window is as wide as its tabs: all of them show
    m_linePage = new CLineControlPage(tabs);
    m_connectionPage = new CConnectionPage(tabs);
    tabs->addTab(m_linePage, QStringLiteral("线路控制"));
    tabs->addTab(m_connectionPage, QStringLiteral("连接"));
    m_sendPage = new CSendPage(tabs);
    tabs->addTab(m_sendPage, QStringLiteral("发送"));
    m_receivePage = new CReceivePage(tabs);
    tabs->addTab(m_receivePage, QStringLiteral("接收"));
    m_commandPage = new CCommandPage(tabs);
    tabs->addTab(m_commandPage, QStringLiteral("常用命令"));
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);
    m_lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setAutoDefault(false);  // Enter belongs to the fields

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lblStatus, 1);
    buttons->addWidget(close, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_linePage, &CLineControlPage::optionsEdited, this, &CAdvancedDlg::OnEdited);
    connect(m_connectionPage, &CConnectionPage::optionsEdited, this, &CAdvancedDlg::OnEdited);
    connect(m_sendPage, &CSendPage::optionsEdited, this, &CAdvancedDlg::OnEdited);
    connect(m_sendPage, &CSendPage::sendFileChosen, this, &CAdvancedDlg::sendFileRequested);
    connect(m_sendPage, &CSendPage::sendFileCancelled, this, &CAdvancedDlg::sendFileCancelled);
    connect(m_receivePage, &CReceivePage::optionsEdited, this, &CAdvancedDlg::OnEdited);
    connect(m_receivePage, &CReceivePage::refused, this, &CAdvancedDlg::ShowError);
    connect(m_connectionPage, &CConnectionPage::networkPortAdded, this, &CAdvancedDlg::networkPortAdded);
    connect(m_connectionPage, &CConnectionPage::networkPortRemoved, this,
            &CAdvancedDlg::networkPortRemoved);
    connect(m_linePage, &CLineControlPage::refused, this, &CAdvancedDlg::ShowError);
    connect(m_linePage, &CLineControlPage::modemLineToggled, this, [this](ModemLine line, bool on) {
        ShowError({});
        emit modemLineToggled(line, on);
    });
    connect(m_linePage, &CLineControlPage::pulseRequested, this, [this] {
        ShowError({});
        emit pulseRequested();
    });
    connect(m_linePage, &CLineControlPage::breakRequested, this, [this] {
        m_pendingBreaks.push_back(m_options.breakMs);
        ShowError(QStringLiteral("正在发送 Break（%1 毫秒）…").arg(m_options.breakMs));
        emit breakRequested();
    });
    Keep(m_options);
}

void CAdvancedDlg::SetOptions(const PortOptions& options) {
    const bool lineChanged =
        options.flow != m_options.flow || options.customBaud != m_options.customBaud;
    Keep(options);
    if (m_open && lineChanged) {
        m_pendingLines.push_back(options);
        emit lineChangeRequested();
    }
}

void CAdvancedDlg::Keep(const PortOptions& options) {
    m_linePage->ShowOptions(options);
    m_connectionPage->ShowOptions(options);
    m_sendPage->ShowOptions(options);
    m_receivePage->ShowOptions(options);
    if (options == m_options) return;
    m_options = options;
    emit optionsChanged(options);
}

void CAdvancedDlg::OnEdited(const PortOptions& options) {
    ShowError({});
    SetOptions(options);
}

void CAdvancedDlg::ShowNetworkPorts(const QStringList& paths) {
    m_connectionPage->ShowNetworkPorts(paths);
}

void CAdvancedDlg::SetPortOpen(bool open) {
    m_open = open;
    m_inEffect = m_options;
    m_pendingLines.clear();
    if (!std::exchange(m_pendingBreaks, {}).empty()) ShowError({});  // cut short by the close
    m_linePage->SetPortOpen(open);
    m_sendPage->SetPortOpen(open);
}

void CAdvancedDlg::ShowModemStatus(std::optional<ModemStatus> status) {
    m_linePage->ShowModemStatus(status);
}

void CAdvancedDlg::ControlDone(PortControl control, int error) {
    if (control == PortControl::Line && !m_pendingLines.empty()) {
        const PortOptions asked = m_pendingLines.front();
        m_pendingLines.pop_front();
        if (!error) {
            m_inEffect = asked;
        } else if (m_pendingLines.empty()) {
            // Shown as the port still has it; the port is not asked again.
            PortOptions kept = m_options;
            kept.flow = m_inEffect.flow;
            kept.customBaud = m_inEffect.customBaud;
            Keep(kept);
        }
    }
    if (control == PortControl::Break) {
        if (m_pendingBreaks.empty()) return;  // asked of a port closed since
        const uint32_t ms = m_pendingBreaks.front();
        m_pendingBreaks.pop_front();
        if (!error) ShowError(QStringLiteral("已发送 Break（%1 毫秒）。").arg(ms));
    }
    if (!error) return;
    ShowError(ControlFailure(control, error));
    if (control == PortControl::Dtr || control == PortControl::Rts) m_linePage->RestoreLines();
}

void CAdvancedDlg::ShowError(const QString& text) { m_lblStatus->setText(text); }

void CAdvancedDlg::ShowFileProgress(uint64_t sent, uint64_t total, std::chrono::milliseconds elapsed) {
    m_sendPage->ShowFileProgress(sent, total, elapsed);
}

void CAdvancedDlg::EndFileProgress(const QString& outcome) { m_sendPage->EndFileProgress(outcome); }

void CAdvancedDlg::ShowFileHeld(uint64_t left) { m_sendPage->ShowFileHeld(left); }
