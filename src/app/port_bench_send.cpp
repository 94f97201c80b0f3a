// The main dialog's part in the send workflow: the line ending and the pause between bytes
// the 发送 page sets, a file sent raw with its progress, sends echoed among what was
// received, and Ctrl+Enter and Ctrl+Up/Down in the send area.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <cstring>

#include "app/message_box.h"
#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "send/echo_line.h"
#include "send/file_source.h"
#include "send/send_text.h"
#include "ui/advanced_dlg.h"
#include "ui/send_edit.h"
#include "ui/send_page.h"

namespace {

QString SystemReason(int error) {
    return QStringLiteral("（系统：%1）").arg(QString::fromLocal8Bit(std::strerror(error)));
}

// How far a file send got, for the 发送 page.
QString FileOutcome(const StreamReport& r, uint64_t total) {
    const QString sent = total ? QStringLiteral("%1 / %2 字节").arg(r.sent).arg(total)
                               : QStringLiteral("%1 字节").arg(r.sent);
    if (r.readError) return QStringLiteral("读取文件出错，已停止：已发送 %1").arg(sent);
    if (r.failed) return QStringLiteral("写入串口出错，已停止：已发送 %1").arg(sent);
    // A cancel that came as the last byte went cut nothing short.
    if (r.cancelled && !(total && r.sent == total)) return QStringLiteral("已取消：已发送 %1").arg(sent);
    return QStringLiteral("发送完成：%1").arg(sent);
}

}  // namespace

void CPortBenchDlg::MakeSendOptions() {
    connect(m_advanced, &CAdvancedDlg::sendFileRequested, this, &CPortBenchDlg::SendFile);
    connect(m_advanced, &CAdvancedDlg::sendFileCancelled, this, [this] {
        if (m_nFileJob && m_pReader) m_pReader->CancelWrites();
    });
    // Plain Enter still breaks the line; with Ctrl it presses the send button, when it can be.
    for (const QKeyCombination key : {QKeyCombination(Qt::ControlModifier, Qt::Key_Return),
                                      QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(QKeySequence(key), m_editSend, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_btnSend->isEnabled()) m_btnSend->click();
        });
    }
    for (const bool older : {true, false}) {
        const QKeySequence key(Qt::ControlModifier | (older ? Qt::Key_Up : Qt::Key_Down));
        auto* shortcut = new QShortcut(key, m_editSend, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, older] { RecallSent(older); });
    }
}

void CPortBenchDlg::RecallSent(bool older) {
    const SavedCommand shown{
        {}, m_editSend->toPlainText().toStdString(), m_chkHexSend->isChecked()};
    const std::optional<SavedCommand> entry = older ? m_history.Older(shown) : m_history.Newer();
    if (!entry) return QApplication::beep();
    m_editSend->setPlainText(QString::fromStdString(entry->text));
    m_editSend->moveCursor(QTextCursor::End);
    m_chkHexSend->setChecked(entry->hex);
}

std::vector<uint8_t> CPortBenchDlg::PrepareSendBuffer() {
    const bool hex = m_chkHexSend->isChecked();
    std::vector<uint8_t> bytes = PrepareSendBytes(m_strSend.toStdU16String(), hex, m_env.charset);
    // Hex sends exactly what was typed. The ending is part of the bytes of the press, so a
    // cycle repeats the one it started with, as it repeats the text.
    if (!hex) {
        const std::string_view ending = LineEndingBytes(m_advanced->Options().lineEnding);
        bytes.insert(bytes.end(), ending.begin(), ending.end());
    }
    return bytes;
}

void CPortBenchDlg::WriteSendBuffer() {
    if (!m_pReader) return;
    EchoSent(m_pSendBuf);
    const uint32_t gap = m_advanced->Options().charDelayMs;
    if (gap == 0 || m_pSendBuf.size() < 2) return m_pReader->Write(m_pSendBuf);
    StartStream(std::make_unique<MemorySource>(m_pSendBuf), false, 0);
}

