#include "serial/network_port.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "serial/file_exception.h"
#include "serial/open_port.h"
#include "serial/pty_pair.h"
#include "serial/serial_reader.h"
#include "test/fake_telnet_server.h"
#include "test/ser2net_server.h"
#include "test/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Kind = Ser2netServer::Kind;

const LineSettings k9600{9600, 0, 0, 8};

std::vector<uint8_t> EveryByteValue(int times) {
    std::vector<uint8_t> v;
    for (int t = 0; t < times; ++t)
        for (int i = 0; i < 256; ++i) v.push_back(static_cast<uint8_t>(i ^ t));
    return v;
}

// Reads from `port` until `count` bytes came or the port hung up, at most 10 s.
std::vector<uint8_t> ReadFromPort(SerialPort& port, size_t count) {
    std::vector<uint8_t> got, buf(1024);
    WaitUntil(
        [&] {
            const uint32_t n = port.ReadComm(buf.data(), static_cast<uint32_t>(buf.size()), -1);
            got.insert(got.end(), buf.begin(), buf.begin() + n);
            return got.size() >= count || port.HungUp();
        },
        10s);
    return got;
}

// ser2net serving a pseudo-terminal, skipped with the reason where ser2net is missing.
class ServedPty : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
        server.emplace(pty.SlavePath(), GetParam());
    }
    std::unique_ptr<SerialPort> Open(const LineSettings& line = k9600) {
        return OpenSerialPort(server->Url(GetParam()), line);
    }
    termios2 DeviceTermios() {
        termios2 t{};
        ioctl(pty.MasterFd(), TCGETS2, &t);
        return t;
    }

    PtyPair pty;
    std::optional<Ser2netServer> server;
};

INSTANTIATE_TEST_SUITE_P(BothKinds, ServedPty, ::testing::Values(Kind::Rfc2217, Kind::RawTcp),
                         [](const auto& info) { return info.param == Kind::Rfc2217 ? "Rfc2217" : "RawTcp"; });

TEST_P(ServedPty, EveryByteValueCrossesBothWaysExactly) {
    auto port = Open();
    const std::vector<uint8_t> bytes = EveryByteValue(40);  // 0xFF included, runs of it too
    // A raw server opens the device only as the connection comes, and a master end reads
    // nothing while no one has its port open. Out first: once that arrived, nothing the device
    // says is dropped by the server's opening.
    ASSERT_TRUE(WaitUntil([&] { return pty.PortInUse(); }));
    uint32_t written = 0;
    std::vector<uint8_t> heard;
    std::thread far([&] { heard = pty.Read(bytes.size(), 10s); });
    EXPECT_TRUE(port->WriteComm(bytes.data(), static_cast<uint32_t>(bytes.size()), &written, -1));
    far.join();
    EXPECT_EQ(written, bytes.size());
    EXPECT_EQ(heard, bytes);

    std::thread device([&] { ASSERT_TRUE(pty.Write(bytes)); });
    EXPECT_EQ(ReadFromPort(*port, bytes.size()), bytes);
    device.join();
}

TEST_P(ServedPty, KillingTheServerMidFloodIsAHangUp) {
    auto port = Open();
    std::atomic<bool> flooding = true;
    std::thread device([&] {
        const std::vector<uint8_t> chunk(4096, 'x');
        while (flooding && pty.Write(chunk, 200ms)) {
        }
    });
    ASSERT_FALSE(ReadFromPort(*port, 10000).empty());
    server->Kill();
    // Drained to the end, the port says so; no read blocks or spins after that.
    EXPECT_TRUE(WaitUntil([&] {
        uint8_t buf[1024];
        port->ReadComm(buf, sizeof buf, -1);
        return port->HungUp();
    }));
    flooding = false;
    device.join();
    const uint8_t byte = 1;
    EXPECT_FALSE(port->WriteComm(&byte, 1, nullptr, -1) && port->WriteComm(&byte, 1, nullptr, -1));
}

