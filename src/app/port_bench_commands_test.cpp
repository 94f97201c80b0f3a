// Saved commands and the history of sends through the real dialog, sent to a pseudo-terminal.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>

#include "app/port_bench_dlg.h"
#include "serial/pty_pair.h"
#include "test/device_read.h"
#include "test/find_control.h"
#include "test/message_box_recorder.h"
#include "test/qt_wait.h"
#include "ui/advanced_dlg.h"
#include "ui/command_edit_dlg.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class SavedCommands : public ::testing::Test {
protected:
    SavedCommands() { Start(); }

    // A start of the program; the previous one ends first, as the user closes it.
    void Start() {
        if (dlg) dlg->reject();
        dlg = std::make_unique<CPortBenchDlg>(
            DialogEnvironment{.extraPorts = {pty.SlavePath()},
                              .sysfsRoot = "/nonexistent",
                              .charset = "UTF-8",
                              .settingsFile = dir.filePath("corvala.conf").toStdString(),
                              .commandDirectory = dir.path().toStdString()});
    }
    template <typename T>
    T* Get(QWidget& parent, const char* name) {
        return FindControl<T>(parent, name);
    }
    CAdvancedDlg& Advanced() { return *dlg->findChild<CAdvancedDlg*>(); }
    void Click(QWidget& parent, const char* name) {
        QTest::mouseClick(Get<QPushButton>(parent, name), Qt::LeftButton);
    }
    void Open() {
        QTest::mouseClick(Get<QPushButton>(*dlg, "IDC_BTN_OPEN"), Qt::LeftButton);
        ASSERT_TRUE(dlg->IsPortOpen());
    }
    void Write(const char* name, const std::string& content) {
        std::ofstream(dir.filePath(QString::fromUtf8(name)).toStdString(), std::ios::binary)
            << content;
    }
    QString SendArea() { return Get<QPlainTextEdit>(*dlg, "IDC_EDIT_TX")->toPlainText(); }
    Bytes Device(size_t count) { return DeviceReceives(pty, count); }
    void ShowActive(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    QStringList Rows(const char* list, int column) {
        auto* tree = Get<QTreeWidget>(Advanced(), list);
        QStringList rows;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            rows << tree->topLevelItem(i)->text(column);
        return rows;
    }
    // Answers the next modal dialog of type T, as often as it comes, with `answer`.
    template <typename T>
    std::unique_ptr<QTimer> Answer(std::function<void(T&)> answer) {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [answer] {
            if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget()); d && d->isVisible())
                answer(*d);
        });
        timer->start(5);
        return timer;
    }

    QTemporaryDir dir;
    PtyPair pty;
    std::unique_ptr<CPortBenchDlg> dlg;
};

