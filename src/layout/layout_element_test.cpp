#include "layout/layout_element.h"

#include <gtest/gtest.h>

#include "layout/fake_layout_window.h"

namespace DynamicLayout {
namespace {

struct Anchors {
    int top, left, bottom, right;
};

class LayoutTree : public ::testing::Test {
protected:
    CLayoutControl& AddControl(CLayoutPanel& panel, FakeControl& c, Anchors a = {1, 1, 1, 1}) {
        panel.m_listChildren.push_back(
            std::make_unique<CLayoutControl>(&host, &c, a.top, a.left, a.bottom, a.right));
        return static_cast<CLayoutControl&>(*panel.m_listChildren.back());
    }
    CLayoutPanel& AddPanel(CLayoutPanel& parent, Anchors a = {1, 1, 1, 1}) {
        parent.m_listChildren.push_back(
            std::make_unique<CLayoutPanel>(&host, a.top, a.left, a.bottom, a.right));
        return static_cast<CLayoutPanel&>(*parent.m_listChildren.back());
    }

    FakeHost host;
    CLayoutPanelFrame root{&host};
};

TEST_F(LayoutTree, BoundsLieOnePixelOutsideTheChildrenAndIgnoreEmptyPanels) {
    CLayoutPanel& panel = AddPanel(root);
    CLayoutPanel& empty = AddPanel(panel);  // listed first: must not pull the bounds to 0
    FakeControl a({50, 40, 90, 60}), b({20, 70, 60, 100});
    AddControl(panel, a);
    AddControl(panel, b);
    panel.RecalcLayoutRect();
    EXPECT_EQ(empty.GetLayoutRect(), (Rect{-1, -1, 1, 1}));
    EXPECT_EQ(panel.GetLayoutRect(), (Rect{19, 39, 91, 101}));
}

TEST_F(LayoutTree, ALeftOrTopAtZeroCountsAsUnsetInTheBounds) {
    CLayoutPanel& panel = AddPanel(root);
    FakeControl atOrigin({0, 0, 10, 10}), later({30, 40, 50, 60});
    AddControl(panel, atOrigin);
    AddControl(panel, later);
    panel.RecalcLayoutRect();
    EXPECT_EQ(panel.m_rcLayout, (Rect{29, 39, 51, 61}));
}

TEST_F(LayoutTree, TheRootIsTheClientAreaGrownByOnePixel) {
    root.SetLayoutRect({0, 0, 400, 300});
    EXPECT_EQ(root.m_rcLayout, (Rect{-1, -1, 401, 301}));
}

TEST_F(LayoutTree, EveryEdgeMovesWithTheParentEdgeItFollows) {
    struct Case {
        Anchors anchors;
        Rect expected;  // after growing the root by (100, 50) from (20, 30, 60, 70)
    };
    const Case cases[] = {
        {{1, 1, 1, 1}, {20, 30, 160, 120}},  // stretches both ways
        {{0, 1, 1, 0}, {20, 80, 60, 120}},   // rides on the bottom, keeps its size
        {{0, 0, 1, 1}, {120, 80, 160, 120}}, // rides on the bottom right
        {{1, 1, 0, 0}, {20, 30, 60, 70}},    // stays at the top left
        {{1, 0, 1, 1}, {120, 30, 160, 120}}, // keeps its width at the right, stretches down
    };
    for (const Case& c : cases) {
        CLayoutPanelFrame tree(&host);
        tree.SetLayoutRect({0, 0, 400, 300});
        FakeControl control({20, 30, 60, 70});
        tree.m_listChildren.push_back(std::make_unique<CLayoutControl>(
            &host, &control, c.anchors.top, c.anchors.left, c.anchors.bottom, c.anchors.right));
        tree.SetLayoutRect({0, 0, 500, 350});
        EXPECT_EQ(control.rect, c.expected) << c.anchors.top << c.anchors.left << c.anchors.bottom
                                            << c.anchors.right;
    }
}

TEST_F(LayoutTree, AnInsideOutChildRaisesTheFlagOnTheRootOnly) {
    root.SetLayoutRect({0, 0, 400, 300});
    CLayoutPanel& panel = AddPanel(root);
    FakeControl fixed({300, 10, 390, 50});
    AddControl(panel, fixed, {1, 0, 0, 0});
    panel.RecalcLayoutRect();
    root.SetLayoutRect({0, 0, 50, 300});  // the panel's right edge passes its left
    EXPECT_LT(panel.m_rcLayout.right, panel.m_rcLayout.left);
    EXPECT_EQ(panel.m_bRedrawAll, 0);
    EXPECT_EQ(root.m_bRedrawAll, 1);
}

TEST_F(LayoutTree, AFrameOnlyPanelDrawsTheRingAndAFilledOneColoursTheGaps) {
    CLayoutPanel& panel = AddPanel(root);
    FakeControl child({20, 20, 40, 40}), hidden({60, 20, 80, 40});
    AddControl(panel, child);
    AddControl(panel, hidden);
    hidden.visible = false;
    panel.m_rcLayout = {10, 10, 100, 50};
    panel.PaintElement();
    EXPECT_TRUE(host.fills.empty());
    EXPECT_EQ(host.frames.back(), panel.m_rcLayout);

    panel.m_crBack = 0x00FF00;
    panel.PaintElement();
    ASSERT_EQ(host.fills.size(), 1u);
    const Region& fill = host.fills[0].first;
    EXPECT_TRUE(fill.Contains(11, 11));   // one pixel inside the frame
    EXPECT_FALSE(fill.Contains(10, 10));  // the frame itself
    EXPECT_FALSE(fill.Contains(25, 25));  // the visible child
    EXPECT_TRUE(fill.Contains(65, 25));   // the hidden child's place is filled
    EXPECT_EQ(panel.m_rcPainted, panel.m_rcLayout);
}

TEST_F(LayoutTree, HidingADrawnFrameInvalidatesItOnceAndDrawsNothing) {
    CLayoutPanel& panel = AddPanel(root);
    FakeControl child({20, 20, 40, 40});
    AddControl(panel, child);
    panel.m_rcLayout = {10, 10, 100, 50};
    panel.PaintElement();
    const size_t framesBefore = host.frames.size();

    panel.ShowElementFrame(0);
    panel.PaintElement();
    panel.PaintElement();
    ASSERT_EQ(host.invalidatedRegions.size(), 1u);
    EXPECT_TRUE(host.invalidatedRegions[0].Contains(10, 10));
    EXPECT_FALSE(host.invalidatedRegions[0].Contains(25, 25));
    EXPECT_EQ(host.frames.size(), framesBefore);
    EXPECT_TRUE(panel.m_rcPainted.IsEmpty());
}

TEST_F(LayoutTree, ShowingAShownControlCallsTheWindowNot) {
    FakeControl c({1, 1, 5, 5});
    CLayoutControl& element = AddControl(root, c);
    element.ShowElement(1);
    EXPECT_EQ(c.showCalls, 0);
    element.ShowElement(0);
    element.ShowElement(0);
    EXPECT_EQ(c.showCalls, 1);
    EXPECT_FALSE(c.visible);
}

}  // namespace
}  // namespace DynamicLayout