TEST(NetworkPortRfc2217, TheLineChosenReachesTheDeviceAtOpenAndLater) {
    if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
    PtyPair pty;
    Ser2netServer server(pty.SlavePath(), Kind::Rfc2217);
    // A loaded machine may let ser2net's answer come after the open stopped waiting for it.
    auto deviceLine = [&](uint32_t speed, bool twoStops) {
        return WaitUntil([&] {
            termios2 t{};
            ioctl(pty.MasterFd(), TCGETS2, &t);
            return t.c_ospeed == speed && static_cast<bool>(t.c_cflag & CSTOPB) == twoStops;
        });
    };
    auto port = OpenSerialPort(server.Url(), {57600, 0, 2, 8});
    EXPECT_TRUE(deviceLine(57600, true));

    EXPECT_EQ(port->ApplyLine({115200, 0, 0, 8}), 0);
    EXPECT_TRUE(deviceLine(115200, false));
}

// Parity and frame reach only a real UART: a pseudo-terminal forces 8 data bits and drops
// the parity bits. Only a UART nothing else uses may be served; this machine's may be its
// console, so one is named explicitly.
TEST(NetworkPortRfc2217, TheFrameReachesARealUart) {
    const char* uart = std::getenv("CORVALA_SPARE_UART");
    if (!uart) GTEST_SKIP() << "no spare real UART named (CORVALA_SPARE_UART=/dev/ttySn)";
    if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
    Ser2netServer server(uart, Kind::Rfc2217);
    struct Case {
        LineSettings line;
        tcflag_t size, parity;
        bool twoStops;
    };
    auto port = OpenSerialPort(server.Url(), k9600);
    for (const Case& c : {Case{{9600, 2, 0, 7}, CS7, PARENB, false},
                          Case{{9600, 1, 2, 8}, CS8, PARENB | PARODD, true},
                          Case{{9600, 3, 0, 8}, CS8, PARENB | PARODD | CMSPAR, false},
                          Case{{9600, 4, 0, 8}, CS8, PARENB | CMSPAR, false},
                          Case{{9600, 0, 1, 5}, CS5, 0, true}}) {
        EXPECT_EQ(port->ApplyLine(c.line), 0);
        const int fd = open(uart, O_RDONLY | O_NONBLOCK | O_NOCTTY);
        termios2 t{};
        ioctl(fd, TCGETS2, &t);
        close(fd);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parity);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStops);
    }
}

TEST(NetworkPortRfc2217, DataAControlReadsWhileTheReaderIsNotReadingWakesTheReader) {
    if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
    PtyPair pty;
    Ser2netServer server(pty.SlavePath(), Kind::Rfc2217);
    auto port = OpenSerialPort(server.Url(), k9600);
    const std::vector<uint8_t> said = EveryByteValue(4);
    ASSERT_TRUE(pty.Write(said));
    // No reader reads: the control reads the connection itself for its answer, and keeps
    // what the device said ahead of it.
    EXPECT_EQ(port->ApplyLine({19200, 0, 0, 8}), 0);
    pollfd reader{port->PollFd(), POLLIN, 0};
    EXPECT_EQ(poll(&reader, 1, 5000), 1);
    EXPECT_EQ(ReadFromPort(*port, said.size()), said);
}

TEST(NetworkPortRfc2217, APortWithoutModemLinesSaysSoAndAnsweredControlsStillWork) {
    if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
    PtyPair pty;
    Ser2netServer server(pty.SlavePath(), Kind::Rfc2217);
    auto port = OpenSerialPort(server.Url(), k9600);
    ModemStatus status;
    EXPECT_EQ(port->GetModemStatus(status), ENOTTY);  // ser2net confirms no DTR on a pty
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, false), ENOTTY);
    EXPECT_EQ(port->WaitModemChange(), ENOTTY);
    EXPECT_EQ(port->SendBreak(1ms, -1), 0);
}

TEST(NetworkPortRaw, HasNoLineOfItsOwn) {
    if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
    PtyPair pty;
    Ser2netServer server(pty.SlavePath(), Kind::RawTcp);
    auto port = OpenSerialPort(server.Url(Kind::RawTcp), k9600);
    ModemStatus status;
    EXPECT_EQ(port->ApplyLine(k9600), EOPNOTSUPP);
    EXPECT_EQ(port->GetModemStatus(status), ENOTTY);
    EXPECT_EQ(port->SendBreak(1ms, -1), ENOTTY);
}

