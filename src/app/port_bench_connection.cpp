// The main dialog's part in the connection options: settings remembered across starts, and
// a port that waits for its device to come back.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <filesystem>
#include <system_error>

#include "app/message_box.h"
#include "app/port_bench_dlg.h"
#include "app/port_failure_text.h"
#include "app/settings_store.h"
#include "dialog/popup_combo_box.h"
#include "receive/chunk.h"
#include "receive/receive_view.h"
#include "serial/file_exception.h"
#include "serial/line_settings.h"
#include "serial/open_port.h"
#include "ui/advanced_dlg.h"
#include "ui/decimal_field.h"

namespace {

void SelectValue(QComboBox* combo, int value) {
    const int index = combo->findData(value);
    if (index >= 0) combo->setCurrentIndex(index);
}

}  // namespace

QString CPortBenchDlg::SettingsPath() const {
    return m_env.settingsFile.empty() ? SettingsFile() : QString::fromStdString(m_env.settingsFile);
}

RememberedSettings CPortBenchDlg::CurrentSettings() const {
    RememberedSettings s;
    s.port = m_cbPort->currentText().toStdString();
    s.networkPorts = m_networkPorts;
    // While a custom rate is shown the list's own entries are not selected: the default stands.
    const int baud = LookUpSetting(kBaudList, m_cbBaud->currentText().toStdString());
    s.baud =
        static_cast<uint32_t>(baud > 0 ? baud : LookUpSetting(kBaudList, kBaudList.defaultLabel));
    s.parity = m_cbParity->currentData().toInt();
    s.dataBits = m_cbDataBits->currentData().toInt();
    s.stopBits = m_cbStopBits->currentData().toInt();
    s.hexShow = m_chkHexShow->isChecked();
    s.timestamp = m_chkTimestamp->isChecked();
    s.charTimestamp = m_chkCharTs->isChecked();
    s.trigger =
        (m_editTrigger->hasAcceptableInput() ? m_editTrigger->text() : m_strTrigger).toStdString();
    s.wrap = m_chkWrap->isChecked();
    s.hexSend = m_chkHexSend->isChecked();
    s.cycle = m_chkCycle->isChecked();
    s.interval = m_dwInterval;
    uint32_t typed = 0;  // what is typed counts, as it would at the next send
    if (ParseUInt32(m_editInterval->text().toStdU16String(), typed) && typed > 0)
        s.interval = typed;
    s.options = m_advanced->Options();
    return s;
}

void CPortBenchDlg::RestoreSettings() {
    RememberedSettings s = CurrentSettings();  // the start-up state
    if (!LoadSettings(SettingsPath(), s)) {
        // Told once the window is up; each value that did not fit keeps its start-up state.
        QMetaObject::invokeMethod(
            this,
            [this] {
                ShowMessage(
                    this,
                    QStringLiteral("保存的设置无法读取或含有无效内容，已忽略，改用默认设置。"),
                    SettingsPath());
            },
            Qt::QueuedConnection);
    }
    if (!s.options.rememberSettings) return;
    for (const std::string& port : s.networkPorts) AddNetworkPort(port);
    if (IsNetworkPortPath(s.port)) AddNetworkPort(s.port);  // remembered from the command line
    SelectValue(m_cbBaud, static_cast<int>(s.baud));
    SelectValue(m_cbParity, s.parity);
    SelectValue(m_cbDataBits, s.dataBits);
    SelectValue(m_cbStopBits, s.stopBits);
    m_chkHexShow->setChecked(s.hexShow);
    m_chkTimestamp->setChecked(s.timestamp);
    OnTimestampOrHexShowClicked();
    m_chkCharTs->setChecked(s.charTimestamp && m_chkCharTs->isEnabled());
    OnCharTsClicked();
    m_strTrigger = QString::fromStdString(s.trigger);
    m_bTriggerSet = true;
    m_chkWrap->setChecked(s.wrap);
    m_chkHexSend->setChecked(s.hexSend);
    m_chkCycle->setChecked(s.cycle);
    m_dwInterval = s.interval;
    m_bIntervalSet = true;
    ShowExchange();
    m_advanced->SetOptions(s.options);
    ChooseRememberedPort(s.port);
}

void CPortBenchDlg::ChooseRememberedPort(const std::string& port) {
    if (port.empty()) return;
    // A port named on the command line is the one the user means to use now.
    const bool named = !m_env.extraPorts.empty();
    const QString name = QString::fromStdString(port);
    if (m_cbPort->findText(name) < 0) {
        std::error_code error;
        if (!std::filesystem::exists(port, error)) {
            if (named) return;
            const QString chosen = m_cbPort->currentText();
            ShowPortNotice(
                QStringLiteral("记住的串口%1不存在").arg(name) +
                (chosen.isEmpty() ? QString() : QStringLiteral("，已改选%1").arg(chosen)));
            return;
        }
        // Not discovered (a pseudo-terminal, a port once named on the command line): listed
        // for this run as the command line's are.
        m_env.extraPorts.push_back(port);
        FillPortList();
    }
    if (!named) m_cbPort->setCurrentIndex(m_cbPort->findText(name));
}

void CPortBenchDlg::RememberSettings() {
    if (SaveSettings(SettingsPath(), CurrentSettings())) return;
    ShowMessage(this, QStringLiteral("无法保存设置。"), SettingsPath());
}

void CPortBenchDlg::WaitForPort() {
    const std::string path = m_pReader->Port();
    StopReader();
    // What was read before the cut is shown before the line that tells of it.
    EndReceivedStream();
    ShowPortNotice(QStringLiteral("串口已断开"));
    if (IsNetworkPortPath(path)) {
        ReconnectNetworkPort(path);
    } else {
        m_reconnect.Wait();
    }
    ApplyPortState();
}

void CPortBenchDlg::OnDeviceBack(const std::string& path) {
    try {
        PortEventSink& sink = *this;
        m_pReader = std::make_unique<CSerialReader>(
            sink, m_rxQueue, OpenSerialPort(path, ChosenLine()), m_env.clock);
    } catch (const CFileException& e) {
        // Still settling, or held by another program: the next look tries again.
        if (m_reconnect.FirstRefusal()) {
            ShowPortNotice(QStringLiteral("串口已重新出现，但无法打开，正在重试：") +
                           OpenFailureReason(e.m_nErrno).replace(u'\n', QString()));
        }
        return;
    }
    m_reconnect.Stop();
    ShowPortNotice(QStringLiteral("串口已重新连接"));  // before the reader reads the clock too
    m_pReader->Start();
    ApplyPortState();
}

void CPortBenchDlg::ShowPortNotice(const QString& what) {
    const UtcTime now = m_env.clock();
    // The stamp's own line breaks frame the notice.
    const QString line =
        QStringLiteral("\r\n") + what + u' ' + QString::fromLatin1(FormatStamp(now).substr(2));
    if (m_editReceive->Length() + static_cast<size_t>(line.size()) < m_editReceive->TextLimit()) {
        m_editReceive->AppendText(line.toStdU16String());
    }
    if (m_chkSave->isChecked()) {
        QueueLogText(line.toStdString(), now);  // UTF-8, as a reader of the log expects
        FlushLog();
    }
}
