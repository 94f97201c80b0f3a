#include "app/message_box.h"

#include <QMessageBox>

void ShowMessage(QWidget* parent, const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Corvala"), text, QMessageBox::Ok,
                    parent);
    box.setInformativeText(details);
    box.exec();
}
