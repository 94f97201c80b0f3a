#include "ui/help_dlg.h"

#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "dialog/control_ids.h"
#include "dialog/dialog_builder.h"
#include "dialog/dialog_template.h"

HHelpDlg::HHelpDlg(QWidget* parent) : QDialog(parent) {
    setFont(QFont(DialogFont().family(), 11));
    m_editHelp = qobject_cast<QPlainTextEdit*>(BuildDialog(*this, kHelpDialogTemplate).at(IDC_EDIT_HELP));
    // Lines are already broken; a longer one scrolls sideways with the caret.
    m_editHelp->setReadOnly(true);
    m_editHelp->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editHelp->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
}

QString HHelpDlg::HelpText() {
    Q_INIT_RESOURCE(resources);  // the text lives in a static library
    QFile file(QStringLiteral(":/help.txt"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).replace(QStringLiteral("@HOME_PAGE@"),
                                                     QStringLiteral(CORVALA_HOME_PAGE));
}

void HHelpDlg::ShowText() {
    // The edit keeps lines apart, not their breaks.
    m_editHelp->setPlainText(HelpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void HHelpDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    ShowText();
}

void HHelpDlg::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    ShowText();
}

void HHelpDlg::keyPressEvent(QKeyEvent* e) {
    // Enter is OK, as in any dialog; the read-only text has no use for it.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(e);
}
