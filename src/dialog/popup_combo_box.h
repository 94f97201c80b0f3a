#pragma once

#include <QComboBox>

// A drop-down list that says when it is about to drop down, so its items can be brought
// up to date first (however it is opened: mouse, keyboard or an assistive tool).
class PopupComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void aboutToShowPopup();
};
