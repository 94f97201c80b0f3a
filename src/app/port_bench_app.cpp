#include "app/port_bench_app.h"

#include <QApplication>
#include <cstdio>

#include "app/dialog_builder.h"
#include "app/port_bench_dlg.h"

int CPortBenchApp::InitInstance(const QStringList& args) {
    std::vector<std::string> ports;
    for (const QString& arg : args) {
        if (arg.startsWith(u'-')) {
            std::fputs("usage: corvala [PORT...]\n", stderr);
            return 2;
        }
        ports.push_back(arg.toStdString());
    }
    QApplication::setFont(DialogFont());  // message boxes need the CJK font too
    CPortBenchDlg dlg({.extraPorts = ports});
    dlg.exec();
    return 0;
}
