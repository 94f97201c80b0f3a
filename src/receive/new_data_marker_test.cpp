#include "receive/new_data_marker.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include "receive/receive_view.h"

namespace {

TEST(NewDataMarker, ShowsTextThatCameOutOfViewAndAClickFollowsAgain) {
    ReceiveView view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* marker = view.findChild<NewDataMarker*>();
    ASSERT_TRUE(marker);
    for (int i = 0; i < 200; ++i) view.Append("41 42 43 \r\n");
    view.ShowNewestLine();
    EXPECT_TRUE(marker->isHidden()) << "followed: nothing came out of view";

    view.SetSelection(0, 2);  // a find's match at the top: the view stays there
    view.Append("44 \r\n");
    view.ShowNewestLine();
    ASSERT_FALSE(marker->isHidden());
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(view.viewport()->geometry().contains(marker->geometry()));

    QTest::mouseClick(marker, Qt::LeftButton);
    EXPECT_TRUE(view.Following());
    EXPECT_TRUE(marker->isHidden());
    view.Append("45 \r\n");
    view.ShowNewestLine();
    EXPECT_TRUE(view.Following());
    EXPECT_EQ(view.CursorPosition(), view.Length());
}

}  // namespace
