#include "serial/line_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Labels(const SettingList& list) {
    std::vector<std::string> out;
    for (const SettingChoice& c : list.choices) out.emplace_back(c.label);
    return out;
}

TEST(LineSettings, ListsKeepTheirOrderLabelsAndDefaults) {
    EXPECT_EQ(Labels(kBaudList),
              (std::vector<std::string>{"110", "300", "600", "1200", "2400", "4800", "9600",
                                        "14400", "19200", "38400", "56000", "57600", "115200"}));
    EXPECT_EQ(Labels(kParityList),
              (std::vector<std::string>{"None", "奇校验", "偶校验", "Mark", "Space"}));
    EXPECT_EQ(Labels(kDataBitsList), (std::vector<std::string>{"5位", "6位", "7位", "8位"}));
    EXPECT_EQ(Labels(kStopBitsList), (std::vector<std::string>{"1位", "1.5位", "2位"}));
    EXPECT_EQ(kBaudList.defaultLabel, "9600");
    EXPECT_EQ(kParityList.defaultLabel, "None");
    EXPECT_EQ(kDataBitsList.defaultLabel, "8位");
    EXPECT_EQ(kStopBitsList.defaultLabel, "1位");
}

TEST(LineSettings, LabelsLookUpTheirValues) {
    EXPECT_EQ(LookUpSetting(kBaudList, "115200"), 115200);
    EXPECT_EQ(LookUpSetting(kBaudList, "14400"), 14400);
    EXPECT_EQ(LookUpSetting(kStopBitsList, "1.5位"), 1);
    EXPECT_EQ(LookUpSetting(kParityList, "Mark"), 3);
    EXPECT_EQ(LookUpSetting(kParityList, "偶校验"), 2);
    EXPECT_EQ(LookUpSetting(kDataBitsList, "5位"), 5);
}

TEST(LineSettings, OnlyAnExactLabelMatches) {
    EXPECT_EQ(LookUpSetting(kBaudList, ""), -1);
    EXPECT_EQ(LookUpSetting(kBaudList, "9600 "), -1);
    EXPECT_EQ(LookUpSetting(kParityList, "mark"), -1);
    EXPECT_EQ(LookUpSetting(kDataBitsList, "8"), -1);
}

}  // namespace
