#include <QApplication>
#include <cstdio>

#include "app/port_bench_app.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (CPortBenchApp::AsksForUsage(argv[i])) {
            std::fputs(CPortBenchApp::kUsage, stderr);
            return 2;
        }
    }
    QApplication app(argc, argv);
    CPortBenchApp theApp;
    return theApp.InitInstance(app.arguments().mid(1));
}
