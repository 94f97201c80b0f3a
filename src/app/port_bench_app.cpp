#include "app/port_bench_app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

#include "app/port_bench_dlg.h"
#include "dialog/dialog_builder.h"

std::optional<int> CPortBenchApp::AnswerWithoutWindow(std::string_view arg) {
    if (arg == "-h" || arg == "--help" || arg == "-help" || arg == "-?") {
        std::fputs(kUsage, stdout);
        std::fputs("A serial-port terminal. Each PORT (a pseudo-terminal from socat, say) is added to\n"
                   "the port list after the ports found in /sys/class/tty. See corvala(1).\n"
                   "  -h, --help     show this help and exit\n"
                   "  -v, --version  show the version and exit\n",
                   stdout);
        return 0;
    }
    if (arg == "-v" || arg == "--version") {
        std::fputs("corvala " CORVALA_VERSION "\n", stdout);
        return 0;
    }
    return std::nullopt;
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
