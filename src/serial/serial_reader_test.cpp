#include "serial/serial_reader.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "send/file_source.h"
#include "serial/file_exception.h"
#include "serial/modem_lines.h"
#include "serial/open_port.h"
#include "serial/pty_pair.h"
#include "serial/ycom_file.h"
#include "test/fake_port.h"
#include "test/ser2net_server.h"
#include "test/thread_count.h"
#include "test/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
// A stop that is "at once": far under the 2 s limits a stop could wrongly wait out (a stalled
// write, a drain), and loose enough for a sanitizer build on a busy machine.
constexpr auto kAtOnce = 500ms;
using Batches = std::vector<std::vector<uint8_t>>;

// Stands in for the window: counts the reader's notices; batches are taken out of the
// queue by Drain, on the test's thread.
class RecordingSink : public PortEventSink {
public:
    void PostPortReceived() override { ++m_notices; }
    void PostPortHungUp() override { ++m_hangUps; }
    void PostPortWritten(uint32_t written, bool failed) override {
        m_written += written;
        ++m_writes;
        m_writeFailures += failed;
    }
    void PostPortWriteHeld(bool held, uint64_t left) override {
        std::lock_guard lock(m_mutex);
        m_held.emplace_back(held, left);
    }
    std::vector<std::pair<bool, uint64_t>> Held() {
        std::lock_guard lock(m_mutex);
        return m_held;
    }
    void PostPortControlDone(int id, int error) override {
        std::lock_guard lock(m_mutex);
        m_controlsDone.emplace_back(id, error);
    }
    void PostModemStatus(std::optional<ModemStatus> status) override {
        std::lock_guard lock(m_mutex);
        m_modem.push_back(status);
    }
    std::vector<std::pair<int, int>> ControlsDone() {
        std::lock_guard lock(m_mutex);
        return m_controlsDone;
    }
    std::vector<std::optional<ModemStatus>> Modem() {
        std::lock_guard lock(m_mutex);
        return m_modem;
    }
    std::atomic<int> m_notices{0};
    std::atomic<int> m_hangUps{0};
    std::atomic<uint32_t> m_written{0};
    std::atomic<int> m_writes{0}, m_writeFailures{0};

private:
    std::mutex m_mutex;
    std::vector<std::pair<int, int>> m_controlsDone;  // guarded by m_mutex
    std::vector<std::optional<ModemStatus>> m_modem;  // guarded by m_mutex
    std::vector<std::pair<bool, uint64_t>> m_held;    // guarded by m_mutex
};

std::unique_ptr<SerialPort> Open(const PtyPair& pty) {
    return OpenSerialPort(pty.SlavePath(), {115200, 0, 0, 8});
}

// Takes every queued batch out of `queue`, in order, onto the end of `batches`.
void Drain(RxQueue& queue, Batches& batches) {
    while (MyMsg* m = queue.Front()) {
        batches.emplace_back(m->m_data.begin(), m->m_data.begin() + m->m_nLength);
        queue.Pop();
    }
}

// Bytes 0, 1, ... 250, 0, 1, ...: any slip shows.
std::vector<uint8_t> Pattern(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i % 251);
    return bytes;
}

std::vector<uint8_t> Joined(const Batches& batches) {
    std::vector<uint8_t> all;
    for (const auto& b : batches) all.insert(all.end(), b.begin(), b.end());
    return all;
}

class ReaderTest : public ::testing::Test {
protected:
    size_t Count() {
        Drain(queue, batches);
        return batches.size();
    }

    RxQueue queue;
    RecordingSink sink;
    PtyPair pty;
    CSerialReader reader{sink, queue, Open(pty)};
    Batches batches;
};

TEST_F(ReaderTest, BurstsSeparatedBySilenceAreTwoBatches) {
    reader.Start();
    pty.Write(std::vector<uint8_t>{1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return Count() == 1; }));
    pty.Write(std::vector<uint8_t>{4, 5});
    ASSERT_TRUE(WaitUntil([&] { return Count() == 2; }));
    EXPECT_EQ(batches, (Batches{{1, 2, 3}, {4, 5}}));
    EXPECT_EQ(sink.m_notices, 2);  // each found the queue empty
}

