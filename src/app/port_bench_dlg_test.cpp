#include "app/port_bench_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <utility>

#include "app/port_bench_app.h"
#include "dialog/popup_combo_box.h"
#include "serial/file_exception.h"
#include "serial/pty_pair.h"
#include "serial/ycom_file.h"
#include "test/fake_sysfs.h"
#include "test/find_control.h"
#include "test/message_box_recorder.h"
#include "test/modal_closer.h"
#include "test/qt_wait.h"
#include "test/run_command.h"
#include "ui/advanced_dlg.h"

namespace {

const std::string kNoSysfs = "/nonexistent-sysfs";

bool PortIsFree(const std::string& path) {
    try {
        YCOMFile probe(path, {});
        return true;
    } catch (const CFileException&) {
        return false;
    }
}

class DialogTest : public ::testing::Test {
protected:
    template <typename T>
    T* Get(const char* name) {
        return FindControl<T>(dlg, name);
    }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    QStringList Items(const char* name) {
        QStringList items;
        auto* combo = Get<QComboBox>(name);
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        return items;
    }
    bool Enabled(const char* name) { return Get<QWidget>(name)->isEnabled(); }
    // Caption and enabling of the closed or open port.
    void ExpectPortState(bool open) {
        EXPECT_EQ(dlg.IsPortOpen(), open);
        EXPECT_EQ(Get<QPushButton>("IDC_BTN_OPEN")->text(),
                  open ? QStringLiteral("关   闭") : QStringLiteral("开   启"));
        for (const char* name : {"IDC_COMBO_PORT", "IDC_COMBO_BAUD", "IDC_COMBO_PARITY",
                                 "IDC_COMBO_DATABITS", "IDC_COMBO_STOPBITS", "IDC_BTN_TOSTR",
                                 "IDC_BTN_TOHEX", "IDC_CHK_CONV_TX", "IDC_CHK_CONV_RX"}) {
            EXPECT_EQ(Enabled(name), !open) << name;
        }
        EXPECT_EQ(Enabled("IDC_BTN_SEND"), open);
    }
    QImage Lamp() { return Get<QLabel>("IDC_LAMP")->pixmap().toImage(); }

    PtyPair pty;
    CPortBenchDlg dlg{{.extraPorts = {pty.SlavePath(), "/dev/corvala-missing"}, .sysfsRoot = kNoSysfs}};
};

TEST_F(DialogTest, StartsClosedWithTheDefaults) {
    dlg.show();
    ExpectPortState(false);
    EXPECT_EQ(Items("IDC_COMBO_PORT"),
              (QStringList{QString::fromStdString(pty.SlavePath()), "/dev/corvala-missing"}));
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PORT")->currentIndex(), 0);
    EXPECT_EQ(Items("IDC_COMBO_BAUD").size(), 13);
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_BAUD")->currentText(), "9600");
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PARITY")->currentText(), "None");
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_DATABITS")->currentText(), QStringLiteral("8位"));
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_STOPBITS")->currentText(), QStringLiteral("1位"));
    EXPECT_TRUE(Get<QCheckBox>("IDC_CHK_HEXSHOW")->isChecked());
    EXPECT_TRUE(Get<QCheckBox>("IDC_CHK_HEXSEND")->isChecked());
    EXPECT_FALSE(Enabled("IDC_EDIT_TRIGGER"));
    EXPECT_FALSE(Enabled("IDC_CHK_CHAR_TS"));
    EXPECT_EQ(Get<QLabel>("IDC_TXT_RXCOUNT")->text(), "0");
    EXPECT_EQ(Get<QLabel>("IDC_TXT_TXCOUNT")->text(), "0");
    EXPECT_EQ(Get<QLabel>("IDC_TXT_RXCOUNT")->accessibleName(), "0");
    EXPECT_EQ(Get<QLineEdit>("IDC_EDIT_INTERVAL")->text(), "1000");
    // The closed lamp is red, on the dialog's face colour.
    QImage lamp = Lamp();
    EXPECT_EQ(lamp.size(), QSize(38, 29));
    EXPECT_GT(qRed(lamp.pixel(19, 14)), 150);
    EXPECT_EQ(lamp.pixelColor(0, 0), dlg.palette().color(QPalette::Window));
}

TEST_F(DialogTest, NoDiscoveredPortLeavesTheNamedOneAsDefault) {
    CPortBenchDlg empty({.sysfsRoot = kNoSysfs});
    auto* ports = empty.findChild<QComboBox*>("IDC_COMBO_PORT");
    EXPECT_EQ(ports->count(), 0);
    EXPECT_EQ(ports->currentIndex(), -1);
    EXPECT_EQ(empty.findChild<QComboBox*>("IDC_COMBO_BAUD")->currentText(), "9600");
}

TEST_F(DialogTest, OpensClosesAndOpensAgain) {
    Click("IDC_BTN_OPEN");
    ExpectPortState(true);
    EXPECT_EQ(Lamp().size(), QSize(38, 28));
    EXPECT_GT(qGreen(Lamp().pixel(19, 14)), 150);
    EXPECT_FALSE(PortIsFree(pty.SlavePath()));

    Click("IDC_BTN_OPEN");
    ExpectPortState(false);
    EXPECT_TRUE(PortIsFree(pty.SlavePath()));

    Click("IDC_BTN_OPEN");
    ExpectPortState(true);
}

TEST_F(DialogTest, OneAndAHalfStopBitsAboveFiveDataBitsAreToldOnceAtOpen) {
    MessageBoxRecorder boxes;
    Get<QComboBox>("IDC_COMBO_STOPBITS")->setCurrentText(QStringLiteral("1.5位"));
    Get<QComboBox>("IDC_COMBO_DATABITS")->setCurrentText(QStringLiteral("5位"));
    Click("IDC_BTN_OPEN");  // the UART gives 1.5 with 5 data bits
    ASSERT_TRUE(dlg.IsPortOpen());
    Click("IDC_BTN_OPEN");
    EXPECT_TRUE(boxes.Texts().isEmpty());
    Get<QComboBox>("IDC_COMBO_DATABITS")->setCurrentText(QStringLiteral("7位"));
    for (int open = 0; open < 2; ++open) {
        Click("IDC_BTN_OPEN");
        ExpectPortState(true);
        Click("IDC_BTN_OPEN");
    }
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral(
                  "该驱动在 6、7、8 位数据位时不支持 1.5 位停止位，已使用 2 位停止位。")});
}

