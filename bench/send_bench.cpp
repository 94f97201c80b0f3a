// Cyclic send through the real dialog (offscreen): the intervals between sends as the
// device end of a pseudo-terminal sees them.
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "app/port_bench_dlg.h"
#include "dialog/dialog_builder.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"
#include "ui/advanced_dlg.h"

using Clock = std::chrono::steady_clock;

namespace {

void Cycle(int intervalMs, int sends) {
    PtyPair pty;
    CPortBenchDlg dlg({.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent"});
    dlg.show();
    auto click = [&](const char* name) {
        QTest::mouseClick(dlg.findChild<QAbstractButton*>(name), Qt::LeftButton);
    };
    click("IDC_BTN_OPEN");
    dlg.findChild<QPlainTextEdit*>("IDC_EDIT_TX")->setPlainText("55");
    dlg.findChild<QLineEdit*>("IDC_EDIT_INTERVAL")->setText(QString::number(intervalMs));
    click("IDC_CHK_CYCLE");

    std::vector<Clock::time_point> arrivals;
    std::atomic<bool> done{false};
    std::thread device([&] {
        while (static_cast<int>(arrivals.size()) < sends) {
            pollfd p{pty.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) break;
            const auto now = Clock::now();
            uint8_t buf[256];
            const ssize_t n = read(pty.MasterFd(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) arrivals.push_back(now);
        }
        done = true;
    });
    click("IDC_BTN_SEND");
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents);  // the cycle timer wakes it
    click("IDC_BTN_SEND");
    device.join();

    std::vector<double> gaps;
    for (size_t i = 1; i < arrivals.size(); ++i) {
        gaps.push_back(std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count());
    }
    std::sort(gaps.begin(), gaps.end());
    auto at = [&](double q) { return gaps[static_cast<size_t>(q * (gaps.size() - 1))]; };
    // The mean shows ticks skipped while the writer was busy; the median, the timer's own pace.
    const double mean = std::chrono::duration<double, std::milli>(arrivals.back() - arrivals.front()).count() /
                        static_cast<double>(gaps.size());
    std::printf("cyclic send every %3d ms: %zu intervals, mean %.3f ms, median %.2f ms, 1st %.2f ms, 99th %.2f ms\n",
                intervalMs, gaps.size(), mean, at(0.5), at(0.01), at(0.99));
}

// A paced send through the real dialog: the gap between bytes as the device end sees them,
// each byte read as it comes.
void Paced(int gapMs, int bytes) {
    PtyPair pty;
    CPortBenchDlg dlg({.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent"});
    auto* advanced = dlg.findChild<CAdvancedDlg*>();
    PortOptions options = advanced->Options();
    options.charDelayMs = static_cast<uint32_t>(gapMs);
    advanced->SetOptions(options);
    QTest::mouseClick(dlg.findChild<QAbstractButton*>("IDC_BTN_OPEN"), Qt::LeftButton);
    QTest::mouseClick(dlg.findChild<QAbstractButton*>("IDC_CHK_HEXSEND"), Qt::LeftButton);
    dlg.findChild<QPlainTextEdit*>("IDC_EDIT_TX")->setPlainText(QString(bytes, QChar('p')));

    std::vector<Clock::time_point> arrivals;
    std::atomic<bool> done{false};
    std::thread device([&] {
        while (static_cast<int>(arrivals.size()) < bytes) {
            pollfd p{pty.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) break;
            const auto now = Clock::now();
            uint8_t buf[256];
            const ssize_t n = read(pty.MasterFd(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) arrivals.push_back(now);
        }
        done = true;
    });
    QTest::mouseClick(dlg.findChild<QAbstractButton*>("IDC_BTN_SEND"), Qt::LeftButton);
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    device.join();

    std::vector<double> gaps;
    for (size_t i = 1; i < arrivals.size(); ++i) {
        gaps.push_back(std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count());
    }
    double mean = 0, square = 0;
    for (double g : gaps) mean += g;
    mean /= static_cast<double>(gaps.size());
    for (double g : gaps) square += (g - mean) * (g - mean);
    std::sort(gaps.begin(), gaps.end());
    auto at = [&](double q) { return gaps[static_cast<size_t>(q * (gaps.size() - 1))]; };
    std::printf("paced send, %4d ms between bytes: %zu gaps, mean %.3f ms, std dev %.3f ms, "
                "min %.3f ms, median %.3f ms, 99th %.3f ms, max %.3f ms\n",
                gapMs, gaps.size(), mean, std::sqrt(square / static_cast<double>(gaps.size())),
                gaps.front(), at(0.5), at(0.99), gaps.back());
}

// The converters on the receive area: the time one click takes, which grows with the text,
// not with its square.
void Convert(size_t megabytes) {
    CPortBenchDlg dlg({.sysfsRoot = "/nonexistent"});
    auto* receive = dlg.findChild<ReceiveView*>("IDC_EDIT_RX");
    const std::string line = "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 \r\n";
    std::string text;
    while (text.size() < megabytes << 20) text += line;
    receive->Append(text);
    QTest::mouseClick(dlg.findChild<QAbstractButton*>("IDC_CHK_CONV_RX"), Qt::LeftButton);
    auto click = [&](const char* name) {
        const auto start = Clock::now();
        QTest::mouseClick(dlg.findChild<QAbstractButton*>(name), Qt::LeftButton);
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    const double toChars = click("IDC_BTN_TOSTR");
    const size_t chars = receive->Length();
    const double toHex = click("IDC_BTN_TOHEX");
    std::printf("convert %3zu MB of received hex: To 字符串 %.0f ms (%zu characters), "
                "To 16进制 %.0f ms (%zu characters)\n",
                megabytes, toChars, chars, toHex, receive->Length());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    Cycle(1, 2001);
    Cycle(10, 301);
    Cycle(100, 51);
    Paced(1, 1001);
    Paced(10, 301);
    Paced(100, 51);
    for (size_t mb : {10, 40, 100}) Convert(mb);
    return 0;
}