TEST_F(ReaderTest, AFloodArrivesWholeInOrderInBatchesOfAtMost1024) {
    std::vector<uint8_t> sent(1 << 20);
    std::mt19937 random(42);
    for (uint8_t& b : sent) b = static_cast<uint8_t>(random());
    reader.Start();
    std::thread device([&] { pty.Write(sent); });
    ASSERT_TRUE(WaitUntil([&] { return Count() && Joined(batches).size() >= sent.size(); }, 30s));
    device.join();
    for (const auto& batch : batches) {
        ASSERT_GE(batch.size(), 1u);
        ASSERT_LE(batch.size(), 1024u);
    }
    EXPECT_EQ(Joined(batches), sent);
}

TEST_F(ReaderTest, AFullQueueStallsTheReaderWithoutLoss) {
    reader.Stop();  // frees the port for a reader on a small queue
    RxQueue small(4);
    CSerialReader stalled(sink, small, Open(pty));
    stalled.Start();
    std::vector<uint8_t> sent(32 * 1024);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<uint8_t>(i * 7 + i / 256);
    std::thread device([&] { pty.Write(sent, 30s); });
    ASSERT_TRUE(WaitUntil([&] { return small.Size() == 4; }));
    EXPECT_FALSE(WaitUntil([&] { return small.Size() > 4; }, 50ms));
    Batches got;
    ASSERT_TRUE(WaitUntil(
        [&] {
            Drain(small, got);  // the window catches up
            return Joined(got).size() >= sent.size();
        },
        30s));
    device.join();
    EXPECT_EQ(Joined(got), sent);
}

TEST_F(ReaderTest, StopEndsTheWorkerWhileAFloodRuns) {
    reader.Start();
    std::atomic<bool> flooding{true};
    std::thread device([&] {
        std::vector<uint8_t> chunk(4096, 0x55);
        while (flooding && pty.Write(chunk, 200ms)) {
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return Count() > 10; }));
    auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_EQ(reader.File(), nullptr);
    size_t after = Count();
    flooding = false;
    device.join();
    EXPECT_EQ(Count(), after);
}

TEST_F(ReaderTest, StopLeavesWhatWasQueuedForTheWindow) {
    reader.Start();
    pty.Write(std::vector<uint8_t>{9, 8, 7});
    ASSERT_TRUE(WaitUntil([&] { return queue.Size() == 1; }));
    auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    ASSERT_EQ(Count(), 1u);
    EXPECT_EQ(batches[0], (std::vector<uint8_t>{9, 8, 7}));
}

TEST_F(ReaderTest, EachBatchCarriesTheTimeItArrived) {
    reader.Stop();  // frees the port for a reader with a settable clock
    std::atomic<int> second{1};
    RxQueue own;
    CSerialReader stamped(sink, own, Open(pty),
                          [&] { return UtcTime{2026, 12, 8, 10, 0, second.load(), 0}; });
    stamped.Start();
    pty.Write(std::vector<uint8_t>{1});
    ASSERT_TRUE(WaitUntil([&] { return own.Size() == 1; }));
    second = 59;  // the window gets to it much later
    EXPECT_EQ(own.Front()->m_time.second, 1);
}

// The clock's first reading sends the rest of the burst: a reader that stamped a burst when
// its read completed would find the rest as a burst of its own, with a later stamp.
TEST_F(ReaderTest, ABurstIsStampedWhenItsFirstByteIsSeen) {
    reader.Stop();
    std::atomic<int> readings{0};
    RxQueue own;
    CSerialReader stamped(sink, own, Open(pty), [&] {
        const int reading = ++readings;
        if (reading == 1) pty.Write(std::vector<uint8_t>{2, 3});
        return UtcTime{2026, 12, 8, 10, 0, reading, 0};
    });
    stamped.Start();
    pty.Write(std::vector<uint8_t>{1});
    std::vector<int> stamps;
    ASSERT_TRUE(WaitUntil([&] {
        while (MyMsg* m = own.Front()) {
            stamps.push_back(m->m_time.second);
            batches.emplace_back(m->m_data.begin(), m->m_data.begin() + m->m_nLength);
            own.Pop();
        }
        return Joined(batches).size() == 3;
    }));
    EXPECT_EQ(batches, (Batches{{1, 2, 3}}));
    EXPECT_EQ(stamps, std::vector<int>{1});
}

