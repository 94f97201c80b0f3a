#include "serial/modem_lines.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

namespace {

// The machine's console UART is the only real one here. Its line settings are never touched
// and nothing is written to it; DTR and RTS change and are put back as they were.
TEST(ModemLines, DtrAndRtsReachARealUartAndReadBackThroughAnotherDescriptor) {
    const int fd = open("/dev/ttyS0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "no UART to drive: /dev/ttyS0: " << strerror(errno);
    const int reader = open("/dev/ttyS0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ModemStatus original;
    if (int e = GetTtyModemStatus(fd, original)) {
        close(fd);
        close(reader);
        GTEST_SKIP() << "/dev/ttyS0 has no modem lines: " << strerror(e);
    }
    for (bool dtr : {false, true}) {
        for (bool rts : {true, false}) {
            EXPECT_EQ(SetTtyModemLine(fd, ModemLine::Dtr, dtr), 0);
            EXPECT_EQ(SetTtyModemLine(fd, ModemLine::Rts, rts), 0);
            ModemStatus now;
            EXPECT_EQ(GetTtyModemStatus(reader, now), 0);
            EXPECT_EQ(now.dtr, dtr);
            EXPECT_EQ(now.rts, rts);
        }
    }
    SetTtyModemLine(fd, ModemLine::Dtr, original.dtr);
    SetTtyModemLine(fd, ModemLine::Rts, original.rts);
    close(reader);
    close(fd);
}

}  // namespace