TEST_F(DialogTest, AFailedOpenTellsOncePerClickAndStaysClosed) {
    auto* ports = Get<QComboBox>("IDC_COMBO_PORT");
    ports->setCurrentIndex(1);
    MessageBoxRecorder boxes;
    Click("IDC_BTN_OPEN");
    Click("IDC_BTN_OPEN");
    ASSERT_EQ(boxes.Texts().size(), 2);
    EXPECT_TRUE(boxes.Texts()[0].startsWith(QStringLiteral("打开/dev/corvala-missing失败！\n")));
    EXPECT_EQ(boxes.Titles()[0], "Corvala");
    ExpectPortState(false);
    EXPECT_EQ(Lamp().size(), QSize(38, 29));
}

TEST_F(DialogTest, APortHeldByAnotherProgramCannotBeOpened) {
    YCOMFile holder(pty.SlavePath(), {});
    MessageBoxRecorder boxes;
    Click("IDC_BTN_OPEN");
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_EQ(boxes.Texts()[0], QStringLiteral("打开%1失败！\n该串口正被其他程序占用。\n（系统：%2）")
                                    .arg(QString::fromStdString(pty.SlavePath()),
                                         QString::fromLocal8Bit(std::strerror(EBUSY))));
    ExpectPortState(false);
}

TEST(OpenFailures, CommonReasonsAreToldInChineseWithTheSystemsTextBelow) {
    struct Case {
        const char* path;
        const char* reason;
        int error;
    };
    for (const Case& c : {Case{"/dev/null", "这不是串口设备。", ENOTTY},
                          Case{"/dev/corvala-missing", "该串口不存在，或设备已被拔出。", ENOENT},
                          Case{"/tmp", "这是一个目录，不是串口设备。", EISDIR}}) {
        CPortBenchDlg dlg{{.extraPorts = {c.path}, .sysfsRoot = kNoSysfs}};
        MessageBoxRecorder boxes;
        QTest::mouseClick(dlg.findChild<QPushButton*>("IDC_BTN_OPEN"), Qt::LeftButton);
        ASSERT_EQ(boxes.Texts().size(), 1) << c.path;
        EXPECT_EQ(boxes.Texts()[0], QStringLiteral("打开%1失败！\n%2\n（系统：%3）")
                                        .arg(QString::fromUtf8(c.path), QString::fromUtf8(c.reason),
                                             QString::fromLocal8Bit(std::strerror(c.error))))
            << c.path;
        EXPECT_FALSE(dlg.IsPortOpen());
    }
}