TEST_F(ReaderTest, AHangUpIsReportedOnceAndTheWorkerGoesIdle) {
    reader.Start();
    pty.Write(std::vector<uint8_t>{1, 2});
    ASSERT_TRUE(WaitUntil([&] { return Count() == 1; }));
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return sink.m_hangUps == 1; }));
    EXPECT_TRUE(reader.HungUp());
    EXPECT_FALSE(WaitUntil([&] { return sink.m_hangUps > 1; }, 50ms));
    EXPECT_EQ(Count(), 1u);
    reader.Stop();
}

// The window has fallen behind and the queue is full when the cable goes, or the server
// that serves the line: the window hears of it at once, and everything queued before is
// still there, in order.
TEST(SerialReaderFullQueue, AHangUpIsReportedBeforeTheQueueDrains) {
    using Kind = Ser2netServer::Kind;
    for (const bool network : {false, true}) {
        if (network && Ser2netServer::Binary().empty()) GTEST_SKIP() << "ser2net is not installed";
        PtyPair pty;
        std::optional<Ser2netServer> server;
        if (network) server.emplace(pty.SlavePath(), Kind::RawTcp);
        RecordingSink sink;
        RxQueue small(4);
        CSerialReader stalled(
            sink, small,
            network ? OpenSerialPort(server->Url(Kind::RawTcp), {115200, 0, 0, 8}) : Open(pty));
        stalled.Start();
        ASSERT_TRUE(WaitUntil([&] { return pty.PortInUse(); }));
        // A network port's last bytes stay within the socket's window, so its end can come;
        // the server may drop what comes as it opens the device, so it is sent until taken.
        const std::vector<uint8_t> sent = Pattern(network ? 16 * 1024 : 64 * 1024);
        ASSERT_TRUE(WaitUntil([&] {  // till full; a loaded ser2net may drop for a while
            if (small.Size() < 4) pty.Write(sent, 200ms);
            return small.Size() == 4;
        }, 20s));
        if (network) {
            server->Kill();
        } else {
            pty.CloseMaster();
        }
        ASSERT_TRUE(WaitUntil([&] { return sink.m_hangUps == 1; }))
            << "told only once the queue drained, network: " << network;
        EXPECT_TRUE(stalled.HungUp());
        EXPECT_EQ(small.Size(), 4u);
        Batches got;
        Drain(small, got);
        const std::vector<uint8_t> kept = Joined(got);
        EXPECT_EQ(got.size(), 4u);
        if (!network) EXPECT_TRUE(std::equal(kept.begin(), kept.end(), sent.begin()));
        EXPECT_FALSE(WaitUntil([&] { return sink.m_hangUps > 1 || small.Size() > 0; }, 50ms));
    }
}

// The window writes while the reader reads; then the cable goes. Both may find the device
// gone, and once found it stays found (ThreadSanitizer watches the flag in its build).
TEST_F(ReaderTest, TheWindowWritesWhileTheReaderReadsAndAHangUpStays) {
    reader.Start();
    std::atomic<bool> running{true};
    std::thread device([&] {
        std::vector<uint8_t> chunk(512, 0x33);
        while (running) {  // sends, and takes what the window wrote
            pty.Write(chunk, 20ms);
            pty.Read(65536, 5ms);
        }
    });
    const std::vector<uint8_t> out(256, 0x44);
    for (int i = 0; i < 200; ++i) reader.Write(out);
    ASSERT_TRUE(WaitUntil([&] {
        Count();  // the window also handles what arrives
        return sink.m_writes == 200;
    }));
    EXPECT_EQ(sink.m_written, 200u * 256);
    EXPECT_EQ(sink.m_writeFailures, 0);
    running = false;
    device.join();
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return sink.m_hangUps == 1; }));
    reader.Write(out);
    ASSERT_TRUE(WaitUntil([&] { return sink.m_writeFailures == 1; }));
    EXPECT_TRUE(reader.File()->HungUp());
    EXPECT_TRUE(reader.HungUp());
}

