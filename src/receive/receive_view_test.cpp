#include "receive/receive_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QTimer>
#include <QScrollBar>
#include <QTest>
#include <functional>

namespace {

using namespace std::string_literals;

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QString All() { return view.Text(0, view.Length()); }
    ReceiveView view;
};

TEST_F(ViewTest, AppendsAtTheEndAndFollowsTheNewestLine) {
    for (int i = 0; i < 500; ++i) view.Append("41 42 43\r\n");
    EXPECT_EQ(view.Length(), 5000u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.verticalScrollBar()->maximum() > 0; }));
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_EQ(view.CursorPosition(), view.Length());
}

TEST_F(ViewTest, LongLinesWrapAtTheWidth) {
    view.Append(std::string(10000, 'A'));
    view.ShowNewestLine();
    const int rowsAtWidth = view.verticalScrollBar()->maximum();
    view.resize(200, 300);
    QApplication::processEvents();
    EXPECT_GT(view.verticalScrollBar()->maximum(), rowsAtWidth);
}

TEST_F(ViewTest, HexRowsHoldWholeGroupsOf16Or8BytesAndTextTheWholeWidth) {
    struct Case {
        bool hex;
        int cells;    // the view's width in character cells
        int columns;  // characters a row holds
    };
    const int cell = QFontMetrics(view.viewport()->font()).horizontalAdvance(QLatin1Char('0'));
    for (const Case& c : {Case{true, 56, 48}, Case{true, 100, 96}, Case{true, 47, 48}, Case{true, 30, 24},
                          Case{true, 22, 21}, Case{true, 1, 1}, Case{false, 56, 56}, Case{false, 47, 47}}) {
        view.SetPairLayout(c.hex);
        const int chrome = view.width() - view.viewport()->width();  // frame and scroll bar
        view.resize(c.cells * cell + cell / 2 + chrome, 300);
        QApplication::processEvents();
        EXPECT_EQ(view.Columns(), c.columns) << c.cells << " cells, hex " << c.hex;
    }
}

TEST_F(ViewTest, HexPairsAreNeverSplitAcrossRows) {
    std::string hex;
    for (int i = 0; i < 300; ++i) hex += "A5 ";
    view.Append(hex);
    view.ShowNewestLine();
    QWidget* vp = view.viewport();
    const int rowHeight = QFontMetrics(vp->font()).height();
    // The first character of the second row starts a pair.
    view.verticalScrollBar()->setValue(0);
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(1, rowHeight + rowHeight / 2));
    EXPECT_EQ(view.CursorPosition() % 3, 0u);
    EXPECT_GT(view.CursorPosition(), 0u);
}

TEST_F(ViewTest, SelectionAndCopyKeepTheExactCharacters) {
    view.Append("A\x01\tB\r\nC\0D\xFF"s);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view.SelectedText(), QString("A\x01\tB\r\nC") + QChar(0) + "D" + QChar(0xFF));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), view.SelectedText());

    // Shift+arrows from the start select one character at a time.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view.SelectedText(), QString("A\x01"));
}

TEST_F(ViewTest, ItsOwnMenuCopiesAndSelects) {
    view.Append("abc");
    QStringList items;
    QTimer poll;  // picks "select all" once the menu is up
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* a : menu->actions()) items << a->text();
        for (QAction* a : menu->actions()) {
            if (a->text() == QStringLiteral("全选(&A)")) a->trigger();
        }
        menu->close();
    });
    poll.start(5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3), view.viewport()->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(view.viewport(), &event);
    EXPECT_EQ(items, (QStringList{QStringLiteral("剪切(&T)"), QStringLiteral("复制(&C)"),
                                  QStringLiteral("粘贴(&P)"), QStringLiteral("删除(&D)"), "",
                                  QStringLiteral("全选(&A)"), "", QStringLiteral("保存显示内容…")}));
    EXPECT_EQ(view.SelectedText(), "abc");
}

