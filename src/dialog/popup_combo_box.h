#pragma once

#include <QComboBox>

// A drop-down list that says when it is about to drop down, so its items can be brought
// up to date first (however it is opened: mouse, keyboard or an assistive tool). The list
// keeps its size in the dialog: its opened list is as wide as its longest entry, and when
// the entry shown does not fit, the tooltip gives it whole, above the tooltip the dialog set.
class PopupComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
    // What pointing at the closed list shows.
    QString ToolTipText() const;

signals:
    void aboutToShowPopup();

protected:
    bool event(QEvent* e) override;
};