TEST_F(ReaderTest, AStopCutsAWriteTheDeviceDoesNotTakeShortWithoutAFailure) {
    reader.Start();
    reader.Write(std::vector<uint8_t>(512 * 1024, 0x66));  // far more than the pty holds
    // Bytes at the device end mean the writer is inside the write, which the full pty holds.
    ASSERT_TRUE(WaitUntil([&] {
        int queued = 0;
        return ioctl(pty.MasterFd(), FIONREAD, &queued) == 0 && queued > 0;
    }));
    const auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_EQ(sink.m_writes, 1);
    EXPECT_EQ(sink.m_writeFailures, 0);
    EXPECT_LT(sink.m_written, 512u * 1024);
}

// A device that takes nothing for far longer than a write's patience (flow control, a slow
// line): the write waits and says so with what is left, and ends only when the device takes
// it all, or at once on a cancel or a stop; never failed.
TEST(SerialReaderHeld, AWriteTheDeviceHoldsOffWaitsAndSaysSoUntilTakenCancelledOrStopped) {
    enum class End { Taken, Cancelled, Stopped };
    const std::vector<uint8_t> sent = Pattern(1 << 20);  // far more than the pty holds
    for (const End end : {End::Taken, End::Cancelled, End::Stopped}) {
        RxQueue q;
        RecordingSink s;
        PtyPair p;
        CSerialReader r(s, q, Open(p));
        r.Start();
        r.Write(sent);
        ASSERT_TRUE(WaitUntil([&] { return !s.Held().empty(); }, 10s)) << static_cast<int>(end);
        const auto [held, left] = s.Held().front();
        EXPECT_TRUE(held);
        EXPECT_EQ(s.m_written + left, sent.size());
        std::vector<uint8_t> got;
        if (end == End::Taken) {
            got = p.Read(sent.size(), 30s);
            EXPECT_EQ(got, sent);
        } else {
            const auto start = Clock::now();
            if (end == End::Cancelled) {
                r.CancelWrites();
            } else {
                r.Stop();
            }
            ASSERT_TRUE(WaitUntil([&] { return r.WriterIdle(); }, kAtOnce));
            EXPECT_LT(Clock::now() - start, kAtOnce);
            got = p.Read(sent.size(), 200ms);
        }
        ASSERT_TRUE(WaitUntil([&] { return s.m_written == got.size() && s.Held().size() == 2; }));
        EXPECT_FALSE(s.Held().back().first);
        EXPECT_EQ(s.m_writeFailures, 0);
    }
}

TEST_F(ReaderTest, StopWithoutStartAndTwiceIsHarmless) {
    reader.Stop();
    reader.Stop();
    EXPECT_EQ(reader.File(), nullptr);
}

// Each control sees every byte written before it gone out, and is answered with its own id
// and errno; what a control changed holds on the device.
TEST_F(ReaderTest, ControlsRunInOrderWithTheWritesAndAnswerWithTheirErrno) {
    reader.Start();
    std::atomic<size_t> arrivedFirst{0};
    reader.Write(std::vector<uint8_t>(3000, 0x21));
    reader.Control(1, [&](SerialPort&) {
        arrivedFirst = pty.Read(3000, 2s).size();
        return 0;
    });
    reader.Control(2, [](SerialPort& port) { return port.SetModemLine(ModemLine::Dtr, false); });
    reader.Control(3, [](SerialPort& port) {
        return port.ApplyLine({115200, 0, 0, 8, FlowControl::RtsCts});
    });
    reader.Break(4, 10ms);
    ASSERT_TRUE(WaitUntil([&] { return sink.ControlsDone().size() == 4; }));
    EXPECT_EQ(arrivedFirst, 3000u);
    EXPECT_EQ(sink.ControlsDone(),
              (std::vector<std::pair<int, int>>{{1, 0}, {2, ENOTTY}, {3, 0}, {4, 0}}));
    termios2 t{};
    ASSERT_EQ(ioctl(static_cast<YCOMFile*>(reader.File())->Fd(), TCGETS2, &t), 0);
    EXPECT_EQ(t.c_cflag & CRTSCTS, CRTSCTS);
}

