#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(PlaceBesideMain, BesideWhereTheScreenHasRoomElseBelowElseOverTheSpareFarSide) {
    struct Case {
        const char* what;
        QRect main, screen;
        QPoint expected;
    };
    const QSize advanced(520, 560);
    const Case cases[] = {
        {"right", {100, 50, 660, 780}, {0, 0, 1920, 1080}, {768, 50}},
        {"left", {1200, 50, 660, 780}, {0, 0, 1920, 1080}, {672, 50}},
        {"below", {300, 0, 660, 400}, {0, 0, 1280, 1024}, {300, 408}},
        // The main window in the middle of a 1280 x 1024 screen: over the receive area's
        // right part, its foot level with the area's foot.
        {"over the spare part", {310, 120, 660, 780}, {0, 0, 1280, 1024}, {760, 40}},
        {"the main window at the top", {310, 0, 660, 780}, {0, 0, 1280, 1024}, {760, 0}},
        // A screen no wider than the main window: never left of the spare part.
        {"narrow screen", {0, 120, 1000, 780}, {0, 0, 1000, 1024}, {480, 40}},
    };
    for (const Case& c : cases) {
        const QRect spare(c.main.left() + 236, c.main.top() + 30, c.main.width() - 260, 450);
        const QPoint at = PlaceBesideMain(advanced, c.main, spare, c.screen, 8);
        EXPECT_EQ(at, c.expected) << c.what;
        const QRect placed(at, advanced);
        EXPECT_TRUE(c.screen.contains(placed)) << c.what;
        EXPECT_TRUE(!placed.intersects(c.main) || placed.left() >= spare.left()) << c.what;
    }
}

}  // namespace
