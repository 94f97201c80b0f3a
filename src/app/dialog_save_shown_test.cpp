// 保存显示内容 through the real dialog: the name and folder it offers, the name it saves as.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "test/find_control.h"
#include "test/message_box_recorder.h"

namespace {

TEST(SaveShown, OffersATimedNameInTheLastFolderAndAddsTxt) {
    CPortBenchDlg dlg{{.sysfsRoot = "/nonexistent-sysfs"}};
    auto* view = FindControl<ReceiveView>(dlg, "IDC_EDIT_RX");
    view->Append("OK\r\n");
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    // Each save: the folder and name offered, then the name typed.
    const struct {
        const char* typed;
        QString folder;
        const char* saved;
    } table[] = {
        {"shown", {}, "shown.txt"},  // first where the last file dialog was
        {"log.v2", dir.path(), "log.v2"},
    };
    for (const auto& row : table) {
        QString offered, folder;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible()) return;
            folder = d->directory().absolutePath();
            offered = QFileInfo(d->selectedFiles().value(0)).fileName();
            d->selectFile(dir.filePath(QString::fromUtf8(row.typed)));
            d->QDialog::accept();  // not QFileDialog::accept: no question about replacing
        });
        answer.start(5);
        emit view->saveShownRequested();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^接收区_\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.txt$"))
                        .match(offered)
                        .hasMatch())
            << offered.toStdString();
        if (!row.folder.isEmpty()) {
            EXPECT_EQ(folder, row.folder);
        }
        if (row.saved) {
            EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromUtf8(row.saved)))) << row.typed;
        }
    }
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

}  // namespace
