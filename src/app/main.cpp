#include <QApplication>

#include "app/port_bench_app.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (const std::optional<int> status = CPortBenchApp::AnswerWithoutWindow(argv[i])) return *status;
    }
    std::shared_ptr<void> displayCheck;
    if (const std::optional<int> status = CPortBenchApp::RefuseWithoutDisplay(displayCheck)) return *status;
    QApplication app(argc, argv);
    displayCheck.reset();
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.corvala.Corvala"));
    CPortBenchApp theApp;
    return theApp.InitInstance(app.arguments().mid(1));
}
