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
    auto port = OpenSerialPort(server.Url(), {57600, 0, 2, 8});
    termios2 t{};
    ioctl(pty.MasterFd(), TCGETS2, &t);
    EXPECT_EQ(t.c_ospeed, 57600u);
    EXPECT_TRUE(t.c_cflag & CSTOPB);

    EXPECT_EQ(port->ApplyLine({115200, 0, 0, 8}), 0);
    ioctl(pty.MasterFd(), TCGETS2, &t);
    EXPECT_EQ(t.c_ospeed, 115200u);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
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

// A server on this machine that accepts and then does what `serve` says with the connection.
class FakeServer {
public:
    explicit FakeServer(std::function<void(int)> serve) {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t length = sizeof a;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &length);
        m_port = ntohs(a.sin_port);
        listen(m_listen, 1);
        m_thread = std::thread([this, serve] {
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd >= 0) serve(fd);
            if (fd >= 0) close(fd);
        });
    }
    ~FakeServer() {
        shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        close(m_listen);
    }
    std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_port); }

private:
    int m_listen;
    uint16_t m_port;
    std::thread m_thread;
};

// A com-port server: takes the options the client offers and answers each of its
// subcommands with what was asked, after `beforeAnswer` (which may hold the answer back).
void ServeComPort(int fd, const std::function<void(uint8_t command, uint8_t value)>& beforeAnswer) {
    using namespace telnet;
    const uint8_t greeting[] = {kIac, kWill, kSuppressGoAhead, kIac, kDo,  kSuppressGoAhead,
                                kIac, kWill, kBinary,          kIac, kDo,  kBinary,
                                kIac, kDo,   kComPort};
    [[maybe_unused]] ssize_t n = write(fd, greeting, sizeof greeting);
    std::vector<uint8_t> said;
    uint8_t chunk[256];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) {
        said.insert(said.end(), chunk, chunk + got);
        const uint8_t start[] = {kIac, kSb, kComPort};
        for (auto sub = std::search(said.begin(), said.end(), std::begin(start), std::end(start));
             sub != said.end() && said.end() - sub >= 7;
             sub = std::search(said.begin(), said.end(), std::begin(start), std::end(start))) {
            const auto end = std::find(sub + 4, said.end(), kSe);
            if (end == said.end()) break;
            std::vector<uint8_t> answer(sub, end + 1);
            answer[3] += kServerOffset;
            beforeAnswer(sub[3], sub[4]);
            n = write(fd, answer.data(), answer.size());
            said.erase(said.begin(), end + 1);
        }
    }
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

TEST(NetworkPortRfc2217, AnAnswerThatComesLateIsNotTakenForTheNextOnesRefusal) {
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
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, false), 0);
    ModemStatus status;
    ASSERT_EQ(port->GetModemStatus(status), 0);
    EXPECT_FALSE(status.dtr);
    EXPECT_EQ(port->SetModemLine(ModemLine::Dtr, true), 0);
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
