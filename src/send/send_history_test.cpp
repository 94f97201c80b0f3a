#include "send/send_history.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SendHistory, KeepsTheLastFiftyNewestFirstWithoutRepeatingTheNewest) {
    SendHistory history;
    for (int i = 0; i < 60; ++i) history.Add({"named", std::to_string(i), false});
    ASSERT_EQ(history.Entries().size(), SendHistory::kSize);
    EXPECT_EQ(history.Entries().front(), (SavedCommand{"", "59", false}));
    EXPECT_EQ(history.Entries().back().text, "10");

    history.Add({"", "59", false});  // the same again
    history.Add({"", "59", true});   // the same text as hex is another send
    history.Add({"", "58", false});  // not the newest: kept again
    EXPECT_EQ(history.Entries()[0].text, "58");
    EXPECT_EQ(history.Entries()[1], (SavedCommand{"", "59", true}));
    EXPECT_EQ(history.Entries()[2], (SavedCommand{"", "59", false}));
    EXPECT_EQ(history.Entries().size(), SendHistory::kSize);

    history.Set(std::vector<SavedCommand>(70));
    EXPECT_EQ(history.Entries().size(), SendHistory::kSize);
}

TEST(SendHistory, StepsOlderAndBackToTheAreaUntilTheEntriesChange) {
    SendHistory history;
    EXPECT_FALSE(history.Older({"", "typed", false}));
    history.Add({"", "1", false});
    history.Add({"", "2", true});
    const SavedCommand typed{"", "typed", false};
    EXPECT_FALSE(history.Newer());
    EXPECT_EQ(history.Older(typed), (SavedCommand{"", "2", true}));
    EXPECT_EQ(history.Older({"", "2 edited", true})->text, "1");
    EXPECT_FALSE(history.Older({}));  // past the oldest: stays
    EXPECT_EQ(history.Newer()->text, "2");
    EXPECT_EQ(history.Newer(), typed);
    EXPECT_FALSE(history.Newer());

    EXPECT_EQ(history.Older(typed)->text, "2");
    history.Add({"", "3", false});  // a send starts again from the area
    EXPECT_FALSE(history.Newer());
    EXPECT_EQ(history.Older(typed)->text, "3");
}

}  // namespace
