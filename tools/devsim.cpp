// corvala-devsim: a serial device on a pseudo-terminal, for tests, benchmarks and first runs.
// Prints the port path on the first line of standard output, then plays one scenario while
// a program has the port open (and waits while none has). A finished scenario ends when
// the port is closed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "serial/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int Usage() {
    std::fputs(
        "usage: corvala-devsim echo\n"
        "       corvala-devsim records [--period MS] [--trigger HH] [--length N] [--count K]\n"
        "       corvala-devsim bursts [--size N] [--gap MS] [--count K]\n"
        "       corvala-devsim flood [--bytes N]\n"
        "records: every MS ms a record that starts with byte HH, then ASCII digits\n"
        "flood: on the first byte received, sends N pseudo-random bytes at full speed and\n"
        "       prints their FNV-1a checksum to standard error\n",
        stderr);
    return 2;
}

struct Options {
    long period = 100, trigger = 0x0D, length = 8, count = -1, size = 64, gap = 50,
         bytes = 1 << 20;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc) return false;
        std::string key = argv[i];
        int base = key == "--trigger" ? 16 : 10;
        char* end = nullptr;
        long v = std::strtol(argv[i + 1], &end, base);
        if (*end != '\0' || v < 0) return false;
        if (key == "--period") o.period = v;
        else if (key == "--trigger") o.trigger = v & 0xFF;
        else if (key == "--length") o.length = v;
        else if (key == "--count") o.count = v;
        else if (key == "--size") o.size = v;
        else if (key == "--gap") o.gap = v;
        else if (key == "--bytes") o.bytes = v;
        else return false;
    }
    return true;
}

void WaitForPortInUse(const PtyPair& pty) {
    while (!pty.PortInUse()) std::this_thread::sleep_for(milliseconds(10));
}

void Echo(PtyPair& pty) {
    for (;;) {
        WaitForPortInUse(pty);
        std::vector<uint8_t> got = pty.Read(4096, milliseconds(100));
        if (!got.empty()) pty.Write(got);
    }
}

// Sends `make(i)` at a fixed period measured from the start, so delays do not add up.
template <typename Make>
void Periodic(PtyPair& pty, long periodMs, long count, Make make) {
    WaitForPortInUse(pty);
    auto next = Clock::now();
    for (long i = 0; count < 0 || i < count; ++i) {
        std::this_thread::sleep_until(next);
        next += milliseconds(periodMs);
        if (pty.PortInUse()) pty.Write(make(i));
        else WaitForPortInUse(pty), next = Clock::now();
    }
}

void Flood(PtyPair& pty, long bytes) {
    WaitForPortInUse(pty);
    if (pty.Read(1, std::chrono::hours(24)).empty()) return;
    std::vector<uint8_t> data(static_cast<size_t>(bytes));
    uint32_t state = 2463534242u, hash = 2166136261u;
    for (uint8_t& b : data) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        b = static_cast<uint8_t>(state);
        hash = (hash ^ b) * 16777619u;
    }
    pty.Write(data);
    std::fprintf(stderr, "sent %ld bytes, fnv1a %08x\n", bytes, hash);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (argc < 2 || !Parse(argc, argv, o)) return Usage();
    const std::string mode = argv[1];
    // Asked for anything else, there is no device to play: no pty either.
    if (mode != "echo" && mode != "records" && mode != "bursts" && mode != "flood") return Usage();
    PtyPair pty;
    std::printf("%s\n", pty.SlavePath().c_str());
    std::fflush(stdout);

    if (mode == "echo") {
        Echo(pty);
    } else if (mode == "records") {
        Periodic(pty, o.period, o.count, [&](long i) {
            std::vector<uint8_t> r{static_cast<uint8_t>(o.trigger)};
            for (long k = 1; k < o.length; ++k) r.push_back(static_cast<uint8_t>('0' + (i + k) % 10));
            return r;
        });
    } else if (mode == "bursts") {
        Periodic(pty, o.gap, o.count, [&](long i) {
            return std::vector<uint8_t>(static_cast<size_t>(o.size), static_cast<uint8_t>(i));
        });
    } else {
        Flood(pty, o.bytes);
    }
    // Closing the master hangs the port up, which discards what it has not read yet: stay
    // connected until the program closes the port, as a device on a cable would.
    while (pty.PortInUse()) std::this_thread::sleep_for(milliseconds(10));
    return 0;
}
