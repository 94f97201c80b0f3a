#include "serial/ycom_file.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <numeric>
#include <thread>

#include "serial/file_exception.h"
#include "serial/pty_pair.h"

namespace {

using namespace std::chrono_literals;

const LineSettings k9600{9600, 0, 0, 8};

std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// Reads until one ReadComm returns data or 5 s pass.
std::vector<uint8_t> ReadBurst(YCOMFile& port, uint32_t count = 1024) {
    std::vector<uint8_t> buf(count);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (uint32_t n = port.ReadComm(buf.data(), count)) return {buf.begin(), buf.begin() + n};
        std::this_thread::sleep_for(1ms);
    }
    return {};
}

TEST(YCOMFile, ReadReturnsAtOnceWhenNothingIsQueued) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), k9600);
    uint8_t buf[16];
    EXPECT_EQ(port.ReadComm(buf, sizeof buf), 0u);
    EXPECT_FALSE(port.HungUp());
}

TEST(YCOMFile, BurstsSeparatedBySilenceComeAsSeparateReads) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), k9600);
    ASSERT_TRUE(pty.Write(Bytes(10, 0)));
    std::vector<uint8_t> first = ReadBurst(port);  // returns only after 5 ms of silence
    ASSERT_TRUE(pty.Write(Bytes(7, 100)));
    EXPECT_EQ(first, Bytes(10, 0));
    EXPECT_EQ(ReadBurst(port), Bytes(7, 100));
}

TEST(YCOMFile, LongStreamComesInPiecesOfAtMostCount) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), k9600);
    const std::vector<uint8_t> sent = Bytes(3000, 7);
    std::thread device([&] { pty.Write(sent); });
    std::vector<uint8_t> got;
    while (got.size() < sent.size()) {
        std::vector<uint8_t> piece = ReadBurst(port, 1024);
        ASSERT_FALSE(piece.empty());
        ASSERT_LE(piece.size(), 1024u);
        got.insert(got.end(), piece.begin(), piece.end());
    }
    device.join();
    EXPECT_EQ(got, sent);
}

TEST(YCOMFile, BytesQueuedBeforeTheOpenAreDiscarded) {
    PtyPair pty;
    {
        YCOMFile first(pty.SlavePath(), k9600);  // raw mode, so nothing waits for a newline
    }
    ASSERT_TRUE(pty.Write(Bytes(20)));
    YCOMFile port(pty.SlavePath(), k9600);
    ASSERT_TRUE(pty.Write(Bytes(3, 200)));
    EXPECT_EQ(ReadBurst(port), Bytes(3, 200));
}

TEST(YCOMFile, OpeningAMissingPortThrowsWithItsPath) {
    try {
        YCOMFile port("/dev/corvala-no-such-port", k9600);
        FAIL() << "opened a missing port";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, 0);
        EXPECT_EQ(e.m_lOsError, -1);
        EXPECT_EQ(e.m_strFileName, "/dev/corvala-no-such-port");
        EXPECT_EQ(e.m_nErrno, ENOENT);
    }
    EXPECT_THROW(YCOMFile("", k9600), CFileException);
}

TEST(YCOMFile, APortHeldElsewhereCannotBeOpened) {
    PtyPair pty;
    {
        YCOMFile holder(pty.SlavePath(), k9600);
        try {
            YCOMFile second(pty.SlavePath(), k9600);
            FAIL() << "opened a held port";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_strFileName, pty.SlavePath());
            EXPECT_EQ(e.m_nErrno, EBUSY);
        }
    }
    // Another process holding it the way tio and picocom do.
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    if (child == 0) {
        close(release[1]);
        int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        flock(fd, LOCK_EX);
        char c = 1;
        [[maybe_unused]] ssize_t n = write(ready[1], &c, 1);
        n = read(release[0], &c, 1);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_THROW(YCOMFile(pty.SlavePath(), k9600), CFileException);
    close(release[1]);
    waitpid(child, nullptr, 0);
    EXPECT_NO_THROW(YCOMFile(pty.SlavePath(), k9600));  // released on close
    for (int fd : {ready[0], ready[1], release[0]}) close(fd);
}

TEST(YCOMFile, LineSettingsReachTheDevice) {
    // A pty keeps the speed, CSTOPB, PARODD and CMSPAR; it forces CS8 and clears PARENB,
    // so those two are covered by the LineTermios tests.
    PtyPair pty;
    for (uint32_t baud : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 38400u,
                          56000u, 57600u, 115200u}) {
        for (int stopBits : {0, 1, 2}) {
            YCOMFile port(pty.SlavePath(), {baud, 3, stopBits, 8});
            termios2 t{};
            ASSERT_EQ(ioctl(port.Fd(), TCGETS2, &t), 0);
            EXPECT_EQ(t.c_ospeed, baud);
            EXPECT_EQ(t.c_ispeed, baud);
            EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stopBits != 0) << stopBits;
            EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), PARODD | CMSPAR);
        }
    }
}

