// The main dialog's part in the receive options: how received bytes read as text, and where
// the daily log goes.
//
// A chunk stays bytes from the batch to the log: only the receive area reads it as text, so
// the log keeps what the device sent, and a timestamp, which goes between chunks, always
// stands between whole characters. Hex display shows the bytes themselves, whatever the
// encoding.
#include <QCheckBox>
#include <QFile>

#include "app/port_bench_dlg.h"
#include "receive/chunk.h"
#include "receive/receive_view.h"
#include "ui/advanced_dlg.h"
#include "ui/receive_page.h"

namespace {

QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

void CPortBenchDlg::MakeReceiveOptions() {
    m_defaultLogDirectory = m_env.logDirectory.empty() ? LogDirectory() : m_env.logDirectory;
    m_advanced->ReceivePage()->SetDefaultLogDirectory(FromLocalPath(m_defaultLogDirectory));
    connect(m_advanced, &CAdvancedDlg::optionsChanged, this, &CPortBenchDlg::OnReceiveOptions);
}

void CPortBenchDlg::OnReceiveOptions(const PortOptions& options) {
    if (options.textEncoding != m_rxDecoder.Encoding())
        m_rxDecoder.SetEncoding(options.textEncoding);
    if (!m_fileLog || m_fileLog->Directory() == ReceiveLog(LogDirectoryInUse()).Directory()) return;
    FlushLog();
    m_fileLog.reset();
    if (m_chkSave->isChecked()) OnSaveClicked();  // the notice names the new directory
}

std::string CPortBenchDlg::LogDirectoryInUse() const {
    const std::string& chosen = m_advanced->Options().logDirectory;
    return chosen.empty() ? m_defaultLogDirectory : chosen;
}

void CPortBenchDlg::OnSaveClicked() {
    const bool saving = m_chkSave->isChecked();
    QString notice, tip;
    if (saving) {
        // The notice names the directory; the file, named after the UTC day, is in the tip.
        notice = QStringLiteral("数据保存在：\r\n") + FromLocalPath(FileLog().Directory());
        tip = QStringLiteral("日志文件：%1\n每个 UTC 日写入一个新文件。")
                  .arg(FromLocalPath(FileLog().FileNameFor(m_env.clock())));
    }
    SetReceiveField(ReceiveText::FromUtf16(notice.toStdU16String()));
    ShowExchange();
    m_editReceive->setEnabled(!saving);
    m_editReceive->setToolTip(tip);
}

std::string CPortBenchDlg::ReceivedChunk(const MyMsg& msg) {
    const std::span<const uint8_t> batch(msg.m_data.data(), static_cast<size_t>(msg.m_nLength));
    const bool hex = m_chkHexShow->isChecked();
    if (!hex && !batch.empty()) return m_rxDecoder.WholeCharacters(batch);
    // Bytes held back for a character go out with these, so each byte is shown once.
    const std::string bytes = m_rxDecoder.AllBytes(batch);
    return BuildChunk({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, hex);
}

void CPortBenchDlg::EndReceivedStream() {
    while (m_rxQueue.Size() > 0) OnPortReceived();
    // A character still waiting for its last bytes never gets them: what came of it is shown
    // and logged as it is, as a batch of its own (an empty one, so nothing is counted twice).
    if (!m_rxDecoder.Holding()) return;
    MyMsg end;
    end.m_time = m_env.clock();
    HandleBatch(end);
    FlushLog();
}

void CPortBenchDlg::AppendToReceiveArea(const std::string& chunk) {
    // Counted in 64 bits: a sum that wraps would let a chunk past the limit.
    const uint64_t length = m_editReceive->Length();
    if (m_chkHexShow->isChecked() || m_rxDecoder.Encoding() == TextEncoding::Bytes) {
        if (length + chunk.size() < m_editReceive->TextLimit()) m_editReceive->Append(chunk);
        return;
    }
    const std::u16string text = m_rxDecoder.Decode(chunk);
    if (length + text.size() < m_editReceive->TextLimit()) m_editReceive->AppendText(text);
}
