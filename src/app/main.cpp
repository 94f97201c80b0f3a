#include <QApplication>

#include "app/port_bench_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CPortBenchApp theApp;
    return theApp.InitInstance(app.arguments().mid(1));
}
