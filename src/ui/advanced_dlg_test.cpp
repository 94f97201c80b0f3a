#include "ui/advanced_dlg.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <cerrno>
#include <utility>

#include "test/find_control.h"

namespace {

class AdvancedDlgTest : public ::testing::Test {
protected:
    template <typename T>
    T* Get(const char* name) {
        return FindControl<T>(dlg, name);
    }
    QString Status() { return Get<QLabel>("lblStatus")->text(); }
    // Types `text` into the emptied edit and leaves it with Enter, as a user finishing a value
    // does.
    void Enter(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void ChooseFlow(int index) {
        auto* flow = Get<QComboBox>("cbFlow");
        flow->setCurrentIndex(index);
        emit flow->activated(index);
    }
    // What an assistive tool reads.
    QAccessibleInterface* Told(const char* name) {
        return QAccessible::queryAccessibleInterface(Get<QWidget>(name));
    }
    QStringList LampNames() {
        QStringList names;
        for (const char* lamp : {"lampCts", "lampDsr", "lampDcd", "lampRi"})
            names << Told(lamp)->text(QAccessible::Name);
        return names;
    }

    void SetUp() override {
        dlg.show();  // laid out, so a click lands on what it aims at
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }

    QWidget parent;
    CAdvancedDlg dlg{&parent};
};

TEST_F(AdvancedDlgTest, IsAModelessWindowWithItsPagesAndTheDefaults) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("高级设置"));
    EXPECT_FALSE(dlg.isModal());
    auto* tabs = Get<QTabWidget>("tabs");
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i) pages << tabs->tabText(i);
    EXPECT_EQ(pages, QStringList({QStringLiteral("线路控制"), QStringLiteral("连接"),
                                  QStringLiteral("发送"), QStringLiteral("接收"),
                                  QStringLiteral("常用命令")}));
    // However narrow it is made, every tab shows, with no scroll arrows.
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.resize(1, dlg.height());
    QTest::qWait(0);
    EXPECT_LE(tabs->tabBar()->tabRect(tabs->count() - 1).right(), tabs->tabBar()->width() - 1);
    EXPECT_EQ(dlg.Options(), PortOptions{});
    EXPECT_EQ(Get<QComboBox>("cbFlow")->currentText(), QStringLiteral("无"));
    EXPECT_EQ(Get<QComboBox>("cbCustomBaud")->currentText(), QString());
    EXPECT_TRUE(Get<QCheckBox>("chkDtrAtOpen")->isChecked());
    EXPECT_TRUE(Get<QCheckBox>("chkRtsAtOpen")->isChecked());
    EXPECT_EQ(Get<QLineEdit>("editPulseMs")->text(), "100");
    EXPECT_EQ(Get<QLineEdit>("editBreakMs")->text(), "250");
    // Nothing acts on a port before one is open.
    for (const char* name : {"chkDtr", "chkRts", "btnPulse", "btnBreak", "lampCts"}) {
        EXPECT_FALSE(Get<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_EQ(LampNames(), (QStringList{"CTS：未知", "DSR：未知", "DCD：未知", "RI：未知"}));
}

TEST_F(AdvancedDlgTest, LengthsOutsideTheRangeAreRefusedWithIt) {
    dlg.SetPortOpen(true);
    dlg.ShowModemStatus(ModemStatus{});
    QSignalSpy pulses(&dlg, &CAdvancedDlg::pulseRequested),
        breaks(&dlg, &CAdvancedDlg::breakRequested);
    struct Case {
        const char* edit;
        const char* button;
        QSignalSpy& spy;
        uint32_t PortOptions::*field;
        QString range;
    };
    const Case cases[] = {{"editPulseMs", "btnPulse", pulses, &PortOptions::pulseMs,
                           "复位脉冲长度必须是 1 到 5000 之间的整数（毫秒）。"},
                          {"editBreakMs", "btnBreak", breaks, &PortOptions::breakMs,
                           "Break 长度必须是 1 到 5000 之间的整数（毫秒）。"}};
    for (const Case& c : cases) {
        auto* edit = Get<QLineEdit>(c.edit);
        for (const char* bad : {"0", "5001", "", "99999999999"}) {
            const PortOptions before = dlg.Options();
            Enter(edit, QString::fromUtf8(bad));
            EXPECT_EQ(Status(), c.range) << bad;
            Get<QLabel>("lblStatus")->clear();
            QTest::mouseClick(Get<QPushButton>(c.button), Qt::LeftButton);
            EXPECT_EQ(Status(), c.range) << bad;
            EXPECT_EQ(c.spy.count(), 0) << bad;
            EXPECT_EQ(dlg.Options(), before) << bad;
        }
        for (uint32_t good : {1u, 5000u}) {
            edit->setText(QString::number(good));
            QTest::mouseClick(Get<QPushButton>(c.button), Qt::LeftButton);
            EXPECT_EQ(dlg.Options().*c.field, good);
            EXPECT_EQ(Status(), &c.spy == &breaks
                                    ? QStringLiteral("正在发送 Break（%1 毫秒）…").arg(good)
                                    : QString());
        }
        EXPECT_EQ(c.spy.count(), 2);
    }
}

TEST_F(AdvancedDlgTest, CustomRateIsTakenWhenEnteredAndClearedWhenEmpty) {
    QSignalSpy changes(&dlg, &CAdvancedDlg::optionsChanged);
    QLineEdit* rate = Get<QComboBox>("cbCustomBaud")->lineEdit();
    Enter(rate, "123456");
    EXPECT_EQ(dlg.Options().customBaud, 123456u);
    EXPECT_EQ(changes.count(), 1);  // once, not once a digit
    Enter(rate, "0");
    EXPECT_EQ(dlg.Options().customBaud, 123456u);
    EXPECT_TRUE(
        Status().startsWith(QStringLiteral("自定义波特率必须是 1 到 4294967295 之间的整数")));
    Enter(rate, "");
    EXPECT_EQ(dlg.Options().customBaud, 0u);
    EXPECT_EQ(Status(), QString());
}

TEST_F(AdvancedDlgTest, LampsAndTogglesReadTheLinesOrSayThereAreNone) {
    dlg.SetPortOpen(true);
    EXPECT_TRUE(Get<QPushButton>("btnBreak")->isEnabled());
    dlg.ShowModemStatus(std::nullopt);
    EXPECT_EQ(Get<QLabel>("lblLines")->text(), QStringLiteral("此端口没有调制解调器控制线"));
    for (const char* name : {"chkDtr", "chkRts", "btnPulse", "lampCts", "lampRi"}) {
        EXPECT_FALSE(Get<QWidget>(name)->isEnabled()) << name;
        EXPECT_EQ(Get<QWidget>(name)->accessibleDescription(),
                  QStringLiteral("此端口没有调制解调器控制线"));
    }
    EXPECT_TRUE(Get<QPushButton>("btnBreak")->isEnabled());

    dlg.SetPortOpen(false);
    dlg.SetPortOpen(true);
    dlg.ShowModemStatus(ModemStatus{.cts = true, .dcd = true, .dtr = true});
    EXPECT_EQ(LampNames(), (QStringList{"CTS：开", "DSR：关", "DCD：开", "RI：关"}));
    EXPECT_EQ(Get<QLabel>("lblLines")->text(), QString());
    EXPECT_TRUE(Told("chkDtr")->state().checked);
    EXPECT_FALSE(Told("chkRts")->state().checked);
    EXPECT_EQ(Told("chkRts")->text(QAccessible::Name), "RTS");
    EXPECT_EQ(Told("chkRtsAtOpen")->text(QAccessible::Name), QStringLiteral("打开时 RTS"));
    for (const char* name : {"chkDtr", "chkRts", "btnPulse", "lampCts"})
        EXPECT_TRUE(Get<QWidget>(name)->isEnabled()) << name;

    dlg.SetPortOpen(false);
    dlg.ShowModemStatus(ModemStatus{.cts = true});  // from the port closed since
    EXPECT_EQ(LampNames().front(), QStringLiteral("CTS：未知"));
    EXPECT_EQ(Get<QLabel>("lblLines")->text(), QStringLiteral("串口未打开"));
}

TEST_F(AdvancedDlgTest, DropDownsAndAClosedPortsBreakSayWhatTheyAre) {
    const std::pair<const char*, QString> kDropDowns[] = {
        {"cbFlow", QStringLiteral("流控")},
        {"cbCustomBaud", QStringLiteral("自定义波特率")},
        {"cbPulseLine", QStringLiteral("复位脉冲线路")}};
    for (const auto& [name, what] : kDropDowns)
        EXPECT_EQ(Told(name)->text(QAccessible::Description), what) << name;
    EXPECT_EQ(Told("btnBreak")->text(QAccessible::Description), QStringLiteral("串口未打开"));
    dlg.SetPortOpen(true);
    dlg.ShowModemStatus(std::nullopt);  // Break needs no modem lines
    EXPECT_EQ(Told("btnBreak")->text(QAccessible::Description), QString());
}

TEST_F(AdvancedDlgTest, ARefusedToggleShowsTheLineAsItStays) {
    QSignalSpy toggles(&dlg, &CAdvancedDlg::modemLineToggled);
    dlg.SetPortOpen(true);
    dlg.ShowModemStatus(ModemStatus{.dtr = true, .rts = true});
    QTest::mouseClick(Get<QCheckBox>("chkRts"), Qt::LeftButton);
    ASSERT_EQ(toggles.count(), 1);
    EXPECT_EQ(toggles[0][0].value<ModemLine>(), ModemLine::Rts);
    EXPECT_FALSE(toggles[0][1].toBool());
    dlg.ControlDone(PortControl::Rts, EIO);
    EXPECT_TRUE(Get<QCheckBox>("chkRts")->isChecked());
    EXPECT_TRUE(Status().startsWith(QStringLiteral("无法切换 RTS：设备没有响应")));
    EXPECT_TRUE(Status().endsWith(QStringLiteral("（系统：Input/output error）")));
}

TEST_F(AdvancedDlgTest, ARefusedLineIsShownAsThePortStillHasIt) {
    QSignalSpy lines(&dlg, &CAdvancedDlg::lineChangeRequested);
    ChooseFlow(1);  // closed: kept for the next open, nothing asked
    EXPECT_EQ(lines.count(), 0);
    dlg.SetPortOpen(true);

    ChooseFlow(2);
    ChooseFlow(0);
    EXPECT_EQ(lines.count(), 2);
    dlg.ControlDone(PortControl::Line, EINVAL);  // XON/XOFF refused, "none" still to come
    EXPECT_EQ(dlg.Options().flow, FlowControl::None);
    dlg.ControlDone(PortControl::Line, 0);
    EXPECT_EQ(dlg.Options().flow, FlowControl::None);

    ChooseFlow(2);
    dlg.ControlDone(PortControl::Line, EINVAL);
    EXPECT_EQ(dlg.Options().flow, FlowControl::None);
    EXPECT_EQ(Get<QComboBox>("cbFlow")->currentText(), QStringLiteral("无"));
    EXPECT_EQ(Status(),
              QStringLiteral("无法更改流控或波特率：该串口的驱动不支持这项设置，串口保持原样。\n"
                             "（系统：Invalid argument）"));
    EXPECT_EQ(lines.count(), 3);  // putting it back asks the port nothing
}

}  // namespace