TEST(YCOMFile, FlowControlReachesTheDeviceAtOpenAndWhileOpen) {
    PtyPair pty;
    const FlowControl kinds[] = {FlowControl::None, FlowControl::RtsCts, FlowControl::XonXoff};
    auto holds = [](const YCOMFile& port, FlowControl flow) {
        termios2 t{};
        EXPECT_EQ(ioctl(port.Fd(), TCGETS2, &t), 0);
        return (t.c_cflag & CRTSCTS) == (flow == FlowControl::RtsCts ? CRTSCTS : 0u) &&
               (t.c_iflag & (IXON | IXOFF)) == (flow == FlowControl::XonXoff ? IXON | IXOFF : 0u);
    };
    for (FlowControl atOpen : kinds) {
        YCOMFile port(pty.SlavePath(), {9600, 0, 0, 8, atOpen});
        EXPECT_TRUE(holds(port, atOpen)) << static_cast<int>(atOpen);
        for (FlowControl live : kinds) {
            EXPECT_EQ(port.ApplyLine({9600, 0, 0, 8, live}), 0);
            EXPECT_TRUE(holds(port, live))
                << static_cast<int>(atOpen) << " then " << static_cast<int>(live);
        }
    }
}

// A pty has no modem lines: the port opens all the same, with DTR and RTS asked off, and
// every modem call says ENOTTY at once.
TEST(YCOMFile, APseudoTerminalOpensWithoutModemLines) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), {9600, 0, 0, 8, FlowControl::None, false, false});
    ModemStatus status;
    EXPECT_EQ(port.GetModemStatus(status), ENOTTY);
    EXPECT_EQ(port.SetModemLine(ModemLine::Rts, true), ENOTTY);
    EXPECT_EQ(port.WaitModemChange(), ENOTTY);
}

TEST(YCOMFile, ClosingRestoresTheFormerSettings) {
    PtyPair pty;
    int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    termios2 before{};
    ASSERT_EQ(ioctl(fd, TCGETS2, &before), 0);
    { YCOMFile port(pty.SlavePath(), {57600, 4, 2, 8}); }
    termios2 after{};
    ASSERT_EQ(ioctl(fd, TCGETS2, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_ospeed, before.c_ospeed);
    close(fd);
}

TEST(YCOMFile, WriteDeliversEveryByte) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), k9600);
    const std::vector<uint8_t> sent = Bytes(200000, 3);  // far more than the kernel buffers
    std::vector<uint8_t> got;
    std::thread device([&] { got = pty.Read(sent.size(), 10s); });
    uint32_t written = 0;
    EXPECT_TRUE(port.WriteComm(sent.data(), static_cast<uint32_t>(sent.size()), &written));
    EXPECT_EQ(written, sent.size());
    device.join();
    EXPECT_EQ(got, sent);
}

// A device that takes nothing may be one whose flow control holds the output off: the write
// comes back short, for the caller to tell, and the port is still there.
TEST(YCOMFile, AWriteTheDeviceHoldsOffComesBackShortWithoutAFailure) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), {115200, 0, 0, 8});
    const std::vector<uint8_t> sent = Bytes(1 << 20);  // nobody reads the device end
    uint32_t written = 0;
    EXPECT_TRUE(port.WriteComm(sent.data(), static_cast<uint32_t>(sent.size()), &written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, sent.size());
    EXPECT_FALSE(port.HungUp());
}

TEST(YCOMFile, WhatWasWrittenBeforeTheCloseReachesTheDevice) {
    PtyPair pty;
    std::vector<uint8_t> sent(3000);
    std::iota(sent.begin(), sent.end(), 0);
    auto port = std::make_unique<YCOMFile>(pty.SlavePath(), LineSettings{115200, 0, 0, 8});
    ASSERT_TRUE(port->WriteComm(sent.data(), static_cast<uint32_t>(sent.size())));
    std::thread device([&] {  // takes it a little later, as a line does
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(pty.Read(sent.size(), 2s), sent);
    });
    const auto start = std::chrono::steady_clock::now();
    port.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, YCOMFile::kMaxDrain);
    device.join();
}

TEST(YCOMFile, ADeviceThatTakesNothingCannotHoldTheClose) {
    PtyPair pty;
    auto port = std::make_unique<YCOMFile>(pty.SlavePath(), LineSettings{115200, 0, 0, 8});
    const std::vector<uint8_t> out(2048, 0x55);
    uint32_t written = 0;
    port->WriteComm(out.data(), static_cast<uint32_t>(out.size()), &written);
    ASSERT_GT(written, 0u);
    // The caller does not wait (500 ms: far under the 2 s a drain may take, loose enough for
    // a sanitizer build); the close takes at most what 2 KB need at 115200.
    auto start = std::chrono::steady_clock::now();
    ClosePortLater(std::move(port));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    YCOMFile again(pty.SlavePath(), {115200, 0, 0, 8});  // waits for that close
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    // (A pty hands written bytes to the device side at once, so nothing is left to drop;
    // on a UART the rest of its output queue would be.)
}

TEST(YCOMFile, AHangUpIsReported) {
    PtyPair pty;
    YCOMFile port(pty.SlavePath(), k9600);
    pty.CloseMaster();
    uint8_t buf[16];
    EXPECT_EQ(port.ReadComm(buf, sizeof buf), 0u);
    EXPECT_TRUE(port.HungUp());
    EXPECT_FALSE(port.WriteComm(buf, sizeof buf));
}

}  // namespace
