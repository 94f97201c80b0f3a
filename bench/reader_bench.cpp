// Reader throughput through a pseudo-terminal, the CPU an open, idle port costs, how exactly
// a batch's stamp marks its arrival, and how soon a pulled cable is told while a slow window
// has the queue full.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "serial/open_port.h"
#include "serial/pty_pair.h"
#include "serial/serial_reader.h"
#include "test/ser2net_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts what arrives and empties the queue at once, as the cheapest possible window; or,
// holding, never empties it (a window thread busy elsewhere) and counts notices only.
class CountingSink : public PortEventSink {
public:
    explicit CountingSink(RxQueue& queue, bool hold = false) : m_queue(queue), m_hold(hold) {}
    void PostPortReceived() override {
        ++m_notices;
        if (m_hold) return;
        while (const MyMsg* m = m_queue.Front()) {
            m_bytes += static_cast<size_t>(m->m_nLength);
            ++m_batches;
            m_queue.Pop();
        }
    }
    void PostPortHungUp() override {}
    void PostPortWritten(uint32_t, bool) override {}
    void PostPortWriteHeld(bool, uint64_t) override {}
    void PostPortControlDone(int, int) override {}
    void PostModemStatus(std::optional<ModemStatus>) override {}
    std::atomic<size_t> m_bytes{0}, m_batches{0}, m_notices{0};

private:
    RxQueue& m_queue;
    bool m_hold;
};

