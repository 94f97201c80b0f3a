#include "receive/chunk.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

const UtcTime kT{2009, 3, 30, 8, 5, 7, 45};
const UtcClock kClock = [] { return kT; };

TEST(Chunk, HexIsTwoUpperDigitsAndASpacePerByte) {
    const uint8_t batch[] = {0x00, 0x0D, 0xFF};
    EXPECT_EQ(BuildChunk(batch, true), "00 0D FF ");
}

TEST(Chunk, TextKeepsEveryByteIncludingZero) {
    const uint8_t batch[] = {0x41, 0x00, 0x42, 0xB0};
    EXPECT_EQ(BuildChunk(batch, false), "A\0B\xB0"s);
}

TEST(Chunk, PlainStampFramesTheChunk) {
    std::string chunk = "41 42 ";
    StampChunk(chunk, kT);
    EXPECT_EQ(chunk, "\r\n2009-03-30 08:05:07.045\r\n41 42 \r\n");
    EXPECT_EQ(FormatStamp({2026, 12, 31, 23, 59, 59, 999}), "\r\n2026-12-31 23:59:59.999\r\n");
}

TEST(Chunk, TriggerStampGoesBeforeTheFirstMatchOnly) {
    std::string chunk = "01 0D 02 0D ";
    EXPECT_TRUE(StampAtTrigger(chunk, u"0d", kClock));
    EXPECT_EQ(chunk, "01 \r\n2009-03-30 08:05:07.045\r\n0D 02 0D ");
}

TEST(Chunk, TriggerIsPaddedAndMatchedAsPlainText) {
    std::string zero = "41 00 ";
    EXPECT_TRUE(StampAtTrigger(zero, u"", kClock));  // empty searches for 00
    EXPECT_EQ(zero, "41 \r\n2009-03-30 08:05:07.045\r\n00 ");

    std::string seven = "07 ";
    EXPECT_TRUE(StampAtTrigger(seven, u"7", kClock));
    EXPECT_EQ(seven, "\r\n2009-03-30 08:05:07.045\r\n07 ");

    // "1 " matches across the digits of 41: the stamp lands between 4 and 1.
    std::string across = "41 ";
    EXPECT_TRUE(StampAtTrigger(across, u"1 ", kClock));
    EXPECT_EQ(across, "4\r\n2009-03-30 08:05:07.045\r\n1 ");
}

TEST(Chunk, ATriggerThatCannotMatchLeavesTheChunkAlone) {
    int reads = 0;
    UtcClock counting = [&] { ++reads; return kT; };
    for (std::u16string_view trigger : {u"G1", u"AA", u"中"}) {
        std::string chunk = "01 0D ";
        EXPECT_FALSE(StampAtTrigger(chunk, trigger, counting));
        EXPECT_EQ(chunk, "01 0D ");
    }
    EXPECT_EQ(reads, 0);
}

}  // namespace
