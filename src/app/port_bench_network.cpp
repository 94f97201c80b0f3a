// The main dialog's part in network ports: they join the port list, open on a thread of their
// own while the window goes on, and come back after a dropped connection.
#include <QComboBox>
#include <QLabel>
#include <algorithm>

#include "app/message_box.h"
#include "app/network_port_text.h"
#include "app/port_bench_dlg.h"
#include "dialog/popup_combo_box.h"
#include "serial/network_address.h"
#include "serial/port_identity.h"
#include "ui/advanced_dlg.h"

namespace {

// Said of the line settings while a raw TCP port is chosen.
const QString kFarEndOwnsLine =
    QStringLiteral("（原始 TCP 端口：线路设置由远端决定，此处不可更改）");

}  // namespace

void CPortBenchDlg::MakeNetworkPorts() {
    connect(m_advanced, &CAdvancedDlg::networkPortAdded, this, [this](const QString& path) {
        AddNetworkPort(path.toStdString());
        // An open port's list stays on it: the new entry waits for the next choice.
        if (!m_bPortOpen) m_cbPort->setCurrentIndex(m_cbPort->findText(path));
    });
    connect(m_advanced, &CAdvancedDlg::networkPortRemoved, this, [this](const QString& path) {
        // The port in use stays listed until it is closed: the list shows what is open.
        if (m_bPortOpen && m_cbPort->currentText() == path) {
            return m_advanced->ShowError(QStringLiteral("%1正在使用，关闭后才能删除。").arg(path));
        }
        std::erase(m_networkPorts, path.toStdString());
        ShowNetworkPortList();
    });
}

void CPortBenchDlg::ShowNetworkPortList() {
    QStringList paths;
    for (const std::string& path : m_networkPorts) paths << QString::fromStdString(path);
    m_advanced->ShowNetworkPorts(paths);
    FillPortList();
}

std::vector<std::string> CPortBenchDlg::ListedExtraPorts() const {
    std::vector<std::string> ports = m_env.extraPorts;
    ports.insert(ports.end(), m_networkPorts.begin(), m_networkPorts.end());
    return ports;
}

QString CPortBenchDlg::PortListIdentity(const std::string& port) const {
    if (const std::optional<NetworkAddress> address = ParseNetworkAddress(port))
        return NetworkPortDescription(*address);
    return QString::fromStdString(PortIdentity(m_env.sysfsRoot, port));
}

void CPortBenchDlg::AddNetworkPort(const std::string& path) {
    if (std::find(m_networkPorts.begin(), m_networkPorts.end(), path) == m_networkPorts.end())
        m_networkPorts.push_back(path);
    ShowNetworkPortList();
}

void CPortBenchDlg::OpenNetworkPort(const std::string& path, const LineSettings& line) {
    m_opener.Open(path, line, [this](PortOpener::Outcome outcome) {
        if (outcome.port) return OnNetworkPortOpened(std::move(outcome.port));
        m_bPortOpen = false;
        ApplyPortState();
        ShowMessage(this,
                    QStringLiteral("打开%1失败！")
                        .arg(QString::fromStdString(outcome.error->m_strFileName)),
                    NetworkOpenFailure(*outcome.error));
    });
    m_bPortOpen = true;  // 关闭 cancels the connecting
    ApplyPortState();
}

void CPortBenchDlg::ReconnectNetworkPort(const std::string& path) {
    m_opener.Retry(path, ChosenLine(), [this](PortOpener::Outcome outcome) {
        ShowPortNotice(QStringLiteral("串口已重新连接"));  // before the reader reads the clock too
        OnNetworkPortOpened(std::move(outcome.port));
    });
}

void CPortBenchDlg::OnNetworkPortOpened(std::unique_ptr<SerialPort> port) {
    PortEventSink& sink = *this;
    m_pReader = std::make_unique<CSerialReader>(sink, m_rxQueue, std::move(port), m_env.clock);
    m_pReader->Start();
    ApplyPortState();
}

void CPortBenchDlg::ShowNetworkPortState() {
    const std::optional<NetworkAddress> address =
        ParseNetworkAddress(m_cbPort->currentText().toStdString());
    const bool raw = address && address->kind == NetworkKind::RawTcp;
    for (QComboBox* list : {m_cbBaud, m_cbParity, m_cbDataBits, m_cbStopBits}) {
        if (raw) list->setEnabled(false);
        if (!raw && !m_bPortOpen) list->setEnabled(true);
        list->setToolTip(raw ? kFarEndOwnsLine : QString());
        QString description = list->accessibleDescription();
        if (description.endsWith(kFarEndOwnsLine)) description.chop(kFarEndOwnsLine.size());
        list->setAccessibleDescription(raw ? description + kFarEndOwnsLine : description);
    }
    const QString connecting = !m_opener.Busy()      ? QString()
                               : m_opener.Retrying() ? QStringLiteral("正在重新连接…")
                                                     : QStringLiteral("正在连接…");
    m_stLamp->setToolTip(connecting);
    if (!connecting.isEmpty()) m_stLamp->setAccessibleDescription(connecting);
}