TEST_F(DialogTest, EveryWayOfEndingTheDialogReleasesThePort) {
    dlg.show();
    Click("IDC_BTN_OPEN");
    ASSERT_TRUE(dlg.IsPortOpen());
    dlg.close();  // the close box
    EXPECT_TRUE(PortIsFree(pty.SlavePath()));

    CPortBenchDlg byEsc({.extraPorts = {pty.SlavePath()}, .sysfsRoot = kNoSysfs});
    byEsc.show();
    QTest::mouseClick(byEsc.findChild<QPushButton*>("IDC_BTN_OPEN"), Qt::LeftButton);
    ASSERT_FALSE(PortIsFree(pty.SlavePath()));
    QTest::keyClick(&byEsc, Qt::Key_Escape);
    EXPECT_FALSE(byEsc.isVisible());
    EXPECT_TRUE(PortIsFree(pty.SlavePath()));

}

TEST_F(DialogTest, AssistiveToolsReadTheCurrentCaptionsAndTheLampsState) {
    dlg.show();
    auto read = [&](const char* name, QAccessible::Text what) {
        return QAccessible::queryAccessibleInterface(Get<QWidget>(name))->text(what);
    };
    EXPECT_EQ(read("IDC_LAMP", QAccessible::Description), QStringLiteral("串口已关闭"));
    Click("IDC_BTN_OPEN");
    ASSERT_TRUE(dlg.IsPortOpen());
    EXPECT_EQ(read("IDC_BTN_OPEN", QAccessible::Name), QStringLiteral("关   闭"));
    EXPECT_EQ(read("IDC_LAMP", QAccessible::Description), QStringLiteral("串口已打开"));
    Get<QLineEdit>("IDC_EDIT_INTERVAL")->setText("1000");
    Click("IDC_CHK_CYCLE");
    Click("IDC_BTN_SEND");
    ASSERT_TRUE(dlg.IsCycling());
    EXPECT_EQ(read("IDC_BTN_SEND", QAccessible::Name), QStringLiteral("停止"));
    Click("IDC_BTN_SEND");
    EXPECT_EQ(read("IDC_BTN_SEND", QAccessible::Name), QStringLiteral("发送"));
    EXPECT_EQ(read("IDC_EDIT_RX", QAccessible::Name), QStringLiteral("接收区"));  // named by its label
}

TEST_F(DialogTest, EveryAccessibleActionOnAButtonIsAClick) {
    dlg.show();
    auto act = [&](const char* name) {
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(Get<QWidget>(name))->actionInterface();
        const QString action = actions->actionNames().first();
        EXPECT_TRUE(action == QAccessibleActionInterface::pressAction() ||
                    action == QAccessibleActionInterface::toggleAction());
        actions->doAction(action);
    };
    // Ticked from code: no handler runs, the trigger stamp stays disabled.
    Get<QCheckBox>("IDC_CHK_TIMESTAMP")->setChecked(true);
    EXPECT_FALSE(Enabled("IDC_CHK_CHAR_TS"));
    Get<QCheckBox>("IDC_CHK_TIMESTAMP")->setChecked(false);

    act("IDC_CHK_TIMESTAMP");
    EXPECT_TRUE(QtWaitUntil([&] { return Enabled("IDC_CHK_CHAR_TS"); }));
    act("IDC_CHK_CHAR_TS");
    EXPECT_TRUE(QtWaitUntil([&] { return Enabled("IDC_EDIT_TRIGGER"); }));
    act("IDC_CHK_CHAR_TS");
    EXPECT_TRUE(QtWaitUntil([&] { return !Enabled("IDC_EDIT_TRIGGER"); }));
    act("IDC_BTN_OPEN");
    EXPECT_TRUE(QtWaitUntil([&] { return dlg.IsPortOpen(); }));
    const QAccessibleInterface* save = QAccessible::queryAccessibleInterface(Get<QWidget>("IDC_CHK_SAVE"));
    EXPECT_EQ(save->role(), QAccessible::CheckBox);
    EXPECT_TRUE(save->state().checkable);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Get<QWidget>("IDC_BTN_OPEN"))->role(),
              QAccessible::PushButton);
}

