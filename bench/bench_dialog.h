#pragma once

// What the benchmarks share: the real dialog on a pseudo-terminal, a probe of window-thread
// stalls, and reading back what the log holds. Window thread only.
#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/port_bench_dlg.h"
#include "send/multibyte.h"
#include "serial/pty_pair.h"

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline uint32_t Fnv1a(const uint8_t* p, size_t n, uint32_t h = 2166136261u) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

// Every line of every log file in `dir`, the files in date order.
inline std::vector<std::string> LogLines(const fs::path& dir) {
    std::vector<fs::path> files(fs::directory_iterator(dir), {});
    std::sort(files.begin(), files.end());
    std::vector<std::string> lines;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    return lines;
}

// The bytes a hex log holds: every pair outside the stamp lines, in order.
inline std::vector<uint8_t> LoggedBytes(const fs::path& dir) {
    std::vector<uint8_t> bytes;
    for (const std::string& line : LogLines(dir)) {
        if (line.size() > 4 && line[4] == '-') continue;  // a stamp
        for (size_t i = 0; i + 1 < line.size(); i += 3) {
            const int high = HexDigitValue(static_cast<uint8_t>(line[i]));
            const int low = HexDigitValue(static_cast<uint8_t>(line[i + 1]));
            if (high > 15 || low > 15) break;
            bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        }
    }
    return bytes;
}

// The real dialog on a pseudo-terminal, its port open, logging into a fresh directory.
struct Dialog {
    explicit Dialog(const char* logName)
        : logDir(fs::temp_directory_path() / logName),
          dlg({.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent", .logDirectory = Fresh(logDir)}) {
        dlg.show();
        Click("IDC_BTN_OPEN");
    }
    ~Dialog() { fs::remove_all(logDir); }
    static std::string Fresh(const fs::path& dir) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        return dir.string();
    }
    template <typename T>
    T* Get(const char* name) { return dlg.findChild<T*>(QString::fromUtf8(name)); }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    uint64_t Rx() { return Get<QLabel>("IDC_TXT_RXCOUNT")->text().toULongLong(); }

    PtyPair pty;
    fs::path logDir;
    CPortBenchDlg dlg;
};

// Longest gap between ticks of a 1 ms timer on the window thread.
// The longest the window thread went without reaching its event loop, and the most of its
// own CPU time spent in one such gap: a long stall with little CPU of its own is the machine
// being busy elsewhere, not the program's work.
struct StallProbe {
    StallProbe() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            const double cpu = ThreadCpuMs();
            worst = std::max(worst, now - last);
            worstCpuMs = std::max(worstCpuMs, cpu - lastCpuMs);
            last = now;
            lastCpuMs = cpu;
        });
        timer.start(1);
    }
    double WorstMs() const { return std::chrono::duration<double, std::milli>(worst).count(); }
    static double ThreadCpuMs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }
    QTimer timer;
    Clock::time_point last = Clock::now();
    Clock::duration worst{};
    double lastCpuMs = ThreadCpuMs();
    double worstCpuMs = 0;
};

// Resident memory of this process, from /proc.
inline double ResidentMB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    }
    return 0;
}

}  // namespace bench