TEST_F(SavedCommands, CtrlDigitsSendTheFirstTenAsTheSendButtonWouldFromEitherWindow) {
    Write("commands.txt",
          "Reset\ttext\tAT+RST\\n2\n"
          "Read\thex\t01 03\n");
    Start();
    EXPECT_EQ(Rows("listCommands", 0), (QStringList{"Ctrl+1", "Ctrl+2"}));
    EXPECT_EQ(Rows("listCommands", 3), (QStringList{"AT+RST↵2", "01 03"}));
    Open();
    Get<QCheckBox>(*dlg, "IDC_CHK_HEXSEND")->setChecked(true);
    ShowActive(*dlg);
    QTest::keyClick(dlg.get(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(Device(9), (Bytes{'A', 'T', '+', 'R', 'S', 'T', '\r', '\n', '2'}));
    EXPECT_EQ(SendArea(), "AT+RST\n2");
    EXPECT_FALSE(Get<QCheckBox>(*dlg, "IDC_CHK_HEXSEND")->isChecked());

    ShowActive(Advanced());
    QTest::keyClick(&Advanced(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(Device(2), (Bytes{0x01, 0x03}));
    EXPECT_TRUE(Get<QCheckBox>(*dlg, "IDC_CHK_HEXSEND")->isChecked());
    QTest::keyClick(&Advanced(), Qt::Key_3, Qt::ControlModifier);  // no third command
    EXPECT_TRUE(pty.Read(1, 50ms).empty());

    // Enter on a command sends it too.
    auto* list = Get<QTreeWidget>(Advanced(), "listCommands");
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(Device(9).size(), 9u);
}

TEST_F(SavedCommands, HistoryKeepsFiftyNewestFirstAndAResendGoesThroughTheSendArea) {
    Open();
    for (int i = 0; i < 55; ++i) {
        Get<QPlainTextEdit>(*dlg, "IDC_EDIT_TX")->setPlainText(QString::number(i + 10));
        Click(*dlg, "IDC_BTN_SEND");
    }
    Click(*dlg, "IDC_BTN_SEND");  // the same again is not kept twice
    Device(56);
    QStringList rows = Rows("listHistory", 1);
    ASSERT_EQ(rows.size(), 50);
    EXPECT_EQ(rows.front(), "64");
    EXPECT_EQ(rows.back(), "15");

    auto* history = Get<QTreeWidget>(Advanced(), "listHistory");
    history->setCurrentItem(history->topLevelItem(49));
    Click(Advanced(), "btnSendHistory");
    EXPECT_EQ(SendArea(), "15");
    EXPECT_EQ(Device(1), (Bytes{0x15}));
    EXPECT_EQ(Rows("listHistory", 1).front(), "15");

    // Not on disk while settings are not remembered; kept across starts while they are.
    Start();
    EXPECT_TRUE(Rows("listHistory", 1).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("history.txt")));
    Get<QCheckBox>(Advanced(), "IDC_CHK_REMEMBER")->click();
    Open();
    Get<QPlainTextEdit>(*dlg, "IDC_EDIT_TX")->setPlainText("AB");
    Click(*dlg, "IDC_BTN_SEND");
    Start();
    EXPECT_EQ(Rows("listHistory", 1), QStringList{"AB"});
}

TEST_F(SavedCommands, EditingRefusesHexAsTheSendAreaDoesAndEveryChangeIsSaved) {
    MessageBoxRecorder boxes;
    int shown = 0;
    auto editor = Answer<CCommandEditDlg>([&](CCommandEditDlg& d) {
        for (const char* name : {"editName", "editText", "chkHex"}) {  // what a screen reader reads
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(Get<QWidget>(d, name));
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << name;
        }
        Get<QLineEdit>(d, "editName")->setText("Frame");
        Get<QPlainTextEdit>(d, "editText")->setPlainText(++shown == 1 ? "01 0G" : "01 02");
        Get<QCheckBox>(d, "chkHex")->setChecked(true);
        d.accept();
    });
    Click(Advanced(), "btnAddCommand");
    editor.reset();
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(
        boxes.Texts()[0].startsWith(QStringLiteral("第 5 个字符“G”不是十六进制数字，没有保存。")))
        << boxes.Texts()[0].toStdString();

    Write("import.txt", "First\ttext\tA\nbad\thex\tXY\n\xD6\xD0\ttext\tB\n");
    auto picker = Answer<QFileDialog>([&](QFileDialog& d) {
        d.selectFile(dir.filePath("import.txt"));
        static_cast<QDialog&>(d).accept();  // as the open button does
    });
    Click(Advanced(), "btnImportCommands");
    EXPECT_EQ(Rows("listCommands", 1), (QStringList{"Frame", "First"}));
    ASSERT_EQ(boxes.Texts().size(), 2);
    EXPECT_TRUE(boxes.Texts()[1].contains(QStringLiteral("第 2 行：")));
    EXPECT_TRUE(boxes.Texts()[1].contains(QStringLiteral("第 3 行：不是 UTF-8 文本")));

    auto* list = Get<QTreeWidget>(Advanced(), "listCommands");
    list->setCurrentItem(list->topLevelItem(1));
    Click(Advanced(), "btnCommandUp");
    Start();
    EXPECT_EQ(Rows("listCommands", 1), (QStringList{"First", "Frame"}));
    EXPECT_EQ(Rows("listCommands", 2), (QStringList{"文本", "十六进制"}));

    list = Get<QTreeWidget>(Advanced(), "listCommands");
    list->setCurrentItem(list->topLevelItem(0));
    Click(Advanced(), "btnDeleteCommand");
    Start();
    EXPECT_EQ(Rows("listCommands", 1), QStringList{"Frame"});
    EXPECT_EQ(boxes.Texts().size(), 2);
}

// commands.txt linked to /dev/zero once grew the program without end.
TEST_F(SavedCommands, ADeviceIsNeitherReadNorWritten) {
    MessageBoxRecorder boxes;
    QFile::link("/dev/zero", dir.filePath("commands.txt"));
    Start();
    ASSERT_TRUE(QtWaitUntil([&] { return boxes.Texts().size() == 1; }));
    EXPECT_TRUE(Rows("listCommands", 1).isEmpty());
    auto editor = Answer<CCommandEditDlg>([&](CCommandEditDlg& d) {
        Get<QPlainTextEdit>(d, "editText")->setPlainText("AT");
        d.accept();
    });
    Click(Advanced(), "btnAddCommand");
    editor.reset();
    EXPECT_EQ(QFileInfo(dir.filePath("commands.txt")).symLinkTarget(), "/dev/zero");

    const QString notRegular = QStringLiteral("不是普通文件，而是设备、管道或文件夹。");
    EXPECT_EQ(boxes.Texts(), (QStringList{
                                 QStringLiteral("无法读取常用命令文件，命令列表为空。\n") +
                                     dir.filePath("commands.txt") + u'\n' + notRegular,
                                 QStringLiteral("无法保存常用命令。\n") +
                                     dir.filePath("commands.txt") + u'\n' + notRegular,
                             }));
}

}  // namespace