TEST_F(ViewTest, MouseDragSelects) {
    view.Append("0123456789");
    QWidget* vp = view.viewport();
    QFontMetrics fm(vp->font());
    const int cell = fm.horizontalAdvance('0');
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(2 * cell, 3));
    QTest::mouseMove(vp, QPoint(5 * cell, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(5 * cell, 3), vp->mapToGlobal(QPointF(5 * cell, 3)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(5 * cell, 3));
    EXPECT_EQ(view.SelectedText(), "234");
}

TEST_F(ViewTest, DraggingBelowTheViewScrollsIt) {
    for (int i = 0; i < 200; ++i) view.Append("line\r\n");
    view.ShowNewestLine();
    view.verticalScrollBar()->setValue(0);
    QWidget* vp = view.viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(2, 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, vp->height() + 40),
                     vp->mapToGlobal(QPointF(2, vp->height() + 40)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    EXPECT_GT(view.verticalScrollBar()->value(), 0);
    EXPECT_GT(view.SelectedText().count("line"), 1);
}

TEST_F(ViewTest, TheUserCanType) {
    view.Append("AB");
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(&view, "x");
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_EQ(All(), "xA");
}

TEST_F(ViewTest, BackspaceAndDeleteTakeALineBreakWhole) {
    struct Case {
        const char* text;
        size_t cursor;
        Qt::Key key;
        const char* after;
    };
    for (const Case& c : {Case{"ab\r\ncd", 4, Qt::Key_Backspace, "abcd"}, Case{"ab\r\ncd", 2, Qt::Key_Delete, "abcd"},
                          Case{"ab\rcd", 3, Qt::Key_Backspace, "abcd"}, Case{"ab\ncd", 2, Qt::Key_Delete, "abcd"},
                          Case{"abc", 2, Qt::Key_Backspace, "ac"}}) {
        view.SetText(ReceiveText::FromLatin1(c.text));
        view.SetSelection(c.cursor, c.cursor);
        view.setFocus();
        QTest::keyClick(&view, c.key);
        EXPECT_EQ(All(), c.after) << c.text << " at " << c.cursor;
    }
}

TEST_F(ViewTest, AnEmojiIsOneCharacterToBackspaceDeleteAndTheArrows) {
    struct Case {
        size_t cursor;
        std::vector<Qt::Key> keys;
        QString after;
    };
    const QString text = QStringLiteral("a😀b");  // the emoji is a surrogate pair
    for (const Case& c : {Case{3, {Qt::Key_Backspace}, "ab"}, Case{1, {Qt::Key_Delete}, "ab"},
                          Case{3, {Qt::Key_Left, Qt::Key_Delete}, "ab"},
                          Case{1, {Qt::Key_Right, Qt::Key_Backspace}, "ab"}}) {
        view.SetText({});
        view.setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(&view, &commit);
        view.SetSelection(c.cursor, c.cursor);
        for (Qt::Key key : c.keys) QTest::keyClick(&view, key);
        EXPECT_EQ(All(), c.after) << "from " << c.cursor << ", " << c.keys.size() << " keys";
    }
}

// The caret never stands between the halves of a pair, wherever a click, a row's end or a
// step to the next row puts it: no edit there leaves half a character.
TEST_F(ViewTest, NoCaretPlacementSplitsAnEmoji) {
    const int cell = QFontMetrics(view.viewport()->font()).horizontalAdvance(QLatin1Char('0'));
    view.SetPairLayout(false);
    view.resize(10 * cell + cell / 2 + view.width() - view.viewport()->width(), 300);
    QApplication::processEvents();
    ASSERT_EQ(view.Columns(), 10);
    // A pair under the click, and one where the first row ends: a row ends before a pair,
    // never inside it.
    const QString text = QStringLiteral("a😀aaaaaaaa😀b");
    QWidget* vp = view.viewport();
    const std::function<void()> click = [&] {
        QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(2 * cell, 3));
    };
    const std::function<void()> end = [&] { QTest::keyClick(&view, Qt::Key_End); };
    const std::function<void()> down = [&] { QTest::keyClick(&view, Qt::Key_Down); };
    for (const auto& place : {click, end, down}) {
        for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_X}) {
            view.SetText(ReceiveText::FromUtf16(text.toStdU16String()));
            view.setFocus();
            place();
            QTest::keyClick(&view, key);
            EXPECT_TRUE(All().isValidUtf16()) << key << " left " << All().toStdString();
        }
    }
}

