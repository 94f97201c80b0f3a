// Reader throughput through a pseudo-terminal, and the CPU an open, idle port costs.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "serial/pty_pair.h"
#include "serial/serial_reader.h"

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

void Throughput() {
    constexpr size_t kTotal = 256u << 20;
    PtyPair pty;
    RxQueue queue;
    CountingSink sink(queue);
    CSerialReader reader(sink, queue, pty.SlavePath(), {115200, 0, 0, 8});
    reader.Start();
    std::vector<uint8_t> chunk(64 * 1024, 0xA5);
    auto start = Clock::now();
    std::thread device([&] {
        for (size_t sent = 0; sent < kTotal; sent += chunk.size()) pty.Write(chunk);
    });
    while (sink.m_bytes < kTotal) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    device.join();
    reader.Stop();
    std::printf("reader throughput: %.0f MB/s (%zu MB in %.2f s, %zu batches, %.0f bytes each)\n",
                kTotal / 1e6 / seconds, kTotal >> 20, seconds, sink.m_batches.load(),
                static_cast<double>(kTotal) / sink.m_batches);
}

void IdleCpu() {
    PtyPair pty;
    RxQueue queue;
    CountingSink sink(queue);
    CSerialReader reader(sink, queue, pty.SlavePath(), {115200, 0, 0, 8});
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
        CSerialReader reader(sink, queue, pty.SlavePath(), {115200, 0, 0, 8});
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

}  // namespace

int main() {
    Throughput();
    IdleCpu();
    StopUnderLoad();
    return 0;
}