void CPortBenchDlg::StartStream(std::unique_ptr<ByteSource> source, bool file, uint64_t total) {
    const uint64_t job = ++m_nStreams;
    m_nStreamJob = job;
    if (file) {
        m_nFileJob = job;
        m_nFileSize = total;
        m_fileStart = std::chrono::steady_clock::now();
        m_advanced->ShowFileProgress(0, total, {});
    }
    m_btnSend->setText(QStringLiteral("停止"));
    m_pReader->WriteStream(std::move(source), std::chrono::milliseconds(m_advanced->Options().charDelayMs),
                           [this, job](const StreamReport& report) {
                               QMetaObject::invokeMethod(
                                   this, [this, job, report] { OnStreamReport(job, report); },
                                   Qt::QueuedConnection);
                           });
}

void CPortBenchDlg::OnStreamReport(uint64_t job, const StreamReport& report) {
    if (job == m_nFileJob) {
        if (!report.ended) {
            m_advanced->ShowFileProgress(
                report.sent, m_nFileSize,
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_fileStart));
        } else {
            m_nFileJob = 0;
            m_advanced->EndFileProgress(FileOutcome(report, m_nFileSize));
        }
    }
    if (!report.ended || job != m_nStreamJob) return;
    m_nStreamJob = 0;
    if (!m_bCycling) m_btnSend->setText(QStringLiteral("发送"));
    // A device that stopped taking data has been told of by OnPortWritten.
    if (report.readError == ENODATA) {
        ShowMessage(this, QStringLiteral("文件%1在发送过程中变短了，已停止发送。").arg(m_strSendFile),
                    QStringLiteral("已发送 %1 字节。").arg(report.sent));
    } else if (report.readError == ENOENT) {
        ShowMessage(this, QStringLiteral("文件%1在发送过程中被删除了，已停止发送。").arg(m_strSendFile),
                    QStringLiteral("已发送 %1 字节。").arg(report.sent));
    } else if (report.readError) {
        ShowMessage(this, QStringLiteral("读取文件%1失败，已停止发送。").arg(m_strSendFile),
                    QStringLiteral("已发送 %1 字节。\n").arg(report.sent) + SystemReason(report.readError));
    }
}

void CPortBenchDlg::EndStream() {
    if (!m_nStreamJob && !m_bWriteHeld) return;
    m_nStreamJob = 0;
    if (m_pReader) m_pReader->CancelWrites();  // the file's page hears how far it got
    m_btnSend->setText(QStringLiteral("发送"));
}

void CPortBenchDlg::OnPortWriteHeld(bool held, uint64_t left) {
    m_bWriteHeld = held;
    const QString waiting = held ? HeldSendText(left) : QString();
    m_btnSend->setToolTip(waiting);
    m_btnSend->setAccessibleDescription(waiting);
    if (!m_bCycling && !m_nStreamJob)
        m_btnSend->setText(held ? QStringLiteral("停止") : QStringLiteral("发送"));
    if (held && m_nFileJob) m_advanced->ShowFileHeld(left);
}

void CPortBenchDlg::SendFile(const QString& path) {
    if (!m_pReader) return;
    int error = 0;
    std::unique_ptr<FileSource> file = FileSource::Open(QFile::encodeName(path).toStdString(), error);
    if (!file) {
        ShowMessage(this, QStringLiteral("无法打开文件%1，没有发送任何数据。").arg(path), SystemReason(error));
        return;
    }
    m_strSendFile = path;
    const uint64_t size = file->Size();
    StartStream(std::move(file), true, size);
}

void CPortBenchDlg::EchoSent(std::span<const uint8_t> bytes) {
    if (!m_advanced->Options().echo || bytes.empty()) return;
    const UtcTime now = m_env.clock();
    const UtcTime* stamp = m_chkTimestamp->isChecked() ? &now : nullptr;
    const bool hex = m_chkHexShow->isChecked();
    if (m_chkSave->isChecked()) {
        // The log's last line is not known here: the echo starts a line of its own.
        QueueLogText(EchoLine(bytes, hex, true, stamp), now);
        FlushLog();
    } else if (!m_chkPause->isChecked()) {
        const size_t length = m_editReceive->Length();
        const QString last = length > 0 ? m_editReceive->Text(length - 1, 1) : QString();
        const bool lineOpen = !last.isEmpty() && last != QStringLiteral("\n") && last != QStringLiteral("\r");
        AppendToReceiveArea(EchoLine(bytes, hex, lineOpen, stamp));
    }
}
