#include "app/port_bench_app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

#include "app/dialog_builder.h"
#include "app/port_bench_dlg.h"

bool CPortBenchApp::AsksForUsage(std::string_view arg) {
    for (std::string_view a : {"-h", "-help", "--help", "-?", "-v", "--version"}) {
        if (arg == a) return true;
    }
    return false;
}

int CPortBenchApp::InitInstance(const QStringList& args) {
    std::vector<std::string> ports;
    for (const QString& arg : args) {
        if (arg.startsWith(u'-')) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        ports.push_back(arg.toStdString());
    }
    QApplication::setFont(DialogFont());  // message boxes need the CJK font too
    // The interface is Chinese whatever the locale: so are Qt's own buttons and menus.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }
    CPortBenchDlg dlg({.extraPorts = ports});
    dlg.exec();
    return 0;
}
