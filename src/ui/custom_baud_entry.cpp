#include "ui/custom_baud_entry.h"

#include <QComboBox>

namespace {

// The extra entry holds the index selected before it came.
constexpr int kPreviousRole = Qt::UserRole + 1;

int CustomIndex(const QComboBox& list) {
    const int last = list.count() - 1;
    return last >= 0 && list.itemData(last, kPreviousRole).isValid() ? last : -1;
}

}  // namespace

bool IsCustomBaudEntry(const QComboBox& list, int index) {
    return index >= 0 && index == CustomIndex(list);
}

void ShowCustomBaud(QComboBox& list, uint32_t rate) {
    int custom = CustomIndex(list);
    if (rate == 0) {
        if (custom < 0) return;
        if (list.currentIndex() == custom)
            list.setCurrentIndex(list.itemData(custom, kPreviousRole).toInt());
        list.removeItem(custom);
        return;
    }
    // Named apart from the list's own labels, so it is never taken for one of them.
    const QString label = QStringLiteral("%1 自定义").arg(rate);
    if (custom < 0) {
        const int previous = list.currentIndex();
        list.addItem(label, QVariant::fromValue(rate));
        custom = list.count() - 1;
        list.setItemData(custom, previous, kPreviousRole);
    } else {
        list.setItemText(custom, label);
        list.setItemData(custom, QVariant::fromValue(rate));
    }
    list.setCurrentIndex(custom);
}
