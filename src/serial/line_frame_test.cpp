#include "serial/line_frame.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::microseconds;

TEST(LineFrame, StartDataParityAndStopBits) {
    struct Case {
        LineSettings line;
        int bits;
    };
    for (const Case& c : {
             Case{{9600, 0, 0, 8}, 10},  // 8N1
             Case{{9600, 2, 0, 8}, 11},  // 8E1
             Case{{9600, 2, 2, 8}, 12},  // 8E2
             Case{{9600, 1, 1, 8}, 12},  // 1.5 stop bits go out as 2
             Case{{9600, 3, 0, 7}, 10},  // mark
             Case{{9600, 4, 2, 7}, 11},  // space
             Case{{9600, 0, 0, 5}, 7}, Case{{9600, 0, 1, 5}, 8}, Case{{9600, 0, 0, 6}, 8},
             Case{{9600, 9, 7, 4}, 12},  // outside the lists: the longest the driver may keep
         }) {
        EXPECT_EQ(FrameBits(c.line), c.bits)
            << c.line.byteSize << " data, parity " << c.line.parity << ", stop " << c.line.stopBits;
    }
}

TEST(LineFrame, LineTimeFollowsTheFrameAndTheRate) {
    EXPECT_EQ(LineTime({9600, 2, 2, 8}, 1024), microseconds(1280000));
    EXPECT_EQ(LineTime({115200, 0, 0, 8}, 11520), microseconds(1000000));
    EXPECT_EQ(LineTime({0, 0, 0, 8}, 960), microseconds(1000000));  // unset: 9600
}

TEST(LineFrame, OneAndAHalfStopBitsBecomeTwoAboveFiveDataBits) {
    for (int data = 5; data <= 8; ++data) {
        for (int stop = 0; stop <= 2; ++stop) {
            EXPECT_EQ(OneAndAHalfStopBitsBecomeTwo({9600, 0, stop, data}), stop == 1 && data > 5)
                << data << " data bits, stop code " << stop;
        }
    }
}

}  // namespace