CFileException OpenFailure(const std::string& url, int cancelFd = -1) {
    try {
        OpenSerialPort(url, k9600, cancelFd);
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << url << " opened";
    return CFileException(url, 0);
}

TEST(NetworkPortOpen, EachFailingStepIsToldWithItsReason) {
    const CFileException refused =
        OpenFailure("rfc2217://127.0.0.1:" + std::to_string(Ser2netServer::FreePort()));
    EXPECT_EQ(refused.m_step, OpenStep::Connect);
    EXPECT_EQ(refused.m_nErrno, ECONNREFUSED);

    const CFileException unknown = OpenFailure("tcp://no-such-host.invalid:2001");
    EXPECT_EQ(unknown.m_step, OpenStep::Lookup);
    EXPECT_FALSE(unknown.m_strSystem.empty());

    // A plain Telnet server: it turns the com-port option down.
    FakeServer telnetd([](int fd) {
        const uint8_t no[] = {255, 254, 44, 255, 253, 0, 255, 251, 0, 255, 253, 3, 255, 251, 3};
        [[maybe_unused]] ssize_t n = write(fd, no, sizeof no);
        uint8_t sink[256];
        while (read(fd, sink, sizeof sink) > 0) {
        }
    });
    const CFileException plain = OpenFailure(telnetd.Url());
    EXPECT_EQ(plain.m_step, OpenStep::Negotiate);
    EXPECT_EQ(plain.m_nErrno, EPROTONOSUPPORT);
}

// Every step of an open that runs out of descriptors fails as an open does, so the thread
// that opens can tell the user, and none of the descriptors it took stays open.
TEST(NetworkPortOpen, RunningOutOfDescriptorsAtAnyStepIsAnOpenFailure) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's runtime needs descriptors of its own to check memory, and "
                    "reports a fault where it finds none left; the plain build runs this";
#endif
    const auto openCount = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const int lowestFree = dup(0);
    close(lowestFree);
    for (int spare = lowestFree; spare < lowestFree + 5; ++spare)
        ASSERT_EQ(fcntl(spare, F_GETFD), -1) << "descriptor " << spare << " is taken";
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(Ser2netServer::FreePort());
    for (int spare = 0; spare < 5; ++spare) {  // two eventfds, epoll, the lookup's, the socket
        SCOPED_TRACE(spare);
        const auto before = openCount();
        rlimit tight = saved;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree + spare);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        int error = 0;
        try {
            OpenSerialPort(refused, k9600);
        } catch (const CFileException& e) {
            error = e.m_nErrno;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not an open failure: " << e.what();
        }
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(error, EMFILE);
        // The lookup's thread lets go of its own descriptor when it ends.
        EXPECT_TRUE(WaitUntil([&] { return openCount() == before; })) << openCount() - before;
    }
}

TEST(NetworkPortRfc2217, AnAnswerThatComesLateIsTakenAndNotMistakenForTheNextOnes) {
    std::atomic<bool> held = false;
    FakeServer server([&](int fd) {
        ServeComPort(fd, [&](uint8_t command, uint8_t value) {
            // The first DTR on after the open is answered only once its control gave up.
            if (command == telnet::kSetControl && value == telnet::kDtrOn && !held.exchange(true))
                std::this_thread::sleep_for(NetworkPort::kAnswerLimit + 300ms);
        });
    });
    LineSettings line = k9600;
    line.dtr = false;
    auto port = OpenSerialPort(server.Url(), line);
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, true), ETIMEDOUT);
    ModemStatus status;
    // When it comes after all, the port says what the device has.
    EXPECT_TRUE(WaitUntil([&] {
        uint8_t buf[64];
        port->ReadComm(buf, sizeof buf, -1);
        return port->GetModemStatus(status) == 0 && status.dtr;
    }));
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, false), 0);
    ASSERT_EQ(port->GetModemStatus(status), 0);
    EXPECT_FALSE(status.dtr);
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, true), 0);
}