TEST_F(ReaderTest, APseudoTerminalSaysOnceThatItHasNoModemLinesAndItsModemThreadEnds) {
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return !sink.Modem().empty(); }));
    EXPECT_TRUE(WaitUntil([] { return ThreadsNamed({"corvala-modem"}) == 0; }));
    reader.Control(1, [](SerialPort& port) { return port.SetModemLine(ModemLine::Rts, false); });
    ASSERT_TRUE(WaitUntil([&] { return sink.ControlsDone().size() == 1; }));
    EXPECT_EQ(sink.Modem(), std::vector<std::optional<ModemStatus>>{std::nullopt});
}

TEST(SerialReader, AFailedOpenThrowsBeforeAnyThreadExists) {
    RxQueue queue;
    RecordingSink sink;
    EXPECT_THROW(CSerialReader(sink, queue, OpenSerialPort("/dev/corvala-missing", {})),
                 CFileException);
}

// The device counts up in 4-byte words; each reader session, stopped at a random moment
// while the window drains, must hand over a gapless run of that count, including what was
// still queued when it stopped. A new session flushes the port, so runs need not join up.
TEST(SerialReaderStops, WhatEachSessionReadIsHandedOverWholeAndInOrder) {
    PtyPair pty;
    RxQueue queue(8);
    RecordingSink sink;
    std::atomic<bool> flooding{true};
    std::thread device([&] {
        std::vector<uint8_t> words(4096);
        for (uint32_t n = 0; flooding;) {
            for (size_t i = 0; i < words.size(); i += 4, ++n) {
                for (int k = 0; k < 4; ++k) words[i + k] = static_cast<uint8_t>(n >> (24 - 8 * k));
            }
            if (!pty.Write(words, 200ms)) std::this_thread::sleep_for(1ms);
        }
    });
    std::mt19937 random(7);
    size_t total = 0;
    for (int session = 0; session < 20; ++session) {
        Batches got;
        {
            CSerialReader reader(sink, queue, Open(pty));
            reader.Start();
            const auto stopAt = Clock::now() + std::chrono::microseconds(1000 + random() % 20000);
            while (Clock::now() < stopAt) {
                if (random() % 2) Drain(queue, got);  // a window that falls behind now and then
            }
            const auto start = Clock::now();
            reader.Stop();
            EXPECT_LT(Clock::now() - start, kAtOnce);
        }
        Drain(queue, got);
        const std::vector<uint8_t> bytes = Joined(got);
        total += bytes.size();
        auto word = [&](size_t i) {
            return static_cast<uint32_t>(bytes[i] << 24 | bytes[i + 1] << 16 | bytes[i + 2] << 8 | bytes[i + 3]);
        };
        size_t at = 0;  // the first whole word: the one its successor follows
        while (at + 8 <= bytes.size() && word(at + 4) != word(at) + 1) ++at;
        for (size_t i = at; i + 8 <= bytes.size(); i += 4) {
            ASSERT_EQ(word(i + 4), word(i) + 1) << "session " << session << ", byte " << i;
        }
    }
    flooding = false;
    device.join();
    EXPECT_GT(total, 20u * 1024);
}

// True once the modem thread is blocked in system call `number`: a stop now must reach it
// inside its wait.
bool ModemThreadBlockedIn(long number) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        long call = -1;
        if (name == "corvala-modem" && (std::ifstream(task.path() / "syscall") >> call) &&
            call == number) {
            return true;
        }
    }
    return false;
}

using Statuses = std::vector<std::optional<ModemStatus>>;

