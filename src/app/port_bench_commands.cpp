// The main dialog's part in the saved commands: the list and the history of sends kept on
// disk, their shortcuts, and sending one as the send button does.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "app/message_box.h"
#include "app/port_bench_dlg.h"
#include "ui/advanced_dlg.h"
#include "ui/command_page.h"
#include "ui/send_edit.h"

namespace {

constexpr size_t kListedBadLines = 20;
constexpr size_t kShortcuts = 10;
const QString kFileFilter = QStringLiteral("命令文件 (*.txt);;所有文件 (*)");

QString Problem(CommandLineProblem problem) {
    switch (problem) {
        case CommandLineProblem::NotUtf8:
            return QStringLiteral("不是 UTF-8 文本");
        case CommandLineProblem::FieldCount:
            return QStringLiteral("应为“名称<Tab>text 或 hex<Tab>内容”三项");
        case CommandLineProblem::UnknownKind:
            return QStringLiteral("类型只能是 text 或 hex");
        case CommandLineProblem::BadEscape:
            return QStringLiteral("反斜杠后只能是 \\、t、n 或 r");
        case CommandLineProblem::NotHex:
            return QStringLiteral("十六进制内容含有十六进制数字和空白以外的字符");
    }
    return {};
}

// One line for each bad line, the first few of a long list.
QString BadLines(const std::vector<BadCommandLine>& bad) {
    QStringList lines;
    for (size_t i = 0; i < std::min(bad.size(), kListedBadLines); ++i) {
        lines << QStringLiteral("第 %1 行：%2").arg(bad[i].line).arg(Problem(bad[i].problem));
    }
    if (bad.size() > kListedBadLines)
        lines << QStringLiteral("……共 %1 行无法读取。").arg(bad.size());
    return lines.join(u'\n');
}

const QString kNotRegularFile = QStringLiteral("不是普通文件，而是设备、管道或文件夹。");

// nullopt, with the reason in `error`, when the file cannot be read; `missing` when it is not
// there.
std::optional<CommandFile> ReadCommands(const QString& path, QString& error,
                                        bool* missing = nullptr) {
    using Outcome = CommandFileText::Outcome;
    const CommandFileText file = ReadCommandFileText(QFile::encodeName(path).toStdString());
    switch (file.outcome) {
        case Outcome::Read:
            return ParseCommandFile(file.content);
        case Outcome::NotRegularFile:
            error = kNotRegularFile;
            break;
        case Outcome::TooLarge:
            error = QStringLiteral("文件太大（超过 %1 MB），不是命令文件。")
                        .arg(kMaxCommandFileBytes >> 20);
            break;
        case Outcome::Failed:
            error = QString::fromLocal8Bit(std::strerror(file.error));
            if (missing) *missing = file.error == ENOENT;
            break;
    }
    return std::nullopt;
}

// Whole or not at all: a failed write leaves the old file.
bool WriteCommands(const QString& path, const std::vector<SavedCommand>& commands, QString& error) {
    if (const QFileInfo target(path); target.exists() && !target.isFile()) {
        error = kNotRegularFile;
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const std::string text = WriteCommandFile(commands);
    const auto size = static_cast<qint64>(text.size());
    if (file.open(QIODevice::WriteOnly) && file.write(text.data(), size) == size && file.commit())
        return true;
    error = file.errorString();
    return false;
}

}  // namespace

void CPortBenchDlg::MakeCommandList() {
    CCommandPage* page = m_advanced->Commands();
    page->SetHexCheck(
        [this](const QString& text) { return RefuseNonHex(text, QStringLiteral("没有保存")); });
    QString error, message;
    bool missing = false;  // none saved yet
    const QString path = CommandPath("commands.txt");
    if (const std::optional<CommandFile> read = ReadCommands(path, error, &missing)) {
        m_commands = read->commands;
        if (!read->bad.empty()) {
            // The lines stay in the file until the list is changed.
            message = QStringLiteral(
                "常用命令文件中有无法读取的内容，已跳过；修改命令列表后它们将不再保存。");
            error = BadLines(read->bad);
        }
    } else if (!missing) {
        message = QStringLiteral("无法读取常用命令文件，命令列表为空。");
    }
    if (!message.isEmpty()) {  // told once the window is up
        QMetaObject::invokeMethod(
            this,
            [this, path, message, error] { ShowMessage(this, message, path + u'\n' + error); },
            Qt::QueuedConnection);
    }
    if (m_advanced->Options().rememberSettings) {
        if (const std::optional<CommandFile> read = ReadCommands(CommandPath("history.txt"), error))
            m_history.Set(read->commands);
    }
    page->ShowCommands(m_commands);
    page->ShowHistory(m_history.Entries());

    connect(page, &CCommandPage::commandsEdited, this,
            [this](const std::vector<SavedCommand>& commands) {
                m_commands = commands;
                SaveCommands();
            });
    connect(page, &CCommandPage::sendRequested, this, &CPortBenchDlg::SendCommand);
    connect(page, &CCommandPage::importRequested, this, &CPortBenchDlg::ImportCommands);
    connect(page, &CCommandPage::exportRequested, this, &CPortBenchDlg::ExportCommands);
    connect(page, &CCommandPage::historyCleared, this, [this, page] {
        m_history.Clear();
        page->ShowHistory(m_history.Entries());
        SaveHistory();
    });
    connect(m_advanced, &CAdvancedDlg::optionsChanged, this, &CPortBenchDlg::SaveHistory);
    for (size_t i = 0; i < kShortcuts; ++i) {
        for (QWidget* window : {static_cast<QWidget*>(this), static_cast<QWidget*>(m_advanced)}) {
            auto* shortcut = new QShortcut(CommandShortcut(i), window);
            connect(shortcut, &QShortcut::activated, this, [this, i] {
                if (i < m_commands.size()) SendCommand(m_commands[i]);
            });
        }
    }
}

QString CPortBenchDlg::CommandPath(const char* file) const {
    const QString dir =
        m_env.commandDirectory.empty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                  QStringLiteral("/corvala")
            : QString::fromStdString(m_env.commandDirectory);
    return dir + u'/' + QString::fromUtf8(file);
}

void CPortBenchDlg::SaveCommands() {
    QString error;
    const QString path = CommandPath("commands.txt");
    if (!WriteCommands(path, m_commands, error))
        ShowMessage(m_advanced, QStringLiteral("无法保存常用命令。"), path + u'\n' + error);
}

void CPortBenchDlg::SaveHistory() {
    const QString path = CommandPath("history.txt");
    QString error;
    // History is no loss worth a message: the sends were made.
    if (!m_advanced->Options().rememberSettings) {
        QFile::remove(path);
    } else {
        WriteCommands(path, m_history.Entries(), error);
    }
}

void CPortBenchDlg::RecordSent() {
    const QString text = m_editSend->toPlainText();
    if (text.trimmed().isEmpty()) return;
    m_history.Add({{}, text.toStdString(), m_chkHexSend->isChecked()});
    m_advanced->Commands()->ShowHistory(m_history.Entries());
    SaveHistory();
}

void CPortBenchDlg::SendCommand(const SavedCommand& command) {
    if (m_bCycling || m_nStreamJob) {  // 发送 reads 停止: it would end that send, not make this one
        QApplication::beep();
        return;
    }
    m_editSend->setPlainText(QString::fromStdString(command.text));
    m_chkHexSend->setChecked(command.hex);
    if (m_btnSend->isEnabled()) OnSend();  // closed: the command waits in the send area
}

void CPortBenchDlg::ImportCommands() {
    const QString path =
        QFileDialog::getOpenFileName(m_advanced, QStringLiteral("导入常用命令"), {}, kFileFilter);
    if (path.isEmpty()) return;
    QString error;
    const std::optional<CommandFile> read = ReadCommands(path, error);
    if (!read)
        return ShowMessage(m_advanced, QStringLiteral("无法读取命令文件。"), path + u'\n' + error);
    if (read->commands.empty() && read->bad.empty())
        return ShowMessage(m_advanced, QStringLiteral("文件中没有命令。"), path);
    m_commands.insert(m_commands.end(), read->commands.begin(), read->commands.end());
    m_advanced->Commands()->ShowCommands(m_commands);
    SaveCommands();
    if (read->bad.empty()) return;
    ShowMessage(m_advanced,
                QStringLiteral("已导入 %1 条命令，以下 %2 行无法读取，已跳过：")
                    .arg(read->commands.size())
                    .arg(read->bad.size()),
                BadLines(read->bad));
}

void CPortBenchDlg::ExportCommands() {
    const QString path = QFileDialog::getSaveFileName(m_advanced, QStringLiteral("导出常用命令"),
                                                      QStringLiteral("commands.txt"), kFileFilter);
    if (path.isEmpty()) return;
    QString error;
    if (!WriteCommands(path, m_commands, error))
        ShowMessage(m_advanced, QStringLiteral("无法导出常用命令。"), path + u'\n' + error);
}
