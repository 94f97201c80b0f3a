#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "test/find_control.h"
#include "test/qt_wait.h"

namespace {

using Range = std::pair<size_t, size_t>;

class FindInDialog : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        view = FindControl<ReceiveView>(dlg, "IDC_EDIT_RX");
        bar = FindControl<QWidget>(dlg, "FindBar");
        field = FindControl<QLineEdit>(dlg, "FindText");
        count = FindControl<QLabel>(dlg, "FindCount");
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    }
    // The label once it says `text`, else as it stands at the deadline.
    QString CountSays(const QString& text) {
        QtWaitUntil([&] { return count->text() == text; });
        return count->text();
    }
    Range Selected() { return {view->SelectionStart(), view->SelectionEnd()}; }

    CPortBenchDlg dlg{{.sysfsRoot = "/nonexistent-sysfs"}};
    ReceiveView* view;
    QWidget* bar;
    QLineEdit* field;
    QLabel* count;
};

TEST_F(FindInDialog, KeysOpenSearchStepRoundAndCloseOnlyTheBar) {
    EXPECT_TRUE(bar->isHidden());  // the window starts as it always did
    view->Append("OK\r\nok\r\nERROR\r\nOk\r\n");
    view->setFocus();
    Key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_FALSE(bar->isHidden());
    EXPECT_EQ(QApplication::focusWidget(), field);
    QTest::keyClicks(field, "ok");
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 3 个")), QStringLiteral("第 1 个，共 3 个"));
    EXPECT_EQ(Selected(), Range(0, 2));

    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char16_t* says;
        size_t at;
    } steps[] = {
        {Qt::Key_F3, Qt::NoModifier, u"第 2 个，共 3 个", 4},
        {Qt::Key_Return, Qt::NoModifier, u"第 3 个，共 3 个", 15},
        {Qt::Key_F3, Qt::NoModifier, u"第 1 个，共 3 个", 0},  // round the end
        {Qt::Key_F3, Qt::ShiftModifier, u"第 3 个，共 3 个", 15},
        {Qt::Key_Return, Qt::ShiftModifier, u"第 2 个，共 3 个", 4},
    };
    for (const auto& step : steps) {
        Key(step.key, step.modifiers);
        const QString says = QString::fromStdU16String(step.says);
        EXPECT_EQ(CountSays(says), says);
        EXPECT_EQ(Selected(), Range(step.at, step.at + 2));
    }

    QTest::mouseClick(FindControl<QCheckBox>(dlg, "FindMatchCase"), Qt::LeftButton);
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 1 个")), QStringLiteral("第 1 个，共 1 个"));
    view->Append("ok ok\r\n");  // data keeps arriving: the count follows it
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 3 个")), QStringLiteral("第 1 个，共 3 个"));

    field->setFocus();
    Key(Qt::Key_Escape);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(dlg.isVisible());  // Esc in the bar closes the bar, not the window
    EXPECT_EQ(QApplication::focusWidget(), view);
    EXPECT_EQ(view->Text(0, 2), QStringLiteral("OK"));  // nothing typed into the area
}

TEST_F(FindInDialog, HexPatternsFindBytesAsShownAndABadDigitIsNamed) {
    view->Append("0D 0A 41 0D 0A \r\n");
    Key(Qt::Key_F, Qt::ControlModifier);
    QTest::mouseClick(FindControl<QCheckBox>(dlg, "FindHex"), Qt::LeftButton);
    QTest::keyClicks(field, "0d0a");
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 2 个")), QStringLiteral("第 1 个，共 2 个"));
    EXPECT_EQ(Selected(), Range(0, 5));
    // Shown one character a byte, the same bytes are the line break.
    QTest::mouseClick(FindControl<QCheckBox>(dlg, "IDC_CHK_HEXSHOW"), Qt::LeftButton);
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 1 个")), QStringLiteral("第 1 个，共 1 个"));
    field->insert(QStringLiteral("😀G"));  // as pasted
    const QString bad = QStringLiteral("第 5 个字符“😀”不是十六进制数字");
    EXPECT_EQ(count->text(), bad);
}

// The bar fits what it says as it says it, in the window as it starts and widened: no
// part of it is cut short or drawn over another.
TEST_F(FindInDialog, EveryPartOfTheBarShowsWhole) {
    view->Append("ok ok ok ok ok ok ok ok ok ok ok ok\r\n");
    Key(Qt::Key_F, Qt::ControlModifier);
    const QSize start = dlg.size();
    const struct {
        int width;
        bool hex;
        const char* typed;
        const char16_t* says;
    } cases[] = {
        {start.width(), false, "ok", u"第 1 个，共 12 个"},
        {start.width(), true, "6X", u"第 2 个字符“X”不是十六进制数字"},
        {1250, false, "ok", u"第 1 个，共 12 个"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        dlg.resize(c.width, start.height());
        FindControl<QCheckBox>(dlg, "FindHex")->setChecked(c.hex);
        field->setText(QString::fromUtf8(c.typed));
        const QString says = QString::fromStdU16String(c.says);
        ASSERT_EQ(CountSays(says), says);
        QApplication::processEvents();  // the layout settles
        const QList<QWidget*> parts = bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* part : parts) {
            SCOPED_TRACE((part->objectName() + part->accessibleName()).toStdString());
            EXPECT_TRUE(bar->rect().contains(part->geometry()));
            EXPECT_GE(part->width(), part->minimumSizeHint().width());
            if (qobject_cast<QLabel*>(part) || qobject_cast<QCheckBox*>(part))
                EXPECT_GE(part->width(), part->sizeHint().width());
            for (QWidget* other : parts) {
                if (other != part)
                    EXPECT_FALSE(part->geometry().intersects(other->geometry()))
                        << other->objectName().toStdString();
            }
        }
    }
}

TEST_F(FindInDialog, NothingFoundIsSaid) {
    view->Append("abc");
    Key(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(field, "x");
    EXPECT_EQ(CountSays(QStringLiteral("无匹配")), QStringLiteral("无匹配"));
}

// Shown as UTF-8, bytes are looked for as the characters they read as; bytes that are no
// whole character are refused, not silently never found.
TEST_F(FindInDialog, HexPatternsFindDecodedCharactersAndRefuseHalfOne) {
    QTest::mouseClick(FindControl<QCheckBox>(dlg, "IDC_CHK_HEXSHOW"), Qt::LeftButton);
    QTest::mouseClick(FindControl<QRadioButton>(dlg, "rbUtf8"), Qt::LeftButton);
    view->AppendText(u"温度 中\r\n中文");
    Key(Qt::Key_F, Qt::ControlModifier);
    QTest::mouseClick(FindControl<QCheckBox>(dlg, "FindHex"), Qt::LeftButton);
    QTest::keyClicks(field, "e4 b8 ad");
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 2 个")), QStringLiteral("第 1 个，共 2 个"));
    EXPECT_EQ(Selected(), Range(3, 4));
    QTest::keyClick(field, Qt::Key_Backspace);
    const QString refused = QStringLiteral("这些字节按 UTF-8 不是完整的字符，显示中没有");
    EXPECT_EQ(CountSays(refused), refused);
    QTest::mouseClick(FindControl<QRadioButton>(dlg, "rbGb18030"), Qt::LeftButton);
    field->setText(QStringLiteral("D6 D0"));
    EXPECT_EQ(CountSays(QStringLiteral("第 1 个，共 2 个")), QStringLiteral("第 1 个，共 2 个"));
}

}  // namespace