TEST(SerialReaderModem, ChangesArePostedOnceEachAndStopEndsTheBlockedWait) {
    RxQueue queue;
    RecordingSink sink;
    auto owned = std::make_unique<FakePort>(ModemStatus{.cts = true, .dtr = true, .rts = true});
    FakePort& port = *owned;
    CSerialReader reader(sink, queue, std::move(owned));
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return ModemThreadBlockedIn(SYS_read); }));
    port.Change({.cts = true});  // no change at all: nothing to tell
    port.Change({.dsr = true, .ri = true});
    ASSERT_TRUE(WaitUntil([&] { return sink.Modem().size() == 2; }));
    reader.Control(1, [](SerialPort& p) { return p.SetModemLine(ModemLine::Rts, false); });
    ASSERT_TRUE(WaitUntil([&] { return sink.Modem().size() == 3; }));
    EXPECT_EQ(sink.Modem(), (Statuses{ModemStatus{.cts = true, .dtr = true, .rts = true},
                                      ModemStatus{.dsr = true, .ri = true, .dtr = true, .rts = true},
                                      ModemStatus{.dsr = true, .ri = true, .dtr = true}}));
    ASSERT_TRUE(WaitUntil([&] { return ModemThreadBlockedIn(SYS_read); }));
    const auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_EQ(ThreadsNamed({"corvala-modem"}), 0);
    EXPECT_EQ(sink.Modem().size(), 3u);
}

// TIOCMIWAIT watches no descriptor: a stop signal that lands just before the modem thread
// enters it would be lost, and the stop must still end the thread.
TEST(SerialReaderModem, AStopSignalLostBeforeTheWaitIsSentAgain) {
    RxQueue queue;
    RecordingSink sink;
    auto owned = std::make_unique<FakePort>();
    owned->LoseTheNextSignalBeforeTheWait();
    CSerialReader reader(sink, queue, std::move(owned));
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return ModemThreadBlockedIn(SYS_ppoll); }));
    const auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_EQ(ThreadsNamed({"corvala-modem"}), 0);
}

TEST(SerialReaderModem, BreakAndPulseAreCutShortByStop) {
    for (const char* control : {"break", "dtr off"}) {
        RxQueue queue;
        RecordingSink sink;
        auto owned = std::make_unique<FakePort>(ModemStatus{.dtr = true});
        FakePort& port = *owned;
        CSerialReader reader(sink, queue, std::move(owned));
        reader.Start();
        if (std::string(control) == "break") {
            reader.Break(1, 5000ms);
        } else {
            reader.Pulse(1, ModemLine::Dtr, 5000ms);
        }
        ASSERT_TRUE(WaitUntil([&] {
            const auto calls = port.Calls();
            return std::find(calls.begin(), calls.end(), control) != calls.end();
        }));
        const auto start = Clock::now();
        reader.Stop();
        EXPECT_LT(Clock::now() - start, kAtOnce) << control;
    }
}

// The console UART, through the real driver's TIOCMIWAIT, which no descriptor wakes. Its line
// settings and data are never touched: only the modem calls reach it.
class ConsoleModemPort : public FakePort {
public:
    explicit ConsoleModemPort(int fd) : m_fd(fd) {}
    ~ConsoleModemPort() override { close(m_fd); }
    int GetModemStatus(ModemStatus& status) override { return GetTtyModemStatus(m_fd, status); }
    int WaitModemChange() override { return WaitTtyModemChange(m_fd); }

private:
    int m_fd;
};

TEST(SerialReaderModem, StopEndsAWaitInsideARealUartDriver) {
    const int fd = open("/dev/ttyS0", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "no UART to wait on: /dev/ttyS0: " << strerror(errno);
    ModemStatus status;
    if (int e = GetTtyModemStatus(fd, status)) {
        close(fd);
        GTEST_SKIP() << "/dev/ttyS0 has no modem lines: " << strerror(e);
    }
    RxQueue queue;
    RecordingSink sink;
    CSerialReader reader(sink, queue, std::make_unique<ConsoleModemPort>(fd));
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return ModemThreadBlockedIn(SYS_ioctl); }));
    const auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_EQ(sink.Modem(), Statuses{status});
}

}  // namespace

