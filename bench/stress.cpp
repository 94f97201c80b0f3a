// Opening and closing the port of the real dialog (offscreen) while its device sends:
//  - 10,000 open/close cycles against a device that keeps sending: open descriptors,
//    threads and resident memory before and after;
//  - 1,000 closes while a flood arrives: how long each close takes.
#include <QApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "dialog/dialog_builder.h"
#include "bench_dialog.h"
#include "test/thread_count.h"

using namespace bench;

namespace {

size_t Entries(const char* dir) { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }

// The device end: sends `chunk` bytes at a time, pausing `pause` after each, whether or not
// the port is open, until destroyed.
class Sender {
public:
    Sender(PtyPair& pty, size_t chunk, std::chrono::microseconds pause)
        : m_thread([this, &pty, chunk, pause] {
              fcntl(pty.MasterFd(), F_SETFL, fcntl(pty.MasterFd(), F_GETFL) | O_NONBLOCK);
              std::vector<uint8_t> bytes(chunk);
              for (size_t i = 0; i < chunk; ++i) bytes[i] = static_cast<uint8_t>(i);
              while (!m_stop) {
                  pollfd out{pty.MasterFd(), POLLOUT, 0};
                  // A closed port takes nothing: wait instead of spinning.
                  if (poll(&out, 1, 1) != 1 || write(pty.MasterFd(), bytes.data(), chunk) <= 0)
                      std::this_thread::sleep_for(std::chrono::milliseconds(1));
                  else if (pause.count() > 0)
                      std::this_thread::sleep_for(pause);
              }
          }) {}
    ~Sender() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Runs the window thread until the ports closed last have let go of their devices.
void Settle() {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (ThreadsNamed({"corvala-close"}) > 0 && Clock::now() < until) QTest::qWait(5);
}

void OpenCloseCycles(Dialog& d) {
    constexpr int kWarmUp = 200, kCycles = 10000;
    Sender device(d.pty, 256, std::chrono::microseconds(500));
    auto cycle = [&] {
        d.Click("IDC_BTN_OPEN");  // opens
        QApplication::processEvents();
        d.Click("IDC_BTN_OPEN");  // closes
        QApplication::processEvents();
    };
    d.Click("IDC_BTN_OPEN");  // the dialog starts open: closed between cycles
    d.Click("IDC_CHK_PAUSE");  // received and counted, but the area does not grow
    for (int i = 0; i < kWarmUp; ++i) cycle();
    Settle();
    const size_t fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
    const double rss = ResidentMB();
    const auto start = Clock::now();
    for (int i = 0; i < kCycles; ++i) cycle();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Settle();
    std::printf("%d open/close cycles while the device sends, %.0f us each (%llu bytes received):\n"
                "  open descriptors %zu before, %zu after; threads %zu before, %zu after;"
                " resident memory %.2f MB before, %.2f MB after (%+.0f kB)\n",
                kCycles, seconds * 1e6 / kCycles, static_cast<unsigned long long>(d.Rx()), fds,
                Entries("/proc/self/fd"), threads, Entries("/proc/self/task"), rss, ResidentMB(),
                (ResidentMB() - rss) * 1024);
}

void ClosesUnderFlood(Dialog& d) {
    constexpr int kCloses = 1000;
    Sender device(d.pty, 4096, std::chrono::microseconds(0));
    std::vector<double> ms;
    for (int i = 0; i < kCloses; ++i) {
        d.Click("IDC_BTN_OPEN");  // opens
        const uint64_t before = d.Rx();
        while (d.Rx() < before + 16384) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto start = Clock::now();
        d.Click("IDC_BTN_OPEN");  // closes
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%d closes while a flood arrives: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms;"
                " %zu over 50 ms\n",
                kCloses, ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(),
                static_cast<size_t>(ms.end() - std::upper_bound(ms.begin(), ms.end(), 50.0)));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    {
        Dialog d("corvala-stress-log");
        OpenCloseCycles(d);
    }
    {
        Dialog d("corvala-stress-log");
        d.Click("IDC_BTN_OPEN");  // starts closed
        ClosesUnderFlood(d);
    }
    return 0;
}
