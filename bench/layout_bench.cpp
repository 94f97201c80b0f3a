// What live resizing and a splitter drag cost in the real main window. Runs on the display
// it is given (under Xvfb: QT_QPA_PLATFORM=xcb), offscreen otherwise.
#include <QApplication>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/port_bench_dlg.h"
#include "dialog/dialog_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    std::vector<double> us;
    void Add(Clock::time_point start) {
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    void Print(const char* what) {
        std::sort(us.begin(), us.end());
        double sum = 0;
        for (double v : us) sum += v;
        std::printf("%-52s mean %8.1f us  median %8.1f us  max %8.1f us  (%zu steps)\n", what,
                    sum / us.size(), us[us.size() / 2], us.back(), us.size());
    }
};

void Flush() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// Pixels painted by the widgets it watches, summed over their paint events.
class PaintedArea : public QObject {
public:
    explicit PaintedArea(const QList<QWidget*>& widgets) {
        for (QWidget* w : widgets) w->installEventFilter(this);
    }
    long long pixels = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region()) pixels += static_cast<long long>(r.width()) * r.height();
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    CPortBenchDlg dlg({.sysfsRoot = "/nonexistent"});
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg)) return 1;
    const QSize base = dlg.size();
    constexpr int kSteps = 500;

    // The engine's part: one re-layout of every laid-out control, as a size message brings it.
    Figures relayout;
    for (int i = 1; i <= kSteps; ++i) {
        QResizeEvent e(base + QSize(i % 200, i % 100), base);
        const auto start = Clock::now();
        QApplication::sendEvent(&dlg, &e);
        relayout.Add(start);
    }
    QResizeEvent back(base, base);
    QApplication::sendEvent(&dlg, &back);
    Flush();
    relayout.Print("re-layout (size message to the filter)");

    // What the user waits for: the window resized, laid out and painted, step by step.
    Figures live;
    for (int i = 1; i <= kSteps; ++i) {
        const QSize target = base + QSize(i % 200, i % 100);
        const auto start = Clock::now();
        dlg.resize(target);
        while (dlg.size() != target) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        dlg.repaint();
        Flush();
        live.Add(start);
    }
    live.Print("live resize step (re-layout + repaint)");
    dlg.resize(base);
    Flush();

    // A splitter drag of 500 one-pixel moves, then the release that applies it.
    const QWidget* sendGroup = dlg.findChild<QWidget*>(QStringLiteral("IDC_GRP_TX"));
    const QPoint bar(sendGroup->x() + 20, sendGroup->y() - 3);
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, bar);
    QList<QWidget*> everything = dlg.findChildren<QWidget*>();
    everything << &dlg;
    PaintedArea painted(everything);
    Figures moves;
    for (int i = 1; i <= kSteps; ++i) {
        const auto start = Clock::now();
        QTest::mouseMove(&dlg, bar - QPoint(0, i % 250));
        Flush();
        moves.Add(start);
    }
    moves.Print("splitter band move (draw + repaint)");
    std::printf("%-52s %lld px per move (the window is %d x %d)\n", "painted by a band move, all widgets",
                painted.pixels / kSteps, dlg.width(), dlg.height());
    Figures release;
    auto start = Clock::now();
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, bar - QPoint(0, 100));
    Flush();
    release.Add(start);
    release.Print("splitter release (re-layout + repaint)");
    return 0;
}
