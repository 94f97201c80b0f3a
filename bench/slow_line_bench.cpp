// A send to a line that drains slowly or is held off, and a hang-up while the receive queue
// is full, through the reader and writer threads: when a send failed or was told as waiting,
// how far it got, how long a cancel or a close takes to end it, and how long a hang-up takes
// to be told. Real pseudo-terminals, and ser2net where it is installed.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "serial/open_port.h"
#include "serial/pty_pair.h"
#include "serial/serial_reader.h"
#include "test/ser2net_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times what the threads tell, from the moment the send starts.
class TimingSink : public PortEventSink {
public:
    void PostPortReceived() override {}
    void PostPortHungUp() override { hungUp = Clock::now(); }
    void PostPortWritten(uint32_t written, bool failed) override {
        sent += written;
        if (failed) failedAt = Clock::now();
    }
    // Not marked override: the probe builds against trees without it too.
    void PostPortWriteHeld(bool held, uint64_t left) {
        if (held && !heldAt) {
            heldAt = Clock::now();
            heldLeft = left;
        }
    }
    void PostPortControlDone(int, int) override {}
    void PostModemStatus(std::optional<ModemStatus>) override {}

    std::atomic<uint64_t> sent{0};
    std::optional<Clock::time_point> failedAt, heldAt, hungUp;
    uint64_t heldLeft = 0;
};

bool Wait(const auto& done, Clock::duration limit) {
    const auto until = Clock::now() + limit;
    while (!done() && Clock::now() < until) std::this_thread::sleep_for(1ms);
    return done();
}

// `size` bytes to a device that reads `rate` bytes a second, watched for `watch`, then ended by
// a cancel (取消/停止) or a stop (关闭).
void SlowLine(const char* what, const std::string& url, PtyPair& pty, uint64_t size, int rate,
              Clock::duration watch, bool stop) {
    RxQueue queue;
    TimingSink sink;
    CSerialReader reader(sink, queue, OpenSerialPort(url, {9600, 0, 0, 8}));
    reader.Start();
    std::atomic<bool> reading{true};
    std::atomic<uint64_t> arrived{0};
    std::thread device([&] {
        std::vector<uint8_t> buf(rate / 10);
        while (reading) {
            pollfd p{pty.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN)) continue;
            const ssize_t n = read(pty.MasterFd(), buf.data(), buf.size());
            if (n > 0) arrived += static_cast<uint64_t>(n);
            std::this_thread::sleep_for(100ms);
        }
    });
    std::atomic<bool> ended{false};
    const auto start = Clock::now();
    reader.WriteStream(std::make_unique<MemorySource>(std::vector<uint8_t>(size, 0x55)), 0ms,
                       [&](const StreamReport& r) { ended = ended || r.ended; });
    Wait([&] { return ended.load(); }, watch);
    std::printf("%s:\n", what);
    if (sink.failedAt) std::printf("  failed after %.2f s\n", Seconds(*sink.failedAt - start));
    if (sink.heldAt) {
        std::printf("  told waiting after %.2f s, %llu bytes to go\n",
                    Seconds(*sink.heldAt - start), static_cast<unsigned long long>(sink.heldLeft));
    }
    std::printf("  after %.1f s: %s, %llu bytes counted as sent, %llu at the device\n",
                Seconds(Clock::now() - start), ended ? "ended" : "still sending",
                static_cast<unsigned long long>(sink.sent.load()),
                static_cast<unsigned long long>(arrived.load()));
    if (!ended) {
        const auto asked = Clock::now();
        if (stop) {
            reader.Stop();
        } else {
            reader.CancelWrites();
        }
        Wait([&] { return ended.load() && reader.WriterIdle(); }, 10s);
        std::printf("  %s ended it in %.1f ms\n", stop ? "a close (Stop)" : "a cancel",
                    Seconds(Clock::now() - asked) * 1000);
    }
    reader.Stop();
    reading = false;
    device.join();
}

// Output held off by XOFF from the device for `hold`, then XON.
void HeldByXoff(Clock::duration hold) {
    PtyPair pty;
    RxQueue queue;
    TimingSink sink;
    CSerialReader reader(sink, queue,
                         OpenSerialPort(pty.SlavePath(), {9600, 0, 0, 8, FlowControl::XonXoff}));
    reader.Start();
    const uint8_t xoff = 0x13, xon = 0x11;
    pty.Write({&xoff, 1});
    std::this_thread::sleep_for(50ms);  // the line discipline takes it
    const auto start = Clock::now();
    reader.Write(std::vector<uint8_t>(200000, 0x55));
    std::this_thread::sleep_for(hold);
    pty.Write({&xon, 1});
    const std::vector<uint8_t> got = pty.Read(200000, 10s);
    std::printf("XON/XOFF holding 200000 bytes off for %.0f s:\n", Seconds(hold));
    if (sink.failedAt) std::printf("  failed after %.2f s\n", Seconds(*sink.failedAt - start));
    if (sink.heldAt) {
        std::printf("  told waiting after %.2f s, %llu bytes to go\n",
                    Seconds(*sink.heldAt - start), static_cast<unsigned long long>(sink.heldLeft));
    }
    std::printf("  after XON the device got %zu bytes\n", got.size());
    reader.Stop();
}

// The device floods, the window takes nothing (a queue of 4 batches), and the server dies.
void HangUpWithAFullQueue() {
    PtyPair pty;
    Ser2netServer server(pty.SlavePath(), Ser2netServer::Kind::RawTcp);
    RxQueue queue(4);
    TimingSink sink;
    CSerialReader reader(
        sink, queue, OpenSerialPort(server.Url(Ser2netServer::Kind::RawTcp), {115200, 0, 0, 8}));
    reader.Start();
    Wait([&] { return pty.PortInUse(); }, 5s);
    pty.Write(std::vector<uint8_t>(16 * 1024, 0x33), 200ms);
    Wait([&] { return queue.Size() == 4; }, 5s);
    std::this_thread::sleep_for(100ms);
    const auto killed = Clock::now();
    server.Kill();
    Wait([&] { return sink.hungUp.has_value(); }, 5s);
    if (sink.hungUp) {
        std::printf("hang-up with the queue full (ser2net killed): told after %.1f ms\n",
                    Seconds(*sink.hungUp - killed) * 1000);
    } else {
        std::printf("hang-up with the queue full (ser2net killed): not told in 5 s\n");
    }
    reader.Stop();
}

}  // namespace

int main() {
    HeldByXoff(5s);
    if (Ser2netServer::Binary().empty()) {
        std::printf("ser2net is not installed: the network cases are skipped\n");
        return 0;
    }
    for (const bool stop : {false, true}) {
        PtyPair pty;
        Ser2netServer server(pty.SlavePath(), Ser2netServer::Kind::Rfc2217);
        SlowLine(
            stop ? "8 MB through ser2net (RFC 2217) to a device reading 960 B/s, then closed"
                 : "8 MB through ser2net (RFC 2217) to a device reading 960 B/s, then cancelled",
            server.Url(), pty, 8 << 20, 960, 8s, stop);
    }
    HangUpWithAFullQueue();
}
