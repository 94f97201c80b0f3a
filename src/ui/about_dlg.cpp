#include "ui/about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "dialog/control_ids.h"
#include "dialog/dialog_builder.h"
#include "dialog/dialog_template.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setFont(QFont(DialogFont().family(), 9));
    const auto controls = BuildDialog(*this, kAboutDialogTemplate);
    auto* icon = findChild<QLabel*>(QStringLiteral("aboutIcon"));
    const int side = std::min(icon->width(), icon->height());
    icon->setPixmap(QIcon(QStringLiteral(":/icon.png")).pixmap(side, side));
    auto* ok = qobject_cast<QPushButton*>(controls.at(IDOK));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