double MillisToStop(CSerialReader& reader) {
    const auto start = Clock::now();
    reader.Stop();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Megabytes a second through `port`, the device sending `total` bytes of `fill`.
double ReceiveRate(PtyPair& pty, std::unique_ptr<SerialPort> port, size_t total, uint8_t fill,
                   size_t* batches = nullptr) {
    RxQueue queue;
    CountingSink sink(queue);
    CSerialReader reader(sink, queue, std::move(port));
    reader.Start();
    std::vector<uint8_t> chunk(64 * 1024, fill);
    auto start = Clock::now();
    std::thread device([&] {
        for (size_t sent = 0; sent < total; sent += chunk.size()) pty.Write(chunk);
    });
    while (sink.m_bytes < total) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    device.join();
    reader.Stop();
    if (batches) *batches = sink.m_batches;
    return total / 1e6 / seconds;
}

// Megabytes a second from the window's writes through `port` to the device.
double SendRate(PtyPair& pty, std::unique_ptr<SerialPort> port, size_t total, uint8_t fill) {
    RxQueue queue;
    CountingSink sink(queue);
    CSerialReader reader(sink, queue, std::move(port));
    reader.Start();
    size_t heard = 0;
    auto start = Clock::now();
    std::thread device([&] {
        while (heard < total) {
            const size_t n = pty.Read(total - heard, std::chrono::seconds(5)).size();
            if (n == 0) break;
            heard += n;
        }
    });
    for (size_t sent = 0; sent < total; sent += 64 * 1024) reader.Write(std::vector<uint8_t>(64 * 1024, fill));
    device.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    reader.Stop();
    return heard == total ? total / 1e6 / seconds : 0;
}

void Throughput() {
    constexpr size_t kTotal = 256u << 20;
    PtyPair pty;
    size_t batches = 0;
    const double rate =
        ReceiveRate(pty, OpenSerialPort(pty.SlavePath(), {115200, 0, 0, 8}), kTotal, 0xA5, &batches);
    std::printf("reader throughput: %.0f MB/s (%zu MB, %zu batches, %.0f bytes each)\n", rate,
                kTotal >> 20, batches, static_cast<double>(kTotal) / batches);
}

// The same pseudo-terminal opened here and through ser2net on this machine, both ways; 0xFF
// is the byte RFC 2217 doubles.
void NetworkThroughput() {
    if (Ser2netServer::Binary().empty()) {
        std::printf("network throughput: skipped, ser2net is not installed\n");
        return;
    }
    constexpr size_t kTotal = 32u << 20;
    const LineSettings line{115200, 0, 0, 8};
    using Kind = Ser2netServer::Kind;
    struct Way {
        const char* name;
        std::optional<Kind> kind;
    };
    for (const Way& way : {Way{"local", std::nullopt}, Way{"ser2net tcp", Kind::RawTcp},
                           Way{"ser2net rfc2217", Kind::Rfc2217}}) {
        for (uint8_t fill : {uint8_t{0xA5}, uint8_t{0xFF}}) {
            // A fresh device and server each way, so no closing connection is still around.
            auto measure = [&](auto rate) {
                PtyPair pty;
                std::optional<Ser2netServer> server;
                if (way.kind) server.emplace(pty.SlavePath(), *way.kind);
                auto port =
                    OpenSerialPort(way.kind ? server->Url(*way.kind) : pty.SlavePath(), line);
                // A raw server opens the device as the connection comes.
                while (!pty.PortInUse()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return rate(pty, std::move(port), kTotal, fill);
            };
            const double out = measure([](auto&&... a) { return SendRate(std::forward<decltype(a)>(a)...); });
            const double in = measure([](auto&&... a) { return ReceiveRate(std::forward<decltype(a)>(a)...); });
            std::printf("%-16s bytes 0x%02X: receive %6.1f MB/s, send %6.1f MB/s (%zu MB each way)\n",
                        way.name, fill, in, out, kTotal >> 20);
        }
    }
}

void IdleCpu() {
    PtyPair pty;
    RxQueue queue;
    CountingSink sink(queue);
    CSerialReader reader(sink, queue, OpenSerialPort(pty.SlavePath(), {115200, 0, 0, 8}));
    reader.Start();
    double cpu0 = CpuSeconds();
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = CpuSeconds() - cpu0;
    const double stopMs = MillisToStop(reader);
    std::printf("idle open port: %.3f%% of one core over %.1f s (goal < 0.5%%)\n",
                100.0 * cpu / wall, wall);
    std::printf("stop of an idle reader: %.2f ms\n", stopMs);
}

// Stop while bytes pour in, and while the queue is full of batches the window never takes.
void StopUnderLoad() {
    for (bool hold : {false, true}) {
        PtyPair pty;
        RxQueue queue;
        CountingSink sink(queue, hold);
        CSerialReader reader(sink, queue, OpenSerialPort(pty.SlavePath(), {115200, 0, 0, 8}));
        reader.Start();
        std::atomic<bool> flooding{true};
        std::thread device([&] {
            std::vector<uint8_t> chunk(4096, 0x5A);
            while (flooding && pty.Write(chunk, std::chrono::milliseconds(200))) {
            }
        });
        // Held, the queue fills and the reader waits for room.
        while (hold ? queue.Size() < RxQueue::kDefaultCapacity : sink.m_batches < 5u) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!hold) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double ms = MillisToStop(reader);
        flooding = false;
        device.join();
        std::printf("stop %s: %.2f ms\n",
                    hold ? "with the queue full" : "during a flood", ms);
    }
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// Records of 28 bytes every 20 ms: the stamp against the moment the device wrote the record.
// The clock numbers its readings (in the stamp's year) and notes when each was taken.
void StampLatency() {
    constexpr int kRecords = 300;
    PtyPair pty;
    RxQueue queue;
    CountingSink sink(queue, true);
    std::mutex mutex;
    std::vector<Clock::time_point> readings;
    CSerialReader reader(sink, queue, OpenSerialPort(pty.SlavePath(), {115200, 0, 0, 8}), [&] {
        std::lock_guard lock(mutex);
        readings.push_back(Clock::now());
        return UtcTime{static_cast<int>(readings.size() - 1), 1, 1, 0, 0, 0, 0};
    });
    reader.Start();
    std::vector<Clock::time_point> written(kRecords);
    const std::vector<uint8_t> record(28, 0x3C);
    std::vector<double> lateMs;
    auto next = Clock::now();
    for (int i = 0; i < kRecords; ++i) {
        next += std::chrono::milliseconds(20);
        std::this_thread::sleep_until(next);
        written[i] = Clock::now();
        pty.Write(record);
        // One record is one burst; each is taken before the next is written.
        while (queue.Size() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        const MyMsg* m = queue.Front();
        std::lock_guard lock(mutex);
        const Clock::time_point stamped = readings[static_cast<size_t>(m->m_time.year)];
        lateMs.push_back(std::chrono::duration<double, std::milli>(stamped - written[i]).count());
        queue.Pop();
    }
    reader.Stop();
    std::printf("stamp minus write time, %d records 20 ms apart: median %.3f ms, p99 %.3f ms,"
                " max %.3f ms\n",
                kRecords, Percentile(lateMs, 0.5), Percentile(lateMs, 0.99),
                Percentile(lateMs, 1.0));
}

// A flood fills the queue while the window takes one batch every 10 ms (a window slowed
// down, as by a screen reader's bridge); then the cable goes. How long until the window is
// told, and how many batches still wait then.
void HangUpUnderFlood() {
    std::vector<double> ms;
    size_t waiting = 0;
    for (int run = 0; run < 10; ++run) {
        struct HangUpSink : CountingSink {
            using CountingSink::CountingSink;
            void PostPortHungUp() override {
                at = Clock::now();
                told = true;
            }
            Clock::time_point at;
            std::atomic<bool> told{false};
        };
        PtyPair pty;
        RxQueue queue;
        HangUpSink sink(queue, true);
        CSerialReader reader(sink, queue, OpenSerialPort(pty.SlavePath(), {115200, 0, 0, 8}));
        reader.Start();
        std::atomic<bool> windowOn{true};
        std::thread window([&] {
            while (windowOn && !sink.told) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (queue.Front()) queue.Pop();
            }
        });
        std::vector<uint8_t> chunk(4096, 0x5A);
        while (queue.Size() < RxQueue::kDefaultCapacity) {
            pty.Write(chunk, std::chrono::milliseconds(200));
        }
        const auto pulled = Clock::now();
        pty.CloseMaster();
        while (!sink.told && Clock::now() - pulled < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        ms.push_back(std::chrono::duration<double, std::milli>(sink.at - pulled).count());
        waiting += queue.Size();
        windowOn = false;
        window.join();
        reader.Stop();
    }
    std::printf("cable pulled with the queue full, window taking a batch per 10 ms: told after"
                " median %.2f ms, max %.2f ms; %.0f batches still queued then\n",
                Percentile(ms, 0.5), Percentile(ms, 1.0), static_cast<double>(waiting) / ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    // "network": only the comparison with ser2net.
    if (argc > 1 && std::string_view(argv[1]) == "network") {
        NetworkThroughput();
        return 0;
    }
    Throughput();
    NetworkThroughput();
    IdleCpu();
    StopUnderLoad();
    StampLatency();
    HangUpUnderFlood();
    return 0;
}