// A character above U+00FF takes its glyph's advance, so Chinese is not spaced out; a line
// holding such characters wraps only where its next one would reach past the edge; and the
// caret, a click and the selection agree on where each one is.
TEST_F(ViewTest, WideCharactersTakeTheirGlyphsAdvanceAndWrapOnlyAtTheEdge) {
    const QFontMetrics fm(view.viewport()->font());
    const int cell = fm.horizontalAdvance(QLatin1Char('0'));
    view.SetPairLayout(false);
    view.resize(40 * cell + cell / 2 + view.width() - view.viewport()->width(), 300);
    QApplication::processEvents();
    ASSERT_EQ(view.Columns(), 40);
    const int edge = 40 * cell;  // rows end at a whole cell, text of any kind
    std::u16string mixed = u"温度 23.5 ";
    for (int i = 0; i < 8; ++i) mixed += u"中文测试";
    mixed += u" END";
    const std::u16string notice = u"串口已重新连接 2026-12-09 13:42:07.733";
    view.AppendText(mixed + u"\r\n" + notice + u"\r\n");
    view.ShowNewestLine();
    view.verticalScrollBar()->setValue(0);
    view.setFocus();
    const auto caretAt = [&](size_t p) {
        view.SetSelection(p, p);
        return view.inputMethodQuery(Qt::ImCursorRectangle).toRect().translated(-view.viewport()->pos());
    };
    const auto advance = [&](char16_t c) { return fm.horizontalAdvance(QChar(c)); };
    for (const auto& [line, from] : {std::pair{mixed, size_t{0}}, std::pair{notice, mixed.size() + 2}}) {
        for (size_t i = 0; i < line.size(); ++i) {
            const QRect caret = caretAt(from + i);
            ASSERT_LE(caret.x() + advance(line[i]), edge) << "character " << i;
            if (i > 0) {
                const QRect before = caretAt(from + i - 1);
                const int end = before.x() + advance(line[i - 1]);
                if (caret.y() == before.y()) {
                    ASSERT_EQ(caret.x(), end) << "character " << i << " follows the one before";
                } else {
                    ASSERT_GT(end + advance(line[i]), edge) << "a break before " << i;
                }
            }
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(caret.x() + cell / 4, caret.center().y()));
            ASSERT_EQ(view.CursorPosition(), from + i) << "a click where the caret is drawn";
        }
    }
    EXPECT_EQ(caretAt(mixed.size() + 2).y(), caretAt(mixed.size() + 2 + notice.size()).y()) << "the notice is one row";
    // A drag over the first wide character selects it alone.
    const int y = caretAt(0).center().y();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(cell / 4, y));
    QTest::mouseMove(view.viewport(), QPoint(advance(u'温') - cell / 4, y));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(advance(u'温') - cell / 4, y));
    EXPECT_EQ(view.SelectedText(), QStringLiteral("温"));
}

// A long line of such characters keeps where its rows start; appended piece by piece, it
// wraps exactly as when laid out at once.
TEST_F(ViewTest, ALongChineseLineAppendedInPiecesWrapsAsWhenLaidOutAtOnce) {
    std::u16string line;
    while (line.size() < 3000) line += u"温度传感器 23.5℃ 😀 ";
    ReceiveView whole;
    whole.resize(view.size());
    whole.show();
    whole.SetText(ReceiveText::FromUtf16(line));
    for (size_t at = 0; at < line.size(); at += 37) view.AppendText(std::u16string_view(line).substr(at, 37));
    view.ShowNewestLine();
    ASSERT_EQ(view.verticalScrollBar()->maximum(), whole.verticalScrollBar()->maximum());
    view.verticalScrollBar()->setValue(0);
    for (size_t p = 0; p <= line.size(); p += 7) {
        view.SetSelection(p, p);
        whole.SetSelection(p, p);
        ASSERT_EQ(view.inputMethodQuery(Qt::ImCursorRectangle).toRect(),
                  whole.inputMethodQuery(Qt::ImCursorRectangle).toRect())
            << p;
    }
}

