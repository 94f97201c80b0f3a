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
#include <cstdio>
#include <thread>

#include "app/port_bench_dlg.h"
#include "dialog/dialog_builder.h"
#include "serial/pty_pair.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    Cycle(1, 2001);
    Cycle(10, 301);
    Cycle(100, 51);
    return 0;
}
