// The receive pipeline under load, through the real dialog and a pseudo-terminal: on the
// display in DISPLAY (run it under Xvfb with QT_QPA_PLATFORM=xcb to measure what a user
// gets, painting included), offscreen otherwise.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "dialog/dialog_builder.h"
#include "bench_dialog.h"
#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"

namespace {

using namespace bench;

enum class Mode { HexStamps, Text, Utf8Text, Saving };

constexpr size_t kTotal = 64u << 20;

std::vector<uint8_t> RandomBytes(size_t n) {
    std::vector<uint8_t> data(n);
    std::mt19937 random(7);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    return data;
}

// Chinese and ASCII lines in UTF-8, as a device that prints Chinese sends them.
std::vector<uint8_t> Utf8Text(size_t n) {
    const std::string line =
        "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95 temperature 23.5\r\n";
    std::vector<uint8_t> data;
    while (data.size() + line.size() <= n) data.insert(data.end(), line.begin(), line.end());
    data.resize(n, ' ');
    return data;
}

void WriteAll(PtyPair& pty, const std::vector<uint8_t>& data) {
    for (size_t at = 0; at < data.size(); at += 4096) pty.Write({data.data() + at, 4096});
}

void Flood(Mode mode, const std::vector<uint8_t>& data, const char* label = nullptr) {
    Dialog d("corvala-bench-log");
    PtyPair& pty = d.pty;
    if (!QTest::qWaitForWindowExposed(&d.dlg)) std::printf("the window was never shown\n");
    const bool text = mode == Mode::Text || mode == Mode::Utf8Text;
    if (text) d.Click("IDC_CHK_HEXSHOW");
    if (mode == Mode::Utf8Text) d.Click("rbUtf8");
    if (!text) d.Click("IDC_CHK_TIMESTAMP");
    if (mode == Mode::Saving) d.Click("IDC_CHK_SAVE");

    StallProbe probe;
    const auto start = Clock::now();
    std::thread device([&] { WriteAll(pty, data); });
    while (d.Rx() < data.size()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    device.join();

    const char* name = label                     ? label
                       : mode == Mode::HexStamps ? "hex display + stamps"
                       : mode == Mode::Text      ? "text display"
                       : mode == Mode::Utf8Text  ? "text, UTF-8, random"
                                                 : "saving, hex + stamps";
    auto* view = d.Get<ReceiveView>("IDC_EDIT_RX");
    std::printf("%-22s %6.1f MB/s (%zu MB in %.2f s), RX counter %llu of %zu, worst window-thread"
                " stall %.1f ms (own work at most %.1f ms)",
                name, data.size() / 1e6 / seconds, data.size() >> 20, seconds,
                static_cast<unsigned long long>(d.Rx()), data.size(),
                probe.WorstMs(), probe.worstCpuMs);
    if (mode != Mode::Saving) {
        std::printf(", %.2f bytes of memory per received byte\n",
                    static_cast<double>(view->MemoryBytes()) / data.size());
        return;
    }
    const std::vector<uint8_t> logged = bench::LoggedBytes(d.logDir);
    std::printf(", log holds %zu bytes, checksum %s\n", logged.size(),
                logged.size() == data.size() &&
                        Fnv1a(logged.data(), data.size()) == Fnv1a(data.data(), data.size())
                    ? "matches"
                    : "DIFFERS");
}

// The same flood into a fresh pseudo-terminal read by cat: what the pty itself carries.
void CatCeiling(const std::vector<uint8_t>& data) {
    PtyPair pty;
    const pid_t cat = fork();
    if (cat == 0) {
        const int port = open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY);
        termios raw{};
        tcgetattr(port, &raw);
        cfmakeraw(&raw);
        tcsetattr(port, TCSANOW, &raw);
        const int null = open("/dev/null", O_WRONLY);
        dup2(port, 0);
        dup2(null, 1);
        execlp("cat", "cat", static_cast<char*>(nullptr));
        _exit(127);
    }
    while (!pty.PortInUse()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // raw mode set
    const auto start = Clock::now();
    WriteAll(pty, data);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    kill(cat, SIGTERM);
    waitpid(cat, nullptr, 0);
    std::printf("%-22s %6.1f MB/s (the same pty read by cat)\n", "ceiling", data.size() / 1e6 / seconds);
}

double MicrosPerAppend(ReceiveView& view) {
    const std::string chunk = "\r\n2026-12-08 17:00:00.000\r\n" + std::string(3072, 'A') + "\r\n";
    constexpr int kRounds = 2000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRounds; ++i) {
        view.Append(chunk);
        if (i % 20 == 0) view.repaint();
    }
    return t.nsecsElapsed() / 1e3 / kRounds;
}

void AppendCost() {
    ReceiveView view;
    view.resize(700, 480);
    view.show();
    const std::string fill(1 << 20, 'B');
    view.Append(fill);
    const double at1 = MicrosPerAppend(view);
    while (view.Length() < 100u << 20) view.Append(fill);
    const double at100 = MicrosPerAppend(view);
    std::printf("append a stamped 3 KB chunk: %.1f us at 1 MB, %.1f us at 100 MB (ratio %.2f)\n",
                at1, at100, at100 / at1);
}

// A width change lays every line out again: with short lines of hex and stamps, with short
// lines of Chinese text, which are laid out by their glyphs, and with one unbroken line of it.
void RelayoutCost() {
    const std::string hex = "2026-12-08 17:00:00.000\r\n" + std::string(60, 'A') + "\r\n";
    const std::u16string chinese = u"中文测试 temperature 23.5\r\n";
    const std::u16string unbroken = u"中文测试 temperature 23.5 ";
    enum { kStamped, kChinese, kUnbroken };
    for (int kind : {kStamped, kChinese, kUnbroken}) {
        ReceiveView view;
        view.resize(700, 480);
        view.show();
        const size_t total = kind == kUnbroken ? 32u << 20 : 64u << 20;
        while (view.Length() < total) {
            if (kind == kStamped) {
                std::string block;
                while (block.size() < (1u << 20)) block += hex;
                view.Append(block);
            } else {
                std::u16string block;
                while (block.size() < (1u << 20)) block += kind == kChinese ? chinese : unbroken;
                view.AppendText(block);
            }
        }
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        view.resize(640, 480);
        const double relayout = t.nsecsElapsed() / 1e6;
        static constexpr const char* kNames[] = {"lines of hex and stamps", "short lines of Chinese",
                                                 "one unbroken Chinese line"};
        std::printf("relayout of %zu M characters, %s: %.1f ms\n", total >> 20, kNames[kind], relayout);
        if (kind != kUnbroken) continue;
        // Appends to the end of that line, as a flood without line breaks brings them.
        constexpr int kRounds = 2000;
        std::u16string piece;
        while (piece.size() < 1024) piece += unbroken;
        t.start();
        for (int i = 0; i < kRounds; ++i) {
            view.AppendText(piece);
            if (i % 20 == 0) view.repaint();
        }
        std::printf("append 1 K characters to that line: %.1f us\n", t.nsecsElapsed() / 1e3 / kRounds);
    }
}

void StampAccuracy() {
    Dialog d("corvala-bench-stamps");
    PtyPair& pty = d.pty;
    d.Click("IDC_CHK_TIMESTAMP");
    d.Click("IDC_CHK_CHAR_TS");
    QTest::keyClicks(d.Get<QLineEdit>("IDC_EDIT_TRIGGER"), "0D");
    d.Click("IDC_CHK_SAVE");
    constexpr int kRecords = 500;
    std::thread device([&] {
        auto next = Clock::now();
        for (int i = 0; i < kRecords; ++i) {
            std::this_thread::sleep_until(next);
            next += std::chrono::milliseconds(20);
            pty.Write(std::vector<uint8_t>{0x0D, '1', '2', '3', '4', '5', '6', '7'});
        }
    });
    while (d.Rx() < kRecords * 8u) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    device.join();
    std::vector<double> stamps;
    for (const std::string& line : LogLines(d.logDir)) {
        if (line.size() >= 23 && line[4] == '-' && line[19] == '.') {
            stamps.push_back(std::stoi(line.substr(11, 2)) * 3600000.0 +
                             std::stoi(line.substr(14, 2)) * 60000.0 +
                             std::stoi(line.substr(17, 2)) * 1000.0 + std::stoi(line.substr(20, 3)));
        }
    }
    int within = 0;
    std::vector<double> deviation;
    for (size_t i = 1; i < stamps.size(); ++i) {
        const double error = std::abs(stamps[i] - stamps[i - 1] - 20.0);
        deviation.push_back(error);
        within += error <= 1.0;
    }
    std::sort(deviation.begin(), deviation.end());
    std::printf("stamps of %zu records 20 ms apart: %.1f%% of intervals within 1 ms of 20 ms"
                " (worst off by %.0f ms)\n",
                stamps.size(), 100.0 * within / std::max<size_t>(1, deviation.size()),
                deviation.empty() ? 0.0 : deviation.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    std::printf("platform: %s, %zu MB of random bytes per flood\n",
                qPrintable(QGuiApplication::platformName()), kTotal >> 20);
    const std::vector<uint8_t> data = RandomBytes(kTotal);
    // `receive_bench utf8` runs only the decoded-text floods.
    const bool onlyUtf8 = argc > 1 && std::string_view(argv[1]) == "utf8";
    if (!onlyUtf8) {
        CatCeiling(data);
        Flood(Mode::HexStamps, data);
        Flood(Mode::Text, data);
    }
    Flood(Mode::Utf8Text, data);
    Flood(Mode::Utf8Text, Utf8Text(kTotal), "text, UTF-8, Chinese");
    if (onlyUtf8) {
        RelayoutCost();
        return 0;
    }
    Flood(Mode::Saving, data);
    CatCeiling(data);
    AppendCost();
    RelayoutCost();
    StampAccuracy();
    return 0;
}
