#include "ui/command_edit_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

CCommandEditDlg::CCommandEditDlg(QWidget* parent, const QString& title, const SavedCommand& command,
                                 HexCheck refuseNonHex)
    : QDialog(parent), m_refuseNonHex(std::move(refuseNonHex)) {
    setWindowTitle(title);
    m_editName = new QLineEdit(QString::fromStdString(command.name), this);
    m_editName->setObjectName(QStringLiteral("editName"));
    m_editName->setAccessibleName(QStringLiteral("名称"));
    m_editText = new QPlainTextEdit(QString::fromStdString(command.text), this);
    m_editText->setObjectName(QStringLiteral("editText"));
    m_editText->setAccessibleName(QStringLiteral("内容"));
    m_editText->setTabChangesFocus(true);  // Tab leaves the field, as in the other fields
    m_chkHex = new QCheckBox(QStringLiteral("十六进制"), this);
    m_chkHex->setObjectName(QStringLiteral("chkHex"));
    m_chkHex->setChecked(command.hex);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("名称："), m_editName);
    form->addRow(QStringLiteral("内容："), m_editText);
    form->addRow(QString(), m_chkHex);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCommandEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCommandEditDlg::reject);
}

SavedCommand CCommandEditDlg::Command() const {
    return {m_editName->text().toStdString(), m_editText->toPlainText().toStdString(),
            m_chkHex->isChecked()};
}

void CCommandEditDlg::accept() {
    if (m_chkHex->isChecked() && m_refuseNonHex(m_editText->toPlainText())) {
        m_editText->setFocus();
        return;
    }
    QDialog::accept();
}