TEST(PortList, FollowsWhatIsPluggedInAtEachDropDownAndKeepsTheSelection) {
    FakeSysfs sysfs;
    sysfs.AddTty("ttyS0", "platform/serial8250", "platform/drivers/serial8250", 4);
    sysfs.SetAttributes("usb1/1-1", {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                                     {"product", "FT232R USB UART"}, {"serial", "A50285BI"}});
    sysfs.AddTty("ttyUSB1", "usb1/1-1/1-1:1.0/ttyUSB1", "usb-serial/drivers/ftdi_sio");
    CPortBenchDlg dlg{{.extraPorts = {"/dev/corvala-typed"}, .sysfsRoot = sysfs.Root().string()}};
    dlg.show();
    auto* ports = dlg.findChild<QComboBox*>("IDC_COMBO_PORT");
    auto items = [&] {
        QStringList texts;
        for (int i = 0; i < ports->count(); ++i) texts << ports->itemText(i);
        return texts;
    };
    auto dropDown = [&] {
        ports->showPopup();
        ports->hidePopup();
    };
    auto description = [&](const char* name) {
        QWidget* combo = dlg.findChild<QWidget*>(name);
        return QAccessible::queryAccessibleInterface(combo)->text(QAccessible::Description);
    };
    EXPECT_EQ(items(), (QStringList{"/dev/ttyS0", "/dev/ttyUSB1", "/dev/corvala-typed"}));
    EXPECT_EQ(ports->currentText(), "/dev/corvala-typed");  // the user named it to use it
    EXPECT_EQ(description("IDC_COMBO_PORT"), QStringLiteral("串口号"));
    ports->setCurrentIndex(1);
    const QString adapter = QStringLiteral("FT232R USB UART — FTDI — A50285BI — 0403:6001");
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString(), adapter);
    EXPECT_EQ(ports->itemData(1, Qt::AccessibleDescriptionRole).toString(), adapter);
    EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString(), "serial8250");
    EXPECT_EQ(ports->toolTip(), adapter);
    // A screen reader hears which field this is before what the port is, as for its neighbours.
    EXPECT_EQ(description("IDC_COMBO_PORT"), QStringLiteral("串口号：") + adapter);
    using Field = std::pair<const char*, const char*>;
    for (const auto& [name, field] : {Field{"IDC_COMBO_BAUD", "波特率"}, Field{"IDC_COMBO_PARITY", "校验位"},
                                      Field{"IDC_COMBO_DATABITS", "数据位"}, Field{"IDC_COMBO_STOPBITS", "停止位"}}) {
        EXPECT_EQ(description(name), QString::fromUtf8(field)) << name;
    }

    sysfs.AddTty("ttyACM0", "usb1/1-2/1-2:1.0", "usb/drivers/cdc_acm");
    sysfs.RemoveTty("ttyS0");
    dropDown();
    EXPECT_EQ(items(), (QStringList{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/corvala-typed"}));
    EXPECT_EQ(ports->currentText(), "/dev/ttyUSB1");

    sysfs.RemoveTty("ttyUSB1");  // the selected adapter is unplugged
    dropDown();
    EXPECT_EQ(items(), (QStringList{"/dev/ttyACM0", "/dev/corvala-typed"}));
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(ports->toolTip(), "cdc_acm");
}

// The lists keep their size: an entry longer than the field drops down whole and is told
// whole by the tooltip, above what the tooltip said before.
TEST(SettingLists, ALongEntryDropsDownWholeAndItsTooltipHoldsItWhole) {
    const QString network = QStringLiteral("rfc2217://127.0.0.1:7000");
    CPortBenchDlg dlg{{.extraPorts = {network.toStdString()}, .sysfsRoot = kNoSysfs}};
    PortOptions custom = dlg.findChild<CAdvancedDlg*>()->Options();
    custom.customBaud = 50000000;
    dlg.findChild<CAdvancedDlg*>()->SetOptions(custom);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* port = FindControl<PopupComboBox>(dlg, "IDC_COMBO_PORT");
    auto* baud = FindControl<PopupComboBox>(dlg, "IDC_COMBO_BAUD");
    const QSize portSize = port->size(), baudSize = baud->size();
    ASSERT_EQ(port->currentText(), network);
    ASSERT_EQ(baud->currentText(), QStringLiteral("50000000 自定义"));
    EXPECT_TRUE(port->ToolTipText().startsWith(network + u'\n'))
        << port->ToolTipText().toStdString();
    EXPECT_GT(port->ToolTipText().size(), network.size() + 1);  // the port's identity stays
    EXPECT_EQ(baud->ToolTipText(), baud->currentText());
    EXPECT_EQ(FindControl<PopupComboBox>(dlg, "IDC_COMBO_PARITY")->ToolTipText(),
              QString());  // fits
    for (PopupComboBox* list : {port, baud}) {
        list->showPopup();
        ASSERT_TRUE(QtWaitUntil([&] { return list->view()->isVisible(); }));
        EXPECT_GE(list->view()->viewport()->width(), list->view()->sizeHintForColumn(0))
            << list->objectName().toStdString();
        list->hidePopup();
    }
    EXPECT_EQ(port->size(), portSize);
    EXPECT_EQ(baud->size(), baudSize);
}

TEST_F(DialogTest, EnterTakesTheValueTypedAndNeverEndsTheWindow) {
    dlg.show();
    Click("IDC_BTN_OPEN");
    auto* interval = Get<QLineEdit>("IDC_EDIT_INTERVAL");
    auto* trigger = Get<QLineEdit>("IDC_EDIT_TRIGGER");
    trigger->setEnabled(true);
    MessageBoxRecorder boxes;
    struct Case {
        QWidget* where;
        const char* typed;  // replaces the box's text; null: typed nothing
        int messages;
    };
    for (const Case& c : {Case{interval, "abc", 1}, Case{interval, "250", 0}, Case{trigger, "0D", 0},
                          Case{Get<QCheckBox>("IDC_CHK_PAUSE"), nullptr, 0}}) {
        const int before = static_cast<int>(boxes.Texts().size());
        c.where->setFocus();
        if (c.typed) {
            static_cast<QLineEdit*>(c.where)->clear();
            QTest::keyClicks(c.where, c.typed);
        }
        QTest::keyClick(c.where, Qt::Key_Return);
        EXPECT_EQ(static_cast<int>(boxes.Texts().size()) - before, c.messages) << c.where->objectName().toStdString();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(dlg.IsPortOpen());
    }
    EXPECT_TRUE(boxes.Texts()[0].startsWith(QStringLiteral("发送间隔必须是")));
}

TEST_F(DialogTest, APulledCableClosesThePortAndTellsTheUser) {
    Click("IDC_BTN_OPEN");
    ASSERT_TRUE(dlg.IsPortOpen());
    MessageBoxRecorder boxes;
    pty.CloseMaster();
    ASSERT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("串口%1已断开！\n设备已被移除或断开。")
                                             .arg(QString::fromStdString(pty.SlavePath()))});
    ExpectPortState(false);

    PtyPair back;  // the device comes back
    CPortBenchDlg again({.extraPorts = {back.SlavePath()}, .sysfsRoot = kNoSysfs});
    QTest::mouseClick(again.findChild<QPushButton*>("IDC_BTN_OPEN"), Qt::LeftButton);
    EXPECT_TRUE(again.IsPortOpen());
}

