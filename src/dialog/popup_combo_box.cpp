#include "dialog/popup_combo_box.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QToolTip>

void PopupComboBox::showPopup() {
    emit aboutToShowPopup();
    QAbstractItemView* list = view();
    const int scrollBar =
        count() > maxVisibleItems() ? list->verticalScrollBar()->sizeHint().width() : 0;
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar);
    QComboBox::showPopup();
}

QString PopupComboBox::ToolTipText() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (fontMetrics().horizontalAdvance(currentText()) <= field.width()) return toolTip();
    return toolTip().isEmpty() ? currentText() : currentText() + u'\n' + toolTip();
}

bool PopupComboBox::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QComboBox::event(e);
    const QString text = ToolTipText();
    if (text.isEmpty()) {
        QToolTip::hideText();
        e->ignore();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), text, this);
    }
    return true;
}
