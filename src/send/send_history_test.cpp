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

}  // namespace
