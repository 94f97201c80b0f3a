#include "layout/dynamic_layout.h"

#include <gtest/gtest.h>

#include "layout/fake_layout_window.h"

namespace DynamicLayout {
namespace {

LRESULT Send(CDynamicLayout& layout, UINT message, WPARAM w, LPARAM l) {
    return layout.FilterDynamicLayoutMessage(message, w, l);
}

Rect Sizing(CDynamicLayout& layout, Rect r) {
    Send(layout, WM_SIZING, 0, reinterpret_cast<LPARAM>(&r));
    return r;
}

TEST(Facade, IgnoresEverythingUntilInitialised) {
    FakeHost host;
    FakeControl c({10, 10, 20, 20});
    host.children[7] = &c;
    CDynamicLayout layout;
    layout.AddPanel(u"p", u"", 1, 1, 1, 1);
    layout.AddControl(7u, u"", 1, 1, 1, 1);
    EXPECT_EQ(layout.IsPanelExist(u""), 0);
    EXPECT_EQ(Send(layout, WM_SIZE, SIZE_RESTORED, MakeLParam(500, 500)), 0);
    EXPECT_EQ(c.rect, (Rect{10, 10, 20, 20}));

    layout.InitLayout(&host);
    EXPECT_EQ(layout.IsPanelExist(u""), 1);
    EXPECT_EQ(layout.IsPanelExist(u"p"), 0);
}

class Sized : public ::testing::Test {
protected:
    void SetUp() override {
        host.children = {{1, &stretching}, {2, &riding}};
        layout.InitLayout(&host);  // client 400 x 300
        layout.AddPanel(u"p", u"", 1, 1, 1, 1);
        layout.AddPanel(u"p", u"", 0, 0, 0, 0);  // already there: keeps its anchors
        layout.AddControl(1u, u"p", 1, 1, 1, 1);
        layout.AddControl(2u, u"p", 0, 1, 0, 1);
    }
    void Size(WPARAM kind, int w, int h) { Send(layout, WM_SIZE, kind, MakeLParam(w, h)); }

    FakeHost host;
    FakeControl stretching{{10, 10, 300, 200}};
    FakeControl riding{{320, 250, 390, 290}};
    CDynamicLayout layout;
};

TEST_F(Sized, ElementsMoveByTheChangeSinceTheLastSizeThatReLaidThem) {
    Size(SIZE_RESTORED, 500, 350);
    EXPECT_EQ(stretching.rect, (Rect{10, 10, 400, 250}));
    EXPECT_EQ(riding.rect, (Rect{420, 300, 490, 340}));

    Size(SIZE_MINIMIZED, 0, 0);  // nothing moves
    EXPECT_EQ(stretching.rect, (Rect{10, 10, 400, 250}));
    Size(SIZE_MAXSHOW, 100, 100);  // repaints only
    EXPECT_EQ(stretching.rect, (Rect{10, 10, 400, 250}));
    Size(SIZE_RESTORED, 500, 350);
    EXPECT_EQ(stretching.rect, (Rect{10, 10, 400, 250}));
    EXPECT_EQ(riding.rect, (Rect{420, 300, 490, 340}));
}

TEST_F(Sized, ASizeThatTurnsAPanelInsideOutRedrawsTheWholeWindowOnce) {
    Size(SIZE_RESTORED, 5, 5);
    EXPECT_EQ(host.wholeInvalidations, std::vector<bool>{true});
    Size(SIZE_RESTORED, 400, 300);  // right side out again: no further redraw
    EXPECT_EQ(host.wholeInvalidations.size(), 1u);
}

TEST_F(Sized, FramesAreOffOrOnPerPanelAndPaintedOnPaintAndSize) {
    layout.ShowPanel(u"p", 0);
    host.frames.clear();
    Send(layout, WM_PAINT, 0, 0);
    EXPECT_EQ(host.frames.size(), 1u);  // the root's only
    layout.ShowPanel(u"p", 1);
    Size(SIZE_RESTORED, 400, 300);
    EXPECT_EQ(host.frames.size(), 3u);
    EXPECT_EQ(host.wholeInvalidations, (std::vector<bool>{false, false}));
}

TEST(Facade, SizingIsClampedAtTheRightAndBottomEdges) {
    FakeHost host;
    CDynamicLayout layout;
    layout.InitLayout(&host);
    EXPECT_EQ(Sizing(layout, {10, 20, 30, 40}), (Rect{10, 20, 30, 40}));  // no limits

    layout.SetDialogMinSize(400, 300);  // no maximum yet: the width is fixed at 400
    EXPECT_EQ(Sizing(layout, {10, 20, 510, 420}), (Rect{10, 20, 410, 420}));
    EXPECT_EQ(Sizing(layout, {10, 20, 110, 120}), (Rect{10, 20, 410, 320}));

    layout.SetDialogMaxSize(300, 350);  // below the minimum width: the minimum wins
    EXPECT_EQ(Sizing(layout, {0, 0, 900, 900}), (Rect{0, 0, 400, 350}));
}

}  // namespace
}  // namespace DynamicLayout
