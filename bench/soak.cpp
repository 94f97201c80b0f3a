// A long run at a steady rate: soak MINUTES [BYTES_PER_SECOND]. A device on a pseudo-terminal
// sends records that carry a sequence number and a checksum to the real dialog, timestamps
// on, saving to the log. Prints resident memory and throughput each minute; at the end checks
// that the log holds every record exactly once and in order, and prints the worst stall of
// the window thread. Run it under Xvfb with QT_QPA_PLATFORM=xcb to include painting.
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "dialog/dialog_builder.h"
#include "bench_dialog.h"

using namespace bench;

namespace {

// 0xA5 0x5A, sequence number (4 bytes, little-endian), 18 payload bytes, then the FNV-1a
// checksum of sequence and payload (4 bytes).
constexpr size_t kRecordSize = 28;

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

void MakeRecord(uint32_t sequence, uint8_t* r) {
    r[0] = 0xA5;
    r[1] = 0x5A;
    PutU32(r + 2, sequence);
    for (size_t i = 6; i < 24; ++i) r[i] = static_cast<uint8_t>(sequence * 31 + i * 7);
    PutU32(r + 24, Fnv1a(r + 2, 22));
}

struct Verdict {
    uint32_t good = 0, bad = 0;  // bad: wrong header, checksum or sequence
    size_t leftover = 0;
};

Verdict CheckRecords(const std::vector<uint8_t>& log, uint32_t sent) {
    Verdict v;
    size_t at = 0;
    for (; at + kRecordSize <= log.size(); at += kRecordSize) {
        const uint8_t* r = log.data() + at;
        const bool ok = r[0] == 0xA5 && r[1] == 0x5A && GetU32(r + 2) == v.good &&
                        GetU32(r + 24) == Fnv1a(r + 2, 22);
        if (!ok) {
            ++v.bad;
            break;  // framing is lost from here on
        }
        ++v.good;
    }
    v.leftover = log.size() - at;
    if (v.good != sent) ++v.bad;
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak MINUTES [BYTES_PER_SECOND]\n");
        return 2;
    }
    const double minutes = std::atof(argv[1]);
    const double rate = argc > 2 ? std::atof(argv[2]) : 100000;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());

    Dialog d("corvala-soak-log");
    if (!QTest::qWaitForWindowExposed(&d.dlg)) std::printf("the window was never shown\n");
    d.Click("IDC_CHK_TIMESTAMP");
    d.Click("IDC_CHK_SAVE");
    std::printf("platform %s, %.1f min at %.0f bytes/s in records of %zu bytes, hex + stamps, saving\n",
                qPrintable(QGuiApplication::platformName()), minutes, rate, kRecordSize);
    std::fflush(stdout);

    // Every 10 ms, the records that keep the rate.
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> sent{0};
    std::thread device([&] {
        const auto start = Clock::now();
        auto next = start;
        std::vector<uint8_t> batch;
        while (!stop) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            const double due = std::chrono::duration<double>(next - start).count() * rate / kRecordSize;
            batch.clear();
            for (uint32_t s = sent; s < due; ++s) {
                batch.resize(batch.size() + kRecordSize);
                MakeRecord(s, batch.data() + batch.size() - kRecordSize);
            }
            if (!d.pty.Write(batch)) break;
            sent += static_cast<uint32_t>(batch.size() / kRecordSize);
        }
    });

    StallProbe probe;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(minutes * 60));
    QTimer report;
    int minute = 0;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("minute %3d: RSS %6.1f MB, received %8.1f MB, worst stall so far %5.1f ms\n", ++minute,
                    ResidentMB(), d.Rx() / 1e6, probe.WorstMs());
        std::fflush(stdout);
    });
    report.start(60000);
    const double rssAtStart = ResidentMB();
    // The probe's 1 ms timer wakes the loop; a time limit on processEvents would spin instead.
    while (Clock::now() < end) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    stop = true;
    device.join();
    const uint64_t total = uint64_t{sent} * kRecordSize;
    while (d.Rx() < total) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double rssAtEnd = ResidentMB();
    d.Click("IDC_BTN_OPEN");  // closes; the last batches are in the log

    const Verdict v = CheckRecords(LoggedBytes(d.logDir), sent);
    std::printf("sent %u records (%.1f MB) in %.0f s: %.1f kB/s; RSS %.1f MB at start, %.1f MB at end;"
                " worst window-thread stall %.1f ms\n",
                sent.load(), total / 1e6, seconds, total / seconds / 1e3, rssAtStart, rssAtEnd,
                probe.WorstMs());
    std::printf("log: %u records in order with good checksums, %u faults, %zu bytes left over: %s\n", v.good,
                v.bad, v.leftover, v.bad == 0 && v.leftover == 0 ? "every record exactly once" : "FAILED");
    return v.bad == 0 && v.leftover == 0 ? 0 : 1;
}