// An edit that makes a finished line of Chinese longer than a row wraps it.
TEST_F(ViewTest, AnEditThatLengthensAChineseLineWrapsIt) {
    view.AppendText(u"温度\r\nnext\r\n");
    view.ShowNewestLine();
    view.setFocus();
    view.SetSelection(2, 2);
    QInputMethodEvent typed;
    typed.setCommitString(QString(2000, QChar(u'中')));
    QApplication::sendEvent(&view, &typed);
    ReceiveView whole;
    whole.resize(view.size());
    whole.show();
    whole.SetText(view.Snapshot());
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), whole.verticalScrollBar()->maximum());
}

TEST_F(ViewTest, EndStaysAtTheEndOfAWrappedRow) {
    const int cell = QFontMetrics(view.viewport()->font()).horizontalAdvance(QLatin1Char('0'));
    view.resize(56 * cell + view.width() - view.viewport()->width(), 300);
    QApplication::processEvents();
    ASSERT_EQ(view.Columns(), 48);
    view.Append(std::string(500, 'A'));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.CursorPosition(), 48u);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.CursorPosition(), 48u);
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.CursorPosition(), 0u);
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_Down);  // from the end of row 0 to the end of row 1
    EXPECT_EQ(view.CursorPosition(), 96u);
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.CursorPosition(), 48u);
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_Right);  // past the wrap: the start of row 2
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.CursorPosition(), 96u);
}

TEST_F(ViewTest, TextFromAnInputMethodArrivesAtTheCaret) {
    view.Append("AB");
    view.setFocus();
    view.SetSelection(1, 1);
    EXPECT_TRUE(view.inputMethodQuery(Qt::ImEnabled).toBool());
    QInputMethodEvent preedit(QStringLiteral("zhong"), {});
    QApplication::sendEvent(&view, &preedit);
    EXPECT_EQ(All(), "AB");  // composing is the input method's
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("中文"));
    QApplication::sendEvent(&view, &commit);
    EXPECT_EQ(All(), QStringLiteral("A中文B"));
    EXPECT_EQ(view.CursorPosition(), 3u);
    EXPECT_EQ(view.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("A中文B"));
    EXPECT_EQ(view.inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    const QRect caret = view.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_TRUE(view.rect().contains(caret.topLeft())) << caret.x() << "," << caret.y();
}

TEST_F(ViewTest, ScreenReadersReadTheText) {
    view.Append("hello\r\nworld");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(a, nullptr);
    QAccessibleTextInterface* text = a->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 12);
    EXPECT_EQ(text->text(7, 12), "world");
    text->setSelection(0, 0, 5);
    EXPECT_EQ(view.SelectedText(), "hello");
    EXPECT_EQ(a->text(QAccessible::Value), "hello\r\nworld");
}

TEST_F(ViewTest, A100MegabyteLineStaysUsable) {
    const std::string chunk(3072, '7');
    for (int i = 0; i < 100 * 1024 * 1024 / 3072; ++i) view.Append(chunk);
    EXPECT_GE(view.Length(), 100u * 1000 * 1000);
    EXPECT_LE(view.MemoryBytes(), view.Length() + (2u << 20));
    // It paints the newest rows and scrolls to the top and back.
    QImage shot = view.grab().toImage();
    EXPECT_FALSE(shot.isNull());
    view.ShowNewestLine();  // a frame passed
    view.verticalScrollBar()->setValue(0);
    view.Append("x");
    view.ShowNewestLine();
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);  // the reader stays at the top
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_EQ(view.Text(view.Length() - 2, 2), "7x");
    // An edit at the end of 100 MB, and one in the middle.
    const size_t length = view.Length();
    QTest::keyClick(&view, Qt::Key_Backspace);
    view.SetSelection(length / 2, length / 2 + 1);
    QTest::keyClicks(&view, "y");
    EXPECT_EQ(view.Length(), length - 1);
    EXPECT_EQ(view.Text(view.Length() - 1, 1), "7");
    EXPECT_EQ(view.Text(length / 2 - 1, 3), "7y7");
    EXPECT_LE(view.MemoryBytes(), length + (3u << 20));  // no copy of the text
}

