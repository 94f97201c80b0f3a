#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/port_bench_dlg.h"
#include "serial/pty_pair.h"
#include "test/find_control.h"
#include "test/qt_wait.h"
#include "ui/advanced_dlg.h"

namespace {

class AdvancedWindow : public ::testing::Test {
protected:
    template <typename T>
    T* Get(QWidget& parent, const char* name) {
        return FindControl<T>(parent, name);
    }
    CAdvancedDlg& Advanced() { return *dlg.findChild<CAdvancedDlg*>(); }
    void Open() {
        QTest::mouseClick(Get<QPushButton>(dlg, "IDC_BTN_OPEN"), Qt::LeftButton);
        ASSERT_TRUE(dlg.IsPortOpen());
    }
    void ChooseFlow(int index) {
        auto* flow = Get<QComboBox>(Advanced(), "cbFlow");
        flow->setCurrentIndex(index);
        emit flow->activated(index);
    }
    void EnterCustomRate(const QString& rate) {
        QLineEdit* edit = Get<QComboBox>(Advanced(), "cbCustomBaud")->lineEdit();
        edit->setText(rate);
        emit edit->editingFinished();
    }
    // The port's settings as the device side sees them.
    termios2 Line() {
        termios2 t{};
        EXPECT_EQ(ioctl(pty.MasterFd(), TCGETS2, &t), 0);
        return t;
    }
    bool FlowIs(tcflag_t cflag, tcflag_t iflag) {
        const termios2 t = Line();
        return (t.c_cflag & CRTSCTS) == cflag && (t.c_iflag & (IXON | IXOFF)) == iflag;
    }
    QComboBox* Baud() { return Get<QComboBox>(dlg, "IDC_COMBO_BAUD"); }

    PtyPair pty;
    CPortBenchDlg dlg{{.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent-sysfs"}};
};

TEST_F(AdvancedWindow, OpensFromTheContextMenuAndOnAltSAndStaysBesideTheMainWindow) {
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTimer poll;  // picks the entry once the menu is up
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* a : menu->actions()) {
            if (a->text() == QStringLiteral("高级设置(&S)...")) a->trigger();
        }
        menu->close();
    });
    poll.start(5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dlg, &event);
    poll.stop();
    ASSERT_TRUE(QtWaitUntil([&] { return Advanced().isVisible(); }));
    EXPECT_FALSE(Advanced().isModal());
    EXPECT_EQ(Advanced().windowTitle(), QStringLiteral("高级设置"));

    // The main window goes on working, and the window follows its port.
    EXPECT_FALSE(Get<QPushButton>(Advanced(), "btnBreak")->isEnabled());
    Open();
    EXPECT_TRUE(Get<QPushButton>(Advanced(), "btnBreak")->isEnabled());

    QTest::mouseClick(Get<QPushButton>(Advanced(), "btnClose"), Qt::LeftButton);
    EXPECT_FALSE(Advanced().isVisible());
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(&dlg, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QtWaitUntil([&] { return Advanced().isVisible(); }));
}

TEST_F(AdvancedWindow, FlowControlReachesTheOpenPortAtOnceAndTheNextOpen) {
    Open();
    EXPECT_TRUE(FlowIs(0, 0));
    ChooseFlow(1);
    EXPECT_TRUE(QtWaitUntil([&] { return FlowIs(CRTSCTS, 0); }));
    ChooseFlow(2);
    EXPECT_TRUE(QtWaitUntil([&] { return FlowIs(0, IXON | IXOFF); }));
    ChooseFlow(0);
    EXPECT_TRUE(QtWaitUntil([&] { return FlowIs(0, 0); }));
    EXPECT_EQ(Get<QLabel>(Advanced(), "lblStatus")->text(), QString());

    QTest::mouseClick(Get<QPushButton>(dlg, "IDC_BTN_OPEN"), Qt::LeftButton);
    ChooseFlow(1);
    Open();
    EXPECT_TRUE(FlowIs(CRTSCTS, 0));
}

