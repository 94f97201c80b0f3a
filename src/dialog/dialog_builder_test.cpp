#include "dialog/dialog_builder.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QWidget>

#include "dialog/control_ids.h"
#include "receive/receive_view.h"

namespace {

QWidget* NextTabStop(QWidget* w) {
    do w = w->nextInFocusChain();
    while (w->focusPolicy() == Qt::NoFocus);
    return w;
}

TEST(DialogUnits, MapLikeMapDialogRect) {
    // Base units 7 x 16: x and width in quarters of 7, y and height in eighths of 16, rounded.
    EXPECT_EQ(MapDialogRect({7, 23, 119, 118}, {7, 16}), QRect(12, 46, 208, 236));
    EXPECT_EQ(MapDialogRect({1, 1, 3, 3}, {6, 13}), QRect(2, 2, 5, 5));
}

TEST(DialogBuilder, BuildsTheMainTemplateInTabOrderWithFramesBehind) {
    QWidget dialog;
    dialog.setFont(DialogFont());
    auto receiveArea = [](ControlKind kind, QWidget& parent) -> QWidget* {
        return kind == ControlKind::ReceiveArea ? new ReceiveView(&parent) : nullptr;
    };
    std::map<int, QWidget*> controls = BuildDialog(dialog, kMainDialogTemplate, receiveArea);

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Corvalav1.0.5 简体中文绿色单文件免费版"));
    const QSize base = DialogBaseUnits(dialog.font());
    EXPECT_EQ(dialog.size(), MapDialogRect({0, 0, 379, 374}, base).size());
    EXPECT_EQ(controls.at(IDC_EDIT_RX)->geometry(), MapDialogRect({135, 16, 227, 224}, base));
    EXPECT_EQ(controls.at(IDC_BTN_SEND)->geometry(), MapDialogRect({347, 252, 25, 71}, base));

    auto* combo = qobject_cast<QComboBox*>(controls.at(IDC_COMBO_BAUD));
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(combo->accessibleDescription(), QStringLiteral("波特率"));
    auto* tx = qobject_cast<QPlainTextEdit*>(controls.at(IDC_EDIT_TX));
    ASSERT_NE(tx, nullptr);
    EXPECT_FALSE(tx->isReadOnly());
    EXPECT_EQ(tx->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    auto* rx = qobject_cast<ReceiveView*>(controls.at(IDC_EDIT_RX));
    ASSERT_NE(rx, nullptr);
    EXPECT_EQ(rx->accessibleName(), QStringLiteral("接收区"));
    EXPECT_EQ(controls.at(IDC_LOGO)->metaObject(), &QWidget::staticMetaObject);  // not supplied
    EXPECT_FALSE(controls.at(IDC_BTN_SEND)->isEnabled());
    EXPECT_FALSE(controls.at(IDC_EDIT_TRIGGER)->isEnabled());
    EXPECT_FALSE(controls.at(IDC_CHK_CHAR_TS)->isEnabled());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(controls.at(IDC_CHK_SAVE))->text(QAccessible::Name),
              QStringLiteral("保存数据"));

    // Tab order follows the template: the open button, then the save box, ...
    EXPECT_EQ(NextTabStop(controls.at(IDC_BTN_OPEN)), controls.at(IDC_CHK_SAVE));
    EXPECT_EQ(NextTabStop(controls.at(IDC_COMBO_STOPBITS)), controls.at(IDC_BTN_OPEN));
    EXPECT_EQ(NextTabStop(controls.at(IDC_BTN_CLEAR_TX)), controls.at(IDC_BTN_SEND));

    // Frames are painted first, behind the controls they surround.
    const QObjectList& children = dialog.children();
    auto* frame = dialog.findChild<QGroupBox*>(QStringLiteral("grpComm"));
    ASSERT_NE(frame, nullptr);
    EXPECT_LT(children.indexOf(frame), children.indexOf(controls.at(IDC_COMBO_PORT)));
    EXPECT_LT(children.indexOf(controls.at(IDC_GRP_STATS)), children.indexOf(controls.at(IDC_BTN_RESET)));
}

}  // namespace