// Text rows take the whole width and hex rows whole groups of pairs, so switching the mode
// changes how many rows there are; a view at the bottom stays there and keeps following.
TEST_F(ViewTest, AtTheBottomTheViewKeepsFollowingWhenTheDisplayModeChanges) {
    view.resize(700, 300);
    QApplication::processEvents();
    QScrollBar* bar = view.verticalScrollBar();
    for (bool hex : {false, true, false}) {
        view.SetPairLayout(!hex);
        for (int i = 0; i < 200; ++i) view.Append(std::string(200, 'A') + "\r\n");
        view.ShowNewestLine();
        ASSERT_TRUE(view.Following());
        const int before = bar->maximum();
        view.SetPairLayout(hex);
        EXPECT_NE(bar->maximum(), before) << "hex " << hex;
        EXPECT_TRUE(view.Following()) << "hex " << hex;
        view.Append("42 43\r\n");
        view.ShowNewestLine();
        EXPECT_EQ(bar->value(), bar->maximum()) << "hex " << hex;
    }
}

TEST_F(ViewTest, ScrolledUpTheViewStaysWhileDataArrivesAndFollowsAgainAtTheBottom) {
    for (int i = 0; i < 500; ++i) view.Append("41 42 43\r\n");
    view.ShowNewestLine();
    QScrollBar* bar = view.verticalScrollBar();
    bar->setValue(10);
    view.SetSelection(103, 105);  // on the top row in view
    view.Append("44 45\r\n");
    view.ShowNewestLine();
    EXPECT_EQ(bar->value(), 10);
    EXPECT_EQ(view.SelectedText(), "42");  // still there to copy
    bar->setValue(bar->maximum());  // back at the bottom, the selection still holds the view
    view.Append("46\r\n");
    view.ShowNewestLine();
    EXPECT_LT(bar->value(), bar->maximum());
    EXPECT_EQ(view.SelectedText(), "42");
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);  // let go: follows again
    view.Append("47\r\n");
    view.ShowNewestLine();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(view.CursorPosition(), view.Length());
}

}  // namespace

namespace {

// Every colour the view paints comes from its palette: under a dark one, the background, the
// text, a control character's cell and the selection are the dark theme's colours.
TEST_F(ViewTest, PaintsInThePalettesColoursSoADarkThemeReads) {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    dark.setColor(QPalette::Highlight, QColor(0x30, 0x60, 0xA0));
    dark.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
    view.setPalette(dark);
    view.Append("AAAA\x01\x01\x01\x01 BBBB\x01\x01\x01\x01");
    view.SetSelection(9, 17);  // "BBBB" and four control cells
    const QImage shot = view.viewport()->grab().toImage();
    // The colours inside cells [from, to) of the first row.
    auto colours = [&](int from, int to) {
        const int cell = view.fontMetrics().horizontalAdvance(u'0');
        QSet<QRgb> seen;
        for (int x = from * cell + 1; x < to * cell - 1; ++x) {
            for (int y = 1; y < view.fontMetrics().height() - 1; ++y) seen << shot.pixel(x, y);
        }
        return seen;
    };
    auto rgb = [&](QPalette::ColorRole role) { return dark.color(role).rgb(); };
    EXPECT_EQ(shot.pixel(shot.width() - 2, shot.height() - 2), rgb(QPalette::Base));
    const QSet<QRgb> text = colours(0, 4), controls = colours(4, 8), selected = colours(9, 13),
                     selectedControls = colours(13, 17);
    EXPECT_TRUE(text.contains(rgb(QPalette::Base)) && text.contains(rgb(QPalette::Text)));
    // A control cell is shaded a fifth of the way from the background toward the text.
    EXPECT_TRUE(controls.contains(qRgb(0x46, 0x46, 0x46)));
    EXPECT_TRUE(controls.contains(rgb(QPalette::Text)));
    EXPECT_TRUE(selected.contains(rgb(QPalette::Highlight)) && selected.contains(rgb(QPalette::HighlightedText)));
    EXPECT_TRUE(selectedControls.contains(qRgb(0x59, 0x7F, 0xB3)));
}

}  // namespace
