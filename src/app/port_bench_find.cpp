// The main dialog's part in finding: the find bar over the receive area and its keys, and
// saving what the area shows.
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QShortcut>

#include "app/message_box.h"
#include "app/port_bench_dlg.h"
#include "receive/find_bar.h"
#include "receive/receive_view.h"
#include "receive/text_save.h"
#include "ui/advanced_dlg.h"

void CPortBenchDlg::MakeFindBar() {
    m_findBar = new FindBar(m_editReceive);
    // Only while the area shows what was received: while saving, it tells where the log goes.
    auto key = [this](const char* sequence, auto action) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(sequence)), this);
        connect(shortcut, &QShortcut::activated, this, [this, action] {
            if (m_editReceive->isEnabled()) action();
        });
    };
    key("Ctrl+F", [this] { m_findBar->Open(); });
    key("F3", [this] { m_findBar->FindNext(true); });
    key("Shift+F3", [this] { m_findBar->FindNext(false); });
    connect(m_chkHexShow, &QCheckBox::toggled, m_findBar, &FindBar::SetHexPairs);
    m_findBar->SetHexPairs(m_chkHexShow->isChecked());
    // After the decoder has taken the new options: the bar reads bytes as the area does.
    connect(m_advanced, &CAdvancedDlg::optionsChanged, m_findBar,
            [this] { m_findBar->SetTextEncoding(m_rxDecoder.Encoding()); });
    m_findBar->SetTextEncoding(m_rxDecoder.Encoding());
    connect(m_editReceive, &ReceiveView::saveShownRequested, this, &CPortBenchDlg::OnSaveShown);
}

void CPortBenchDlg::OnSaveShown() {
    QFileDialog picker(this, QStringLiteral("保存显示内容"), m_saveShownFolder,
                       QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    picker.setAcceptMode(QFileDialog::AcceptSave);
    picker.setDefaultSuffix(QStringLiteral("txt"));  // for a name typed without one
    picker.selectFile(
        QDateTime::currentDateTime().toString(QStringLiteral("'接收区_'yyyy-MM-dd_HHmmss'.txt'")));
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return;
    const QString path = picker.selectedFiles().front();
    m_saveShownFolder = QFileInfo(path).absolutePath();
    std::string error;
    switch (SaveText(m_editReceive->Snapshot(), QFile::encodeName(path).toStdString(), error)) {
        case SaveOutcome::Saved:
            break;
        case SaveOutcome::NotRegularFile:
            ShowMessage(this,
                        QStringLiteral("显示内容没有保存：所选的不是普通文件，而是设备或管道。"),
                        path);
            break;
        case SaveOutcome::Failed:
            ShowMessage(this, QStringLiteral("显示内容没有保存，已有的同名文件保持原样。"),
                        QString::fromLocal8Bit(error));
            break;
    }
}
