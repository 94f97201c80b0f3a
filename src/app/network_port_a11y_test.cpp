// What a screen reader hears of a network port in the main window's port list.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QTest>

#include "app/port_bench_dlg.h"

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

}  // namespace
