// What the receive view tells assistive tools, on a real display with the AT-SPI bridge on
// (run by scripts/a11y-session): every event must carry its text.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <functional>

#include "receive/receive_view.h"

namespace {

// While alive, every event the bridge would send is recorded with the text it carries.
struct ToldEvent {
    QAccessible::Event type;
    int position;
    QString removed, inserted;
};
std::vector<ToldEvent>* g_told = nullptr;

class AccessibleView : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    ReceiveView view;
};

class AccessibilityOn {
public:
    AccessibilityOn() {
        g_told = &told;
        m_previous = QAccessible::installUpdateHandler([](QAccessibleEvent* e) {
            if (e->type() == QAccessible::TextInserted) {
                auto* i = static_cast<QAccessibleTextInsertEvent*>(e);
                g_told->push_back({e->type(), i->changePosition(), {}, i->textInserted()});
            } else if (e->type() == QAccessible::TextUpdated) {
                auto* u = static_cast<QAccessibleTextUpdateEvent*>(e);
                g_told->push_back({e->type(), u->changePosition(), u->textRemoved(), u->textInserted()});
            }
        });
    }
    ~AccessibilityOn() {
        QAccessible::installUpdateHandler(m_previous);
        g_told = nullptr;
    }
    std::vector<ToldEvent> told;

private:
    QAccessible::UpdateHandler m_previous;
};

TEST_F(AccessibleView, AssistiveToolsAreToldOfEveryChangeWithItsText) {
    AccessibilityOn on;
    view.Append("41 ");
    view.Append("42 ");
    view.ShowNewestLine();  // the frame: one insertion for both batches
    view.SetText(ReceiveText::FromLatin1("new"));
    view.SetSelection(1, 2);
    view.setFocus();
    QTest::keyClicks(&view, "X");
    ASSERT_EQ(on.told.size(), 3u);
    EXPECT_EQ(on.told[0].type, QAccessible::TextInserted);
    EXPECT_EQ(on.told[0].position, 0);
    EXPECT_EQ(on.told[0].inserted, "41 42 ");
    EXPECT_EQ(on.told[1].type, QAccessible::TextUpdated);
    EXPECT_EQ(on.told[1].removed, "41 42 ");
    EXPECT_EQ(on.told[1].inserted, "new");
    EXPECT_EQ(on.told[2].type, QAccessible::TextUpdated);
    EXPECT_EQ(on.told[2].position, 1);
    EXPECT_EQ(on.told[2].removed, "e");
    EXPECT_EQ(on.told[2].inserted, "X");
}

// A batch that arrived just before an edit is told before the edit, whichever way the edit
// comes (a key, an input method's commit over a selection, clearing).
TEST_F(AccessibleView, ABatchBeforeAnEditIsToldFirst) {
    struct Case {
        const char* how;
        std::function<void(ReceiveView&)> edit;
    };
    for (const Case& c : {Case{"key", [](ReceiveView& v) { QTest::keyClicks(&v, "X"); }},
                          Case{"input method", [](ReceiveView& v) {
                                   v.SetSelection(0, 1);
                                   QInputMethodEvent commit;
                                   commit.setCommitString(QStringLiteral("中"));
                                   QApplication::sendEvent(&v, &commit);
                               }},
                          Case{"clear", [](ReceiveView& v) { v.SetText({}); }}}) {
        view.SetText(ReceiveText::FromLatin1("ab"));
        view.setFocus();
        AccessibilityOn on;
        view.Append("41 ");
        c.edit(view);
        ASSERT_EQ(on.told.size(), 2u) << c.how;
        EXPECT_EQ(on.told[0].type, QAccessible::TextInserted) << c.how;
        EXPECT_EQ(on.told[0].position, 2) << c.how;
        EXPECT_EQ(on.told[0].inserted, "41 ") << c.how;
        EXPECT_EQ(on.told[1].type, QAccessible::TextUpdated) << c.how;
    }
}

// Clearing or replacing a large text tells its start, not all of it.
TEST_F(AccessibleView, AnEditOfALargeTextCarriesAtMost16KCharacters) {
    view.SetText(ReceiveText::FromLatin1(std::string(1 << 20, 'Q')));
    AccessibilityOn on;
    view.SetSelection(0, view.Length());
    view.setFocus();
    QTest::keyClicks(&view, "X");
    view.SetText(ReceiveText::FromLatin1(std::string(1 << 20, 'R')));
    view.SetText({});
    ASSERT_EQ(on.told.size(), 3u);
    for (const ToldEvent& e : on.told) {
        EXPECT_EQ(e.position, 0);
        EXPECT_LE(e.removed.size(), 16 * 1024);
        EXPECT_LE(e.inserted.size(), 16 * 1024);
    }
    EXPECT_TRUE(on.told[0].removed.startsWith("QQQ"));
    EXPECT_EQ(on.told[0].inserted, "X");
    EXPECT_TRUE(on.told[1].inserted.startsWith("RRR"));
    EXPECT_TRUE(on.told[2].inserted.isEmpty());
}

TEST_F(AccessibleView, AFloodIsAnnouncedByItsNewestTextAtItsPlace) {
    AccessibilityOn on;
    const std::string chunk(3072, 'Z');
    for (int i = 0; i < 100; ++i) view.Append(chunk);
    view.Append("end");
    view.ShowNewestLine();
    ASSERT_EQ(on.told.size(), 1u);
    EXPECT_EQ(on.told[0].position + on.told[0].inserted.size(), view.Length());
    EXPECT_TRUE(on.told[0].inserted.endsWith("ZZend"));
    EXPECT_LE(on.told[0].inserted.size(), 16 * 1024);
}

// A screen reader asking for all of a large area gets a bounded answer (a bus message over
// its limit would end the program's connection), and reads it on by line where it likes.
TEST_F(AccessibleView, AWholeTextAnswerIsBoundedAndLinesAreReadWhereAsked) {
    std::string text(4'000'000, 'Q');
    const size_t lineAt = 3'000'000;
    text.replace(lineAt - 2, 12, "\r\nline two\r\n");
    view.Append(text);
    QAccessibleTextInterface* accessible =
        QAccessible::queryAccessibleInterface(&view)->textInterface();
    ASSERT_TRUE(accessible);
    EXPECT_EQ(accessible->characterCount(), 4'000'000);
    const QString all = accessible->text(0, accessible->characterCount());
    EXPECT_EQ(all.size(), 1 << 20);
    EXPECT_TRUE(all.startsWith("QQQ"));
    int start = -1, end = -1;
    EXPECT_EQ(accessible->textAtOffset(lineAt + 3, QAccessible::LineBoundary, &start, &end),
              "line two\r\n");
    EXPECT_EQ(start, static_cast<int>(lineAt));
    EXPECT_EQ(accessible->textAfterOffset(lineAt - 5, QAccessible::LineBoundary, &start, &end),
              "line two\r\n");
    const QString before =
        accessible->textBeforeOffset(lineAt + 3, QAccessible::LineBoundary, &start, &end);
    EXPECT_TRUE(before.endsWith("QQ\r\n"));  // the long line before, as far as one answer reaches
    EXPECT_LE(before.size(), 1 << 12);
    EXPECT_EQ(end, static_cast<int>(lineAt));
    EXPECT_EQ(accessible->textAtOffset(lineAt + 6, QAccessible::WordBoundary, &start, &end), "two");
    EXPECT_EQ(start, static_cast<int>(lineAt + 5));
}

}  // namespace