// A server that takes data at about twice a 9600 baud line's rate (as a device behind it
// does) answers a control only once the data before it went: 1.5 s here.
TEST(NetworkPortRfc2217, AControlWaitsAsLongAsTheDataQueuedAheadNeeds) {
    FakeServer server([](int fd) {
        AnswerOpen(fd);
        std::vector<uint8_t> said;
        uint8_t chunk[192];
        for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) {
            said.insert(said.end(), chunk, chunk + got);
            said.erase(std::remove(said.begin(), said.end(), 'D'), said.end());
            AnswerSubcommands(fd, said, [](uint8_t, uint8_t) {});
            std::this_thread::sleep_for(100ms);  // the device's pace, not a wait for an event
        }
    });
    auto port = OpenSerialPort(server.Url(), k9600);
    const std::vector<uint8_t> data(3000, 'D');
    ASSERT_TRUE(port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), nullptr, -1));
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, false), 0);
}

// A server that keeps asking while it reads nothing is owed replies that no longer fit the
// connection: none is dropped or cut (what a command left unsent goes before anything else),
// so the server reads every reply whole once it reads again.
TEST(NetworkPortRfc2217, RepliesOwedToAServerThatReadsNothingAllGoWhole) {
    using namespace telnet;
    constexpr size_t kAsked = 400000;  // replies beyond what the client's socket holds
    const uint8_t ask[] = {kIac, kSb, kComPort, kServerOffset + kSignature, kIac, kSe};
    std::vector<uint8_t> heard;
    {
        FakeServer server(
            [&](int fd) {
                AnswerOpen(fd);
                std::vector<uint8_t> flood;
                for (size_t i = 0; i < kAsked; ++i)
                    flood.insert(flood.end(), std::begin(ask), std::end(ask));
                flood.push_back('x');
                [[maybe_unused]] ssize_t n = write(fd, flood.data(), flood.size());
                // Longer than a reply waits for room.
                std::this_thread::sleep_for(NetworkPort::kAnswerLimit + 500ms);
                uint8_t chunk[65536];
                for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;)
                    heard.insert(heard.end(), chunk, chunk + got);
            },
            8192);
        auto port = OpenSerialPort(server.Url(), k9600);
        EXPECT_EQ(ReadFromPort(*port, 1), std::vector<uint8_t>{'x'});  // each was asked by then
    }
    std::vector<uint8_t> reply;
    Codec::Request(kSignature, std::vector<uint8_t>{'C', 'o', 'r', 'v', 'a', 'l', 'a'}, reply);
    size_t replies = 0;
    for (auto at = heard.begin();
         (at = std::search(at, heard.end(), reply.begin(), reply.end())) != heard.end(); ++at)
        ++replies;
    EXPECT_EQ(replies, kAsked);
    EXPECT_EQ(StrayBytes(heard), 0u);
}

// While the server has suspended our output a write holds it, and ends at once when woken;
// resumed, it goes.
TEST(NetworkPortRfc2217, OutputWaitsWhileTheServerSuspendsIt) {
    using namespace telnet;
    std::atomic<bool> opened = false, resume = false;
    size_t got = 0;
    const std::vector<uint8_t> data(1000, 'D');
    {
        FakeServer server([&](int fd) {
            AnswerOpen(fd);
            WaitUntil([&] { return opened.load(); });  // what comes before is dropped
            const uint8_t suspend[] = {kIac, kSb, kComPort, kServerOffset + kFlowControlSuspend,
                                       kIac, kSe, 'x'};
            [[maybe_unused]] ssize_t n = write(fd, suspend, sizeof suspend);
            WaitUntil([&] { return resume.load(); });
            const uint8_t go[] = {kIac, kSb, kComPort, kServerOffset + kFlowControlResume,
                                  kIac, kSe};
            n = write(fd, go, sizeof go);
            got = CountUntilEnd(fd, 'D');
        });
        auto port = OpenSerialPort(server.Url(), k9600);
        opened = true;
        ASSERT_EQ(ReadFromPort(*port, 1), std::vector<uint8_t>{'x'});  // suspended by now
        const int wake = eventfd(0, EFD_CLOEXEC);
        uint32_t written = 0;
        std::thread writer([&] {
            EXPECT_TRUE(
                port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, wake));
        });
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wake, &one, sizeof one);
        writer.join();
        close(wake);
        EXPECT_EQ(written, 0u);
        resume = true;
        EXPECT_TRUE(port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, -1));
        EXPECT_EQ(written, data.size());
    }
    EXPECT_EQ(got, data.size());
}

