#include "dialog/popup_combo_box.h"

void PopupComboBox::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}