TEST_F(DialogTest, TheTakeExchangeNamesTheAllowedRange) {
    auto* interval = Get<QLineEdit>("IDC_EDIT_INTERVAL");
    MessageBoxRecorder boxes;
    for (const char* text : {"0", "abc", "4294967296", "-1", ""}) {
        interval->setText(text);
        EXPECT_FALSE(dlg.TakeExchange()) << text;
    }
    ASSERT_EQ(boxes.Texts().size(), 5);
    for (const QString& t : boxes.Texts()) EXPECT_TRUE(t.contains("1 到 4294967295")) << t.toStdString();

    interval->setText(" 4294967295 ");
    Get<QPlainTextEdit>("IDC_EDIT_TX")->setPlainText("41 42");
    EXPECT_TRUE(dlg.TakeExchange());
    dlg.ShowExchange();  // leaves what the user typed
    EXPECT_EQ(interval->text(), " 4294967295 ");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "41 42");
    EXPECT_EQ(boxes.Texts().size(), 5);
}

TEST_F(DialogTest, TheTriggerEditTakesAtMostTwoHexDigits) {
    dlg.show();
    auto* trigger = Get<QLineEdit>("IDC_EDIT_TRIGGER");
    trigger->setEnabled(true);
    trigger->setFocus();
    struct Case {
        const char* typed;
        const char* pasted;  // then, at the end
        const char* kept;
    };
    for (const Case& c : {Case{"0D7", "", "0D"}, Case{"zZ", "", ""}, Case{"G1x", "", "1"}, Case{"", "ZZ", ""},
                          Case{"", "1 2", ""}, Case{"a", "7", "a7"}, Case{"", "0D7", "0D"}}) {
        trigger->clear();
        QTest::keyClicks(trigger, c.typed);
        QApplication::clipboard()->setText(c.pasted);
        QTest::keyClick(trigger, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(trigger->text(), c.kept) << c.typed << " + " << c.pasted;
    }

    MessageBoxRecorder boxes;
    trigger->setText("ZZ");  // past the validator, as an assistive tool may
    EXPECT_FALSE(dlg.TakeExchange());
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(boxes.Texts()[0].startsWith(QStringLiteral("触发字符最多只能输入 2 个十六进制数字")));
    trigger->clear();  // empty means 00
    EXPECT_TRUE(dlg.TakeExchange());
}

TEST_F(DialogTest, TheAboutEntryIsInTheContextMenuAndOnAltA) {
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QStringList menuTexts;
    QTimer poll;  // reads and closes the menu once it is up
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions()) menuTexts << a->text();
            menu->close();
        }
    });
    poll.start(5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dlg, &event);
    EXPECT_EQ(menuTexts, (QStringList{"", QStringLiteral("高级设置(&S)..."), QStringLiteral("关于 Corvala(&A)..")}));

    // A window shortcut fires only in the active window; under a loaded test run the window
    // may not have been handed back the activation the menu took.
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ModalCloser about;
    QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(about.Titles(), QStringList{QStringLiteral("关于 Corvala")});
}