TEST_F(AdvancedWindow, ACustomRateIsUsedAndShownAsAnExtraSelectedEntryOfTheBaudList) {
    QStringList own;
    for (int i = 0; i < Baud()->count(); ++i) own << Baud()->itemText(i);
    const int listed = Baud()->count();
    EnterCustomRate("1000000");
    ASSERT_EQ(Baud()->count(), listed + 1);
    EXPECT_EQ(Baud()->currentText(), QStringLiteral("1000000 自定义"));
    for (int i = 0; i < listed; ++i)
        EXPECT_EQ(Baud()->itemText(i), own[i]);  // the list's own entries stay
    Open();
    EXPECT_EQ(Line().c_ospeed, 1000000u);

    EnterCustomRate("1500000");  // while open: at once
    EXPECT_TRUE(QtWaitUntil([&] { return Line().c_ospeed == 1500000u; }));
    EXPECT_EQ(Baud()->currentText(), QStringLiteral("1500000 自定义"));
    EnterCustomRate("");
    EXPECT_TRUE(QtWaitUntil([&] { return Line().c_ospeed == 9600u; }));
    EXPECT_EQ(Baud()->count(), listed);
    EXPECT_EQ(Baud()->currentText(), "9600");

    // A rate picked from the list is the one used: the custom one gives way.
    QTest::mouseClick(Get<QPushButton>(dlg, "IDC_BTN_OPEN"), Qt::LeftButton);
    EnterCustomRate("460800");
    const int picked = Baud()->findText("115200");
    Baud()->setCurrentIndex(picked);
    emit Baud()->activated(picked);
    EXPECT_EQ(Advanced().Options().customBaud, 0u);
    EXPECT_EQ(Get<QComboBox>(Advanced(), "cbCustomBaud")->currentText(), QString());
    EXPECT_EQ(Baud()->count(), listed);
    EXPECT_EQ(Baud()->currentText(), "115200");
}

TEST_F(AdvancedWindow, APseudoTerminalSaysItHasNoModemLinesAndABreakUnderWayEndsWithThePort) {
    const QString none = QStringLiteral("此端口没有调制解调器控制线");
    auto* lines = Get<QLabel>(Advanced(), "lblLines");
    Open();
    ASSERT_TRUE(QtWaitUntil([&] { return lines->text() == none; }));
    for (const char* name :
         {"chkDtr", "chkRts", "btnPulse", "lampCts", "lampDsr", "lampDcd", "lampRi"}) {
        EXPECT_FALSE(Get<QWidget>(Advanced(), name)->isEnabled()) << name;
    }
    EXPECT_EQ(Get<QLabel>(Advanced(), "lampCts")->accessibleDescription(), none);

    Get<QLineEdit>(Advanced(), "editBreakMs")->setText("5000");
    QTest::mouseClick(Get<QPushButton>(Advanced(), "btnBreak"), Qt::LeftButton);
    QTest::mouseClick(Get<QPushButton>(dlg, "IDC_BTN_OPEN"), Qt::LeftButton);
    EXPECT_EQ(lines->text(), QStringLiteral("串口未打开"));
    EXPECT_TRUE(QtWaitUntil([&] { return !pty.PortInUse(); }, 2000));
    QCoreApplication::processEvents();  // what the closed port still posted is not told
    EXPECT_EQ(Get<QLabel>(Advanced(), "lblStatus")->text(), QString());
}

TEST_F(AdvancedWindow, ABreakSaysOnTheBottomLineThatItWentAndForHowLong) {
    Open();
    auto* status = Get<QLabel>(Advanced(), "lblStatus");
    Get<QLineEdit>(Advanced(), "editBreakMs")->setText("20");
    QTest::mouseClick(Get<QPushButton>(Advanced(), "btnBreak"), Qt::LeftButton);
    EXPECT_EQ(status->text(), QStringLiteral("正在发送 Break（20 毫秒）…"));
    EXPECT_TRUE(QtWaitUntil([&] {
        return status->text() == QStringLiteral("已发送 Break（20 毫秒）。");
    })) << status->text().toStdString();
}

TEST(AdvancedWindowEnds, WhatWasTypedThereIsTakenWhileThePortIsStillOpen) {
    PtyPair pty;
    auto dlg = std::make_unique<CPortBenchDlg>(
        DialogEnvironment{.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent-sysfs"});
    dlg->show();
    QTest::mouseClick(dlg->findChild<QPushButton*>("IDC_BTN_OPEN"), Qt::LeftButton);
    ASSERT_TRUE(dlg->IsPortOpen());
    auto& advanced = *dlg->findChild<CAdvancedDlg*>();
    advanced.show();
    QApplication::setActiveWindow(&advanced);
    QLineEdit* edit = advanced.findChild<QComboBox*>("cbCustomBaud")->lineEdit();
    edit->setFocus();
    ASSERT_TRUE(QtWaitUntil([&] { return edit->hasFocus(); }));
    edit->setText("57601");  // not yet taken: the window ends while the field has the focus
    dlg->reject();
    EXPECT_EQ(advanced.Options().customBaud, 57601u);
    dlg.reset();
}

}  // namespace