// What a streamed send reported, in order; safe to read while the writer adds.
class StreamReports {
public:
    CSerialReader::StreamReporter Reporter() {
        return [this](const StreamReport& r) {
            std::lock_guard lock(m_mutex);
            m_reports.push_back(r);
        };
    }
    std::optional<StreamReport> End() {
        std::lock_guard lock(m_mutex);
        if (m_reports.empty() || !m_reports.back().ended) return std::nullopt;
        return m_reports.back();
    }
    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_reports.size();
    }

private:
    std::mutex m_mutex;
    std::vector<StreamReport> m_reports;
};

// Gives `good` bytes of the pattern, then fails as a vanished file does.
class FailingSource : public ByteSource {
public:
    explicit FailingSource(size_t good) : m_good(good) {}
    ssize_t Read(uint8_t* buffer, size_t max, int) override {
        if (m_at == m_good) return -EIO;
        const size_t n = std::min(max, m_good - m_at);
        for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<uint8_t>((m_at + i) % 251);
        m_at += n;
        return static_cast<ssize_t>(n);
    }

private:
    size_t m_good, m_at = 0;
};

TEST_F(ReaderTest, APacedSendArrivesWholeAndIsCountedAsItGoes) {
    reader.Start();
    StreamReports reports;
    reader.WriteStream(std::make_unique<MemorySource>(Pattern(60)), 2ms, reports.Reporter());
    // Some 120 ms of pacing: the counter moves before the end.
    EXPECT_EQ(pty.Read(60, 5s), Pattern(60));
    ASSERT_TRUE(WaitUntil([&] { return reports.End().has_value(); }));
    const StreamReport end = *reports.End();
    EXPECT_EQ(end.sent, 60u);
    EXPECT_FALSE(end.cancelled || end.failed || end.readError);
    EXPECT_GT(reports.Count(), 1u);
    EXPECT_GT(sink.m_writes, 1);
    EXPECT_EQ(sink.m_written, 60u);
    // The end is reported just before the writer takes its next job.
    EXPECT_TRUE(WaitUntil([&] { return reader.WriterIdle(); }));
}

// A cancel or a stop ends a paced send between two bytes and a full-speed one inside its
// write; either way the writer goes idle and has counted exactly what the device got.
TEST_F(ReaderTest, CancelAndStopEndAStreamedSendAtOnce) {
    struct Case {
        const char* what;
        std::chrono::milliseconds gap;
        size_t size;
        bool stop;
    };
    for (const Case& c : {Case{"paced, cancelled", 100ms, 100, false},
                          Case{"full speed, cancelled", 0ms, 4 << 20, false},
                          Case{"full speed, stopped", 0ms, 4 << 20, true}}) {
        RxQueue q;
        RecordingSink s;
        PtyPair p;
        CSerialReader r(s, q, Open(p));
        r.Start();
        StreamReports reports;
        r.WriteStream(std::make_unique<MemorySource>(Pattern(c.size)), c.gap, reports.Reporter());
        r.Write({1, 2, 3});  // queued behind: dropped by the cancel
        std::vector<uint8_t> got = p.Read(1, 5s);
        ASSERT_EQ(got.size(), 1u) << c.what;
        if (c.stop) {
            r.Stop();
        } else {
            r.CancelWrites();
        }
        ASSERT_TRUE(WaitUntil([&] { return reports.End().has_value() && r.WriterIdle(); }, 1s)) << c.what;
        const std::vector<uint8_t> rest = p.Read(c.size, 200ms);
        got.insert(got.end(), rest.begin(), rest.end());
        const StreamReport end = *reports.End();
        EXPECT_TRUE(end.cancelled) << c.what;
        EXPECT_FALSE(end.failed) << c.what;
        EXPECT_LT(got.size(), c.size) << c.what;
        EXPECT_EQ(end.sent, got.size()) << c.what;
        EXPECT_EQ(s.m_written, got.size()) << c.what;
        EXPECT_EQ(s.m_writeFailures, 0) << c.what;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), Pattern(c.size).begin())) << c.what;
        if (!c.stop) {  // the next send goes out whole
            r.Write({7, 8});
            EXPECT_EQ(p.Read(2, 5s), (std::vector<uint8_t>{7, 8})) << c.what;
        }
    }
}

