#include "send/echo_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string Echo(std::string_view sent, bool hex, bool lineOpen, const UtcTime* stamp = nullptr) {
    const std::vector<uint8_t> bytes(sent.begin(), sent.end());
    return EchoLine(bytes, hex, lineOpen, stamp);
}

TEST(EchoLine, EachSendIsALineOfItsOwnBehindTheMarker) {
    struct Case {
        std::string_view sent;
        bool hex, lineOpen;
        std::string_view shown;
    };
    for (const Case& c : {
             Case{"AT", false, false, "TX> AT\r\n"},
             Case{"AT", false, true, "\r\nTX> AT\r\n"},
             Case{"AT\r\n", false, false, "TX> AT\r\n"},  // its own ending ends the line
             Case{"AT\r", false, false, "TX> AT\r"},  // a lone CR ends it too: no empty line
             Case{"a\r\nb", false, false, "TX> a\r\nTX> b\r\n"},  // no sent line reads as received
             Case{"a\rb\nc", false, false, "TX> a\rTX> b\nTX> c\r\n"},
             Case{"AT\r\n", true, true, "\r\nTX> 41 54 0D 0A \r\n"},
             Case{"", false, false, "TX> \r\n"},
         }) {
        EXPECT_EQ(Echo(c.sent, c.hex, c.lineOpen), c.shown) << c.sent;
    }
}

TEST(EchoLine, AStampedEchoFollowsItsStampAsABatchDoes) {
    const UtcTime t{2024, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(Echo("\x01", true, true, &t), "\r\n2024-05-06 07:08:09.010\r\nTX> 01 \r\n");
}

}  // namespace