TEST(CommandLine, AnOptionIsRefusedWithStatus2) {
    CPortBenchApp app;
    EXPECT_EQ(app.InitInstance({"--bogus"}), 2);
}

TEST(CommandLine, WithoutADisplayAnOptionOrAWindowEndsWithOneLineAndStatus2) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string usage = "usage: corvala [PORT...]\n";
    const std::string noDisplay =
        "corvala: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset)\n";
    for (const Case& c : {Case{{"--bogus"}, "corvala: unknown option --bogus\n" + usage},
                          Case{{"/dev/ttyS0", "-x"}, "corvala: unknown option -x\n" + usage}, Case{{}, noDisplay},
                          Case{{"/dev/ttyS0"}, noDisplay}, Case{{"tcp://127.0.0.1:2001"}, noDisplay},
                          Case{{"rfc2217://host"},
                               "corvala: bad network port rfc2217://host (rfc2217://HOST:PORT or tcp://HOST:PORT)\n" +
                                   usage}}) {
        std::vector<std::string> argv{CORVALA_EXE};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CommandResult r = RunCommand(argv, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_EQ(r.err, c.err);
    }
}

TEST(CommandLine, ADisplayThatDoesNotAnswerEndsWithOneLineAndStatus2) {
    const CommandResult r = RunCommand({"/usr/bin/env", "DISPLAY=:4242", CORVALA_EXE}, {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvala: cannot connect to the display :4242\n");
    if (QDir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms").entryList({"libqwayland*"}).isEmpty()) {
        // A Wayland socket is no display where Qt has no Wayland plugin to reach it.
        const CommandResult w = RunCommand({"/usr/bin/env", "WAYLAND_DISPLAY=wayland-0", CORVALA_EXE},
                                           {"DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"});
        EXPECT_EQ(w.status, 2);
    }
}

TEST(CommandLine, HelpAndVersionAreAnsweredWithoutADisplay) {
    struct Case {
        const char* ask;
        const char* firstLine;
    };
    for (const Case& c : {Case{"--help", "usage: corvala [PORT...]"}, Case{"-h", "usage: corvala [PORT...]"},
                          Case{"--version", "corvala " CORVALA_VERSION}, Case{"-v", "corvala " CORVALA_VERSION}}) {
        const CommandResult r = RunCommand({CORVALA_EXE, c.ask}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        EXPECT_EQ(r.status, 0) << c.ask;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.firstLine) << c.ask;
        EXPECT_EQ(r.err, "") << c.ask;
    }
}

}  // namespace
