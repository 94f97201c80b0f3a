#include "layout/layout_splitter.h"

#include <gtest/gtest.h>

#include "layout/dynamic_layout.h"
#include "layout/fake_layout_window.h"
#include "test/wait_until.h"

namespace DynamicLayout {
namespace {

// Two stacked controls in the root, the upper one following the bottom edge with its bottom
// and the lower one with its top: a bar above the lower one (SPLIT_TOP).
class Splitter : public ::testing::Test {
protected:
    void SetUp() override {
        host.children = {{1, &upper}, {2, &lower}};
        layout.InitLayout(&host);
        layout.AddControl(1u, u"", 1, 1, 1, 1);
        layout.AddControl(2u, u"", 0, 1, 1, 1);
        layout.SetSplit(u"", 1);
    }
    void Send(UINT message, int x, int y) {
        WPARAM w = 0;
        LPARAM l = MakeLParam(x, y);
        layout.FilterDynamicLayoutMessage(message, w, l);
    }
    void Drag(int fromY, int toY) {
        Send(WM_LBUTTONDOWN, 50, fromY);
        Send(WM_MOUSEMOVE, 50, toY);
        Send(WM_LBUTTONUP, 50, toY);
    }

    FakeHost host;
    FakeControl upper{{10, 10, 390, 200}};
    FakeControl lower{{10, 210, 390, 290}};
    CDynamicLayout layout;
};

TEST_F(Splitter, TheBarIsTheFourRowsAboveTheLowerChildOnePixelShortAtEachEnd) {
    for (auto [x, y, on] : {std::tuple{11, 206, true}, {388, 209, true}, {11, 210, false},
                            {10, 207, false}, {389, 207, false}, {50, 205, false}}) {
        host.cursor = LayoutCursor::Arrow;
        Send(WM_MOUSEMOVE, x, y);
        EXPECT_EQ(host.cursor == LayoutCursor::SizeNS, on) << x << "," << y;
        Send(WM_LBUTTONDOWN, x, y);
        EXPECT_EQ(host.captured, on) << x << "," << y;
        Send(WM_LBUTTONUP, x, y);
    }
}

TEST_F(Splitter, ADragMovesBothFacingEdgesAndIsClampedAtTwoPixels) {
    Drag(207, 237);
    EXPECT_EQ(upper.rect, (Rect{10, 10, 390, 230}));
    EXPECT_EQ(lower.rect, (Rect{10, 240, 390, 290}));
    Drag(237, 1000);
    EXPECT_EQ(lower.rect.bottom - lower.rect.top, 2);
    EXPECT_EQ(upper.rect.bottom, lower.rect.top - 10);
    Drag(lower.rect.top - 3, -500);
    EXPECT_EQ(upper.rect.bottom - upper.rect.top, 2);
}

TEST_F(Splitter, APressAndReleaseInPlaceReappliesTheRectanglesAndRepaints) {
    Send(WM_LBUTTONDOWN, 50, 207);
    Send(WM_LBUTTONUP, 50, 207);
    EXPECT_EQ(upper.rect, (Rect{10, 10, 390, 200}));
    EXPECT_EQ(lower.rect, (Rect{10, 210, 390, 290}));
    EXPECT_FALSE(host.captured);
    ASSERT_TRUE(WaitUntil([&] { return host.PostedCount() == 2; }));
    host.RunPosted();
    EXPECT_EQ(host.wholeInvalidations, std::vector<bool>{true});
    EXPECT_FALSE(host.frames.empty());  // the root painted again
}

TEST_F(Splitter, TheBandAppearsAtTheFirstMoveInsideTheLimitsAndIsGoneAfterRelease) {
    Send(WM_LBUTTONDOWN, 50, 207);
    EXPECT_TRUE(host.band.empty());
    Send(WM_MOUSEMOVE, 50, 217);
    std::set<FakeHost::Line> expected;
    for (int row : {219, 218, 217, 216}) expected.insert({10, row, 390, row});
    EXPECT_EQ(host.band, expected);
    Send(WM_MOUSEMOVE, 50, 5000);  // outside the limits: the band stays
    EXPECT_EQ(host.band, expected);
    Send(WM_LBUTTONUP, 50, 217);
    EXPECT_TRUE(host.band.empty());
}

TEST_F(Splitter, SwitchedOffTheBarTakesNoMouse) {
    layout.SetSplit(u"", 0);
    Send(WM_MOUSEMOVE, 50, 207);
    Drag(207, 237);
    EXPECT_EQ(host.cursor, LayoutCursor::Arrow);
    EXPECT_EQ(lower.rect, (Rect{10, 210, 390, 290}));
}

struct Child {
    Rect rect;
    int top, left, bottom, right;  // anchors
};

CLayoutSplitter* SplitterFor(FakeHost& host, CLayoutPanel& panel, std::vector<FakeControl>& controls,
                             std::initializer_list<Child> children) {
    controls.reserve(children.size());
    for (const Child& c : children) {
        controls.emplace_back(c.rect);
        panel.m_listChildren.push_back(std::make_unique<CLayoutControl>(
            &host, &controls.back(), c.top, c.left, c.bottom, c.right));
    }
    return CLayoutSplitter::SetUp(panel);
}

TEST(SplitterSetUp, OnlyTwoChildrenWhoseFacingEdgesFollowTheSameParentEdgeQualify) {
    const Child up{{0, 0, 100, 40}, 1, 1, 1, 1}, down{{0, 50, 100, 90}, 0, 1, 1, 1};
    const Child downOpposite{{0, 50, 100, 90}, 1, 1, 1, 1};
    const Child third{{0, 95, 100, 99}, 0, 1, 1, 1};
    struct Case {
        std::initializer_list<Child> children;
        bool qualifies;
    };
    for (const Case& c : {Case{{up}, false}, Case{{up, down, third}, false},
                          Case{{up, downOpposite}, false}, Case{{up, down}, true}}) {
        FakeHost host;
        CLayoutPanelFrame root(&host);
        std::vector<FakeControl> controls;
        EXPECT_EQ(SplitterFor(host, root, controls, c.children) != nullptr, c.qualifies)
            << c.children.size();
    }
}

TEST(SplitterSetUp, TheSideIsOnTheChildTowardsTheEdgeBothFacingEdgesFollow) {
    struct Case {
        Child a, b;
        int side;
        bool aIsFirst;
    };
    const Rect left{0, 0, 40, 100}, right{50, 0, 100, 100}, top{0, 0, 100, 40}, bottom{0, 50, 100, 100};
    const Case cases[] = {
        {{left, 1, 1, 1, 1}, {right, 1, 0, 1, 1}, SPLIT_LEFT, true},
        {{left, 1, 1, 1, 0}, {right, 1, 1, 1, 1}, SPLIT_RIGHT, false},
        {{right, 1, 1, 1, 1}, {left, 1, 1, 1, 0}, SPLIT_RIGHT, true},
        {{right, 1, 0, 1, 1}, {left, 1, 1, 1, 1}, SPLIT_LEFT, false},
        {{bottom, 1, 1, 1, 1}, {top, 1, 1, 0, 1}, SPLIT_BOTTOM, true},
        {{bottom, 0, 1, 1, 1}, {top, 1, 1, 1, 1}, SPLIT_TOP, false},
        {{top, 1, 1, 1, 1}, {bottom, 0, 1, 1, 1}, SPLIT_TOP, true},
        {{top, 1, 1, 0, 1}, {bottom, 1, 1, 1, 1}, SPLIT_BOTTOM, false},
    };
    for (const Case& c : cases) {
        FakeHost host;
        CLayoutPanelFrame root(&host);
        std::vector<FakeControl> controls;
        CLayoutSplitter* s = SplitterFor(host, root, controls, {c.a, c.b});
        ASSERT_NE(s, nullptr) << &c - cases;
        EXPECT_EQ(s->m_nSide, c.side) << &c - cases;
        EXPECT_EQ(s->m_pFirst, root.m_listChildren[c.aIsFirst ? 0 : 1].get()) << &c - cases;
        EXPECT_EQ(CLayoutSplitter::SetUp(root), s);  // asked again: the same record
    }
}

}  // namespace
}  // namespace DynamicLayout
