#include "serial/line_termios.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>

namespace {

termios2 Raw(const LineSettings& line, termios2 t = {}) {
    MakeRawLine(t, line);
    return t;
}

TEST(LineTermios, EveryParityCodeSetsItsOwnBits) {
    const tcflag_t mask = PARENB | PARODD | CMSPAR;
    termios2 dirty{};
    dirty.c_cflag = mask;  // the old bits must never leak into the new setting
    EXPECT_EQ(Raw({9600, 0, 0, 8}, dirty).c_cflag & mask, 0u);
    EXPECT_EQ(Raw({9600, 1, 0, 8}, dirty).c_cflag & mask, PARENB | PARODD);
    EXPECT_EQ(Raw({9600, 2, 0, 8}, dirty).c_cflag & mask, PARENB);
    EXPECT_EQ(Raw({9600, 3, 0, 8}, dirty).c_cflag & mask, PARENB | CMSPAR | PARODD);
    EXPECT_EQ(Raw({9600, 4, 0, 8}, dirty).c_cflag & mask, PARENB | CMSPAR);
}

TEST(LineTermios, DataAndStopBits) {
    EXPECT_EQ(Raw({9600, 0, 0, 5}).c_cflag & CSIZE, CS5);
    EXPECT_EQ(Raw({9600, 0, 0, 6}).c_cflag & CSIZE, CS6);
    EXPECT_EQ(Raw({9600, 0, 0, 7}).c_cflag & CSIZE, CS7);
    EXPECT_EQ(Raw({9600, 0, 0, 8}).c_cflag & CSIZE, CS8);
    EXPECT_EQ(Raw({9600, 0, 0, 8}).c_cflag & CSTOPB, 0u);
    EXPECT_EQ(Raw({9600, 0, 1, 5}).c_cflag & CSTOPB, CSTOPB);  // 1.5 stop bits
    EXPECT_EQ(Raw({9600, 0, 2, 8}).c_cflag & CSTOPB, CSTOPB);
}

TEST(LineTermios, AnyBaudRateGoesThroughBother) {
    for (uint32_t baud : {110u, 14400u, 56000u, 115200u}) {
        termios2 t = Raw({baud, 0, 0, 8});
        EXPECT_EQ(t.c_cflag & CBAUD, BOTHER);
        EXPECT_EQ((t.c_cflag >> IBSHIFT) & CBAUD, BOTHER);
        EXPECT_EQ(t.c_ospeed, baud);
        EXPECT_EQ(t.c_ispeed, baud);
    }
}

TEST(LineTermios, RawModeWithoutTranslationOrFlowControl) {
    termios2 cooked{};
    cooked.c_iflag = ICRNL | IXON | IXOFF | ISTRIP;
    cooked.c_oflag = OPOST;
    cooked.c_lflag = ECHO | ICANON | ISIG;
    cooked.c_cflag = CRTSCTS;
    termios2 t = Raw({9600, 0, 0, 8}, cooked);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST(LineTermios, EachFlowControlSetsOnlyItsOwnFlags) {
    termios2 dirty{};
    dirty.c_cflag = CRTSCTS;
    dirty.c_iflag = IXON | IXOFF | IXANY;  // the old flow control must never leak through
    dirty.c_cc[VSTART] = 'q';
    struct Case {
        FlowControl flow;
        tcflag_t cflag, iflag;
    };
    for (const Case c : {Case{FlowControl::None, 0, 0}, Case{FlowControl::RtsCts, CRTSCTS, 0},
                         Case{FlowControl::XonXoff, 0, IXON | IXOFF}}) {
        termios2 t = Raw({9600, 0, 0, 8, c.flow}, dirty);
        EXPECT_EQ(t.c_cflag & CRTSCTS, c.cflag) << static_cast<int>(c.flow);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), c.iflag) << static_cast<int>(c.flow);
        if (c.flow == FlowControl::XonXoff) {
            EXPECT_EQ(t.c_cc[VSTART], 0x11);
            EXPECT_EQ(t.c_cc[VSTOP], 0x13);
        }
    }
}

TEST(LineTermios, ValuesOutsideTheListsKeepWhatTheDriverHad) {
    termios2 before{};
    before.c_cflag = B9600 | CS7 | PARENB | CSTOPB;
    termios2 t = Raw({0, 9, 7, 4}, before);
    // Baud 0 would hang the line up; it is never applied.
    EXPECT_EQ(t.c_cflag & CBAUD, B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, CS7);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), PARENB);
    EXPECT_EQ(t.c_cflag & CSTOPB, CSTOPB);
}

}  // namespace
