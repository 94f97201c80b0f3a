#include <QApplication>

#include "app/port_bench_app.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (const std::optional<int> status = CPortBenchApp::AnswerWithoutWindow(argv[i])) return *status;
    }
    if (const std::optional<int> status = CPortBenchApp::RefuseWithoutDisplay()) return *status;
    QApplication app(argc, argv);
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.corvala.Corvala"));
    CPortBenchApp theApp;
    return theApp.InitInstance(app.arguments().mid(1));
}
