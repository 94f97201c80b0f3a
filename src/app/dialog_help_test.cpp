#include "ui/help_dlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/port_bench_dlg.h"
#include "test/modal_closer.h"
#include "test/qt_wait.h"

namespace {

TEST(HelpText, HasItsSectionsInOrderInLinesOfAtMost45Characters) {
    const QString text = HHelpDlg::HelpText();
    ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = text.chopped(2).split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        EXPECT_LE(line.size(), 45) << line.toStdString();
        EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n')) << line.toStdString();
    }
    qsizetype at = 0;
    for (const char* heading : {"Corvala软件许可协议：", "软件介绍：", "特点：", "操作方法：",
                                "更多功能：", "声明：", "更新日志："}) {
        const qsizetype found = lines.indexOf(QString::fromUtf8(heading), at);
        EXPECT_GE(found, at) << heading;
        at = std::max(found, at);
    }
    EXPECT_TRUE(text.contains(QStringLiteral(CORVALA_HOME_PAGE)));
    EXPECT_FALSE(text.contains(u'@'));
}

TEST(HelpText, KeepsCommandsAndPathsWholeOnALine) {
    const QStringList lines = HHelpDlg::HelpText().split(QStringLiteral("\r\n"));
    for (const char* whole :
         {"/sys/class/tty", "sudo usermod -aG dialout $USER", "corvala [串口...]", "/dev/pts/5",
          "rxLOG_年-月-日.log", "~/.local/share/corvala/", "Alt+S", "Ctrl+F", "Ctrl+1",
          "rfc2217://主机:端口", "tcp://主机:端口"}) {
        EXPECT_EQ(lines.filter(QString::fromUtf8(whole)).size(), 1) << whole;
    }
    // Latin words stand apart from the Chinese by a space, so a line that ends in one and
    // a next line that goes on without a space cut it in two.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i - 1].isEmpty() || lines[i].isEmpty()) continue;
        const QChar last = lines[i - 1].back(), first = lines[i].front();
        EXPECT_FALSE(last.unicode() < 0x80 && !last.isSpace() && !first.isSpace() &&
                     (first.unicode() < 0x80 || first.isLetterOrNumber()))
            << lines[i - 1].toStdString() << " / " << lines[i].toStdString();
    }
}

// Chinese typesetting never begins a line with a closing mark: a wrap that does looks broken.
TEST(HelpText, BeginsNoLineWithAClosingMark) {
    const QString closing = QStringLiteral("、。，；：）》”！？");
    for (const QString& line : HHelpDlg::HelpText().split(QStringLiteral("\r\n"))) {
        EXPECT_FALSE(!line.isEmpty() && closing.contains(line.front())) << line.toStdString();
    }
}

class AuxWindows : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }
    CPortBenchDlg dlg{{.sysfsRoot = "/nonexistent-sysfs"}};
};

TEST_F(AuxWindows, HelpShowsTheWholeTextReadOnlyAndUnwrappedEveryTime) {
    QStringList shown;
    ModalCloser closer([&](QDialog& help) {
        auto* edit = help.findChild<QPlainTextEdit*>(QStringLiteral("IDC_EDIT_HELP"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
        QTest::keyClicks(edit, "typed");
        QTest::keyClick(edit, Qt::Key_Delete);
        shown << edit->toPlainText();
    });
    auto* button = dlg.findChild<QPushButton*>(QStringLiteral("IDC_BTN_HELP"));
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    const QString expected = HHelpDlg::HelpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(shown, (QStringList{expected, expected}));
    EXPECT_TRUE(closer.Titles().at(0).startsWith(QStringLiteral("帮助   ")));
}

TEST_F(AuxWindows, EnterAndEscapeCloseTheHelp) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        HHelpDlg help(&dlg);
        help.show();
        QTest::keyClick(help.findChild<QPlainTextEdit*>(), key);
        EXPECT_FALSE(help.isVisible()) << key;
    }
}

TEST_F(AuxWindows, AboutHasTheIconTheNameAndADefaultOk) {
    ModalCloser closer([&](QDialog& about) {
        EXPECT_FALSE(about.findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
        EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("aboutName"))->text(), "Corvala");
        auto* ok = about.findChild<QPushButton*>(QStringLiteral("IDOK"));
        EXPECT_EQ(ok->text(), QStringLiteral("确定"));
        EXPECT_TRUE(ok->isDefault());
    });
    QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(closer.Titles(), QStringList{QStringLiteral("关于 Corvala")});
}

}  // namespace