// Held by the server's suspend, a write comes back short after the patience, as one a slow
// line holds does, so the window can say that it waits.
TEST(NetworkPortRfc2217, AWriteTheServerSuspendsComesBackShortAfterThePatience) {
    using namespace telnet;
    std::atomic<bool> opened = false, returned = false;
    FakeServer server([&](int fd) {
        AnswerOpen(fd);
        WaitUntil([&] { return opened.load(); });
        const uint8_t suspend[] = {kIac, kSb, kComPort, kServerOffset + kFlowControlSuspend,
                                   kIac, kSe, 'x'};
        [[maybe_unused]] ssize_t n = write(fd, suspend, sizeof suspend);
        WaitUntil([&] { return returned.load(); }, 20s);
        const uint8_t go[] = {kIac, kSb, kComPort, kServerOffset + kFlowControlResume, kIac, kSe};
        n = write(fd, go, sizeof go);
        CountUntilEnd(fd, 'D');
    });
    auto port = OpenSerialPort(server.Url(), k9600);
    opened = true;
    ASSERT_EQ(ReadFromPort(*port, 1), std::vector<uint8_t>{'x'});  // suspended by now
    const std::vector<uint8_t> data(1000, 'D');
    uint32_t written = 1;
    EXPECT_TRUE(port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, -1));
    returned = true;
    EXPECT_EQ(written, 0u);
}

// What a server reading slowly has not yet taken of what the port took still reaches it when
// the port closes while the device talks (unread bytes at closing reset a connection).
TEST(NetworkPortRaw, WhatWasWrittenReachesTheServerWhenClosingWhileTheDeviceTalks) {
    size_t got = 0;
    const std::vector<uint8_t> data(60000, 'D');
    {
        FakeServer server(
            [&](int fd) {
                const std::vector<uint8_t> talk(4096, 't');
                uint8_t chunk[2048];
                for (ssize_t r = 0;
                     (r = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT | MSG_NOSIGNAL)) != 0;) {
                    if (r < 0 && errno != EAGAIN) break;
                    if (r > 0) got += static_cast<size_t>(std::count(chunk, chunk + r, 'D'));
                    [[maybe_unused]] ssize_t n =
                        send(fd, talk.data(), talk.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                    std::this_thread::sleep_for(1ms);  // a slow reader's pace
                }
            },
            4096);
        auto port = OpenSerialPort(server.Url(false), k9600);
        uint32_t written = 0;
        ASSERT_TRUE(port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, -1));
    }
    EXPECT_EQ(got, data.size());
}

struct IgnoringSink : PortEventSink {
    void PostPortReceived() override {}
    void PostPortHungUp() override {}
    void PostPortWritten(uint32_t, bool) override {}
    void PostPortWriteHeld(bool, uint64_t) override {}
    void PostPortControlDone(int, int) override {}
    void PostModemStatus(std::optional<ModemStatus>) override {}
};

// Closing while a control waits for its answer behind a minute of queued line time ends the
// wait at once: the window's 关闭 waits for the writer.
TEST(NetworkPortRfc2217, StoppingEndsAControlWaitingBehindQueuedData) {
    FakeServer server([](int fd) {
        AnswerOpen(fd);
        CountUntilEnd(fd, 'D');  // takes the data, answers nothing more
    });
    IgnoringSink sink;
    RxQueue queue;
    CSerialReader reader(sink, queue, OpenSerialPort(server.Url(), k9600));
    reader.Start();
    reader.Write(std::vector<uint8_t>(60000, 'D'));
    std::atomic<bool> asking = false, stopped = false;
    reader.Control(1, [&](SerialPort& port) {
        asking = true;
        return port.SetModemLine(ModemLine::Dtr, false);
    });
    ASSERT_TRUE(WaitUntil([&] { return asking.load(); }, 10s));
    std::thread stopper([&] {
        reader.Stop();
        stopped = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return stopped.load(); }, 15s));
    stopper.join();
}

