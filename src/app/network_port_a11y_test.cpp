// What a screen reader hears of a network port in the main window's port list.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/port_bench_dlg.h"
#include "ui/advanced_dlg.h"

namespace {

TEST(NetworkPortA11y, TheClosedListSaysWhatTheNetworkEntryIs) {
    CPortBenchDlg dlg({.extraPorts = {"rfc2217://127.0.0.1:7000", "tcp://127.0.0.1:7001"},
                       .sysfsRoot = "/nonexistent"});
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* list = dlg.findChild<QComboBox*>(QStringLiteral("IDC_COMBO_PORT"));
    QAccessibleInterface* told = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(told, nullptr);
    EXPECT_TRUE(told->text(QAccessible::Description)
                    .endsWith(QStringLiteral("网络串口（RFC 2217）：127.0.0.1:7000")))
        << told->text(QAccessible::Description).toStdString();
    list->setCurrentIndex(1);
    EXPECT_TRUE(told->text(QAccessible::Description)
                    .endsWith(QStringLiteral("网络端口（TCP）：127.0.0.1:7001")))
        << told->text(QAccessible::Description).toStdString();
    // The line settings a raw port cannot have say why they are greyed out.
    auto* baud = dlg.findChild<QComboBox*>(QStringLiteral("IDC_COMBO_BAUD"));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(baud)
                    ->text(QAccessible::Description)
                    .contains(QStringLiteral("线路设置由远端决定")));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(baud)->state().disabled);
}

TEST(NetworkPortA11y, TheAddedPortsAreAListNamedAsItsFrameWithADeleteButton) {
    CPortBenchDlg dlg({.sysfsRoot = "/nonexistent"});
    auto* advanced = dlg.findChild<CAdvancedDlg*>();
    advanced->ShowNetworkPorts({QStringLiteral("rfc2217://127.0.0.1:7000")});
    advanced->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(advanced));
    auto* list = advanced->findChild<QListWidget*>(QStringLiteral("IDC_LIST_NET_PORTS"));
    QAccessibleInterface* told = QAccessible::queryAccessibleInterface(list);
    EXPECT_EQ(told->text(QAccessible::Name), QStringLiteral("已添加的网络串口"));
    ASSERT_EQ(told->childCount(), 1);
    EXPECT_EQ(told->child(0)->text(QAccessible::Name), QStringLiteral("rfc2217://127.0.0.1:7000"));
    auto* remove = advanced->findChild<QPushButton*>(QStringLiteral("IDC_BTN_NET_REMOVE"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(remove)->text(QAccessible::Name), QStringLiteral("删除"));
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(remove)->state().disabled);
    advanced->ShowNetworkPorts({});
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(remove)->state().disabled);
}

}  // namespace