TEST_F(ReaderTest, ASourceThatFailsEndsTheSendWithItsErrnoAndWhatWent) {
    reader.Start();
    StreamReports reports;
    reader.WriteStream(std::make_unique<FailingSource>(100000), 0ms, reports.Reporter());
    EXPECT_EQ(pty.Read(100000, 5s), Pattern(100000));
    ASSERT_TRUE(WaitUntil([&] { return reports.End().has_value(); }));
    EXPECT_EQ(reports.End()->readError, EIO);
    EXPECT_EQ(reports.End()->sent, 100000u);
    EXPECT_FALSE(reports.End()->failed);
    EXPECT_EQ(sink.m_writeFailures, 0);
}

// Holds its first read until opened, so a test can queue more behind it first.
class GatedSource : public MemorySource {
public:
    GatedSource(std::vector<uint8_t> bytes, std::shared_future<void> gate)
        : MemorySource(std::move(bytes)), m_gate(std::move(gate)) {}
    ssize_t Read(uint8_t* buffer, size_t max, int wakeFd) override {
        m_gate.wait();
        return MemorySource::Read(buffer, max, wakeFd);
    }

private:
    std::shared_future<void> m_gate;
};

TEST_F(ReaderTest, AStreamedSendToAGoneDeviceFailsOnceAndDropsWhatWaits) {
    reader.Start();
    StreamReports first, second;
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return sink.m_hangUps == 1; }));
    std::promise<void> open;
    reader.WriteStream(std::make_unique<GatedSource>(Pattern(1000), open.get_future().share()), 1ms,
                       first.Reporter());
    reader.WriteStream(std::make_unique<MemorySource>(Pattern(1000)), 1ms, second.Reporter());
    open.set_value();
    ASSERT_TRUE(WaitUntil([&] { return first.End() && second.End(); }));
    EXPECT_TRUE(first.End()->failed);
    EXPECT_TRUE(second.End()->cancelled);
    EXPECT_EQ(second.End()->sent, 0u);
    EXPECT_EQ(sink.m_writeFailures, 1);
}

// A FIFO whose writer has gone quiet: the send waits for its next bytes, and a cancel or a
// stop still ends it at once, with what went counted.
TEST(SerialReaderStreams, CancelAndStopEndASendThatWaitsOnAQuietFifo) {
    const std::filesystem::path fifo = std::filesystem::temp_directory_path() /
                                       ("corvala-reader-fifo-" + std::to_string(getpid()));
    for (const bool stop : {false, true}) {
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(writer, 0);
        int error = 0;
        std::unique_ptr<FileSource> source = FileSource::Open(fifo, error);
        std::filesystem::remove(fifo);
        ASSERT_NE(source, nullptr) << error;
        RxQueue q;
        RecordingSink s;
        PtyPair p;
        CSerialReader r(s, q, Open(p));
        r.Start();
        StreamReports reports;
        r.WriteStream(std::move(source), 0ms, reports.Reporter());
        ASSERT_EQ(write(writer, "abc", 3), 3);
        EXPECT_EQ(p.Read(3, 5s), (std::vector<uint8_t>{'a', 'b', 'c'}));
        std::future<void> stopping;
        if (stop) {
            stopping = std::async(std::launch::async, [&] { r.Stop(); });
        } else {
            r.CancelWrites();
        }
        const bool ended = WaitUntil([&] { return reports.End().has_value(); }, 1s);
        close(writer);  // the FIFO's end: what lets a send stuck in its read go
        if (stopping.valid()) stopping.wait();
        EXPECT_TRUE(ended) << (stop ? "stopped" : "cancelled");
        ASSERT_TRUE(WaitUntil([&] { return reports.End().has_value(); }));
        EXPECT_TRUE(reports.End()->cancelled) << (stop ? "stopped" : "cancelled");
        EXPECT_EQ(reports.End()->sent, 3u);
        EXPECT_EQ(s.m_written, 3u);
    }
}