// A cancelled send asks the server to drop what it still holds of it for the device.
TEST(NetworkPortRfc2217, ACancelledSendPurgesTheServersOutput) {
    using namespace telnet;
    struct : PortEventSink {
        void PostPortReceived() override {}
        void PostPortHungUp() override {}
        void PostPortWritten(uint32_t written, bool) override { took += written; }
        void PostPortWriteHeld(bool, uint64_t) override {}
        void PostPortControlDone(int, int) override {}
        void PostModemStatus(std::optional<ModemStatus>) override {}
        std::atomic<uint64_t> took = 0;
    } sink;
    std::atomic<bool> cancelled = false, purged = false;
    FakeServer server([&](int fd) {
        AnswerOpen(fd);
        WaitUntil([&] { return cancelled.load(); },
                  10s);  // reads nothing: the send stays under way
        const uint8_t purge[] = {kIac, kSb, kComPort, kPurgeData, kPurgeOutput, kIac, kSe};
        std::vector<uint8_t> heard;
        uint8_t chunk[65536];
        for (ssize_t got; !purged && (got = read(fd, chunk, sizeof chunk)) > 0;) {
            heard.insert(heard.end(), chunk, chunk + got);
            purged = std::search(heard.begin(), heard.end(), std::begin(purge), std::end(purge)) !=
                     heard.end();
        }
    });
    RxQueue queue;
    CSerialReader reader(sink, queue, OpenSerialPort(server.Url(), k9600));
    reader.Start();
    reader.Write(std::vector<uint8_t>(16 << 20, 'D'));
    // Under way, not merely queued: a cancel would drop a queued send before it began.
    ASSERT_TRUE(WaitUntil([&] { return sink.took > 0; }, 10s));
    reader.CancelWrites();
    cancelled = true;
    EXPECT_TRUE(WaitUntil([&] { return purged.load(); }, 10s));
    reader.Stop();
}

// A write woken while the server takes nothing ends short and the connection stays, also
// when the socket took the first byte of an escaped 0xFF but not its twin ('A' then 0xFFs
// puts every piece boundary the kernel makes inside a pair).
TEST(NetworkPortRfc2217, AWakeWhileTheServerTakesNothingLeavesTheConnectionUp) {
    std::atomic<bool> done = false;
    FakeServer server(
        [&](int fd) {
            AnswerOpen(fd);
            WaitUntil([&] { return done.load(); }, 20s);
        },
        4096);
    auto port = OpenSerialPort(server.Url(), k9600);
    std::vector<uint8_t> data(8 << 20, 0xFF);
    data[0] = 'A';
    const int wake = eventfd(1, EFD_CLOEXEC);
    uint32_t written = 0;
    EXPECT_TRUE(port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, wake));
    close(wake);
    EXPECT_LT(written, data.size());
    EXPECT_FALSE(port->HungUp());
    done = true;
}

// ser2net closes without reading what the client sent, so the connection ends in a reset
// that now and then overtakes its words ("Connection reset by peer" is told instead): they
// are told when they come, and a few tries make sure they come once.
TEST(NetworkPortOpen, AServerThatHangsUpIsToldInItsOwnWords) {
    if (Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
    Ser2netServer server("/dev/corvala-no-such-device", Kind::Rfc2217);
    std::string told;
    for (int attempt = 0; attempt < 5 && told.find("Device open failure") == std::string::npos; ++attempt) {
        const CFileException e = OpenFailure(server.Url());
        EXPECT_EQ(e.m_step, OpenStep::Negotiate);
        told = e.m_strSystem;
    }
    EXPECT_NE(told.find("Device open failure"), std::string::npos) << told;
}

TEST(NetworkPortOpen, ACancelEndsAnOpenThatWaitsForASilentServer) {
    std::atomic<bool> done = false;
    FakeServer silent([&](int) { WaitUntil([&] { return done.load(); }, 20s); });
    const int cancel = eventfd(0, EFD_CLOEXEC);
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);  // the open is then waiting for the negotiation
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(cancel, &one, sizeof one);
    });
    const CFileException e = OpenFailure(silent.Url(), cancel);
    canceller.join();
    done = true;
    close(cancel);
    EXPECT_EQ(e.m_nErrno, ECANCELED);
}

}  // namespace
