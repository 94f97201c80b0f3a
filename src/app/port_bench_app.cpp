#include "app/port_bench_app.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/port_bench_dlg.h"
#include "dialog/dialog_builder.h"
#include "serial/network_address.h"

std::optional<int> CPortBenchApp::AnswerWithoutWindow(std::string_view arg) {
    if (arg == "-h" || arg == "--help" || arg == "-help" || arg == "-?") {
        std::fputs(kUsage, stdout);
        std::fputs("A serial-port terminal. Each PORT (a pseudo-terminal from socat, say) is added to\n"
                   "the port list after the ports found in /sys/class/tty. See corvala(1).\n"
                   "A PORT may be on a serial server: rfc2217://HOST:PORT (ser2net's telnet(rfc2217)\n"
                   "accepter) or tcp://HOST:PORT (raw bytes, the server owns the line settings).\n"
                   "  -h, --help     show this help and exit\n"
                   "  -v, --version  show the version and exit\n",
                   stdout);
        return 0;
    }
    if (arg == "-v" || arg == "--version") {
        std::fputs("corvala " CORVALA_VERSION "\n", stdout);
        return 0;
    }
    if (arg.starts_with('-')) {
        std::fprintf(stderr, "corvala: unknown option %.*s\n%s", static_cast<int>(arg.size()), arg.data(), kUsage);
        return 2;
    }
    if (arg.find("://") != std::string_view::npos && !ParseNetworkAddress(arg)) {
        std::fprintf(stderr, "corvala: bad network port %.*s (rfc2217://HOST:PORT or tcp://HOST:PORT)\n%s",
                     static_cast<int>(arg.size()), arg.data(), kUsage);
        return 2;
    }
    return std::nullopt;
}

std::optional<int> CPortBenchApp::RefuseWithoutDisplay(std::shared_ptr<void>& heldConnection) {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    // Without DISPLAY, Qt reaches a Wayland display only through its Wayland plugin.
    const bool wayland = set("WAYLAND_DISPLAY") && !QDir(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                                                         QStringLiteral("/platforms"))
                                                        .entryList({QStringLiteral("libqwayland*")})
                                                        .isEmpty();
    if (!set("DISPLAY") && !wayland && !set("QT_QPA_PLATFORM")) {
        std::fputs(set("WAYLAND_DISPLAY")
                       ? "corvala: no display to show the window on (DISPLAY is unset, and Qt has no Wayland plugin here)\n"
                       : "corvala: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset)\n",
                   stderr);
        return 2;
    }
    // Qt aborts when the X server it is sent to does not answer: ask it first.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (set("DISPLAY") && (!platform || !*platform || std::string_view(platform) == "xcb")) {
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        heldConnection.reset(x, [](void* c) { xcb_disconnect(static_cast<xcb_connection_t*>(c)); });
        if (xcb_connection_has_error(x) != 0) {
            std::fprintf(stderr, "corvala: cannot connect to the display %s\n", std::getenv("DISPLAY"));
            return 2;
        }
    }
    return std::nullopt;
}

int CPortBenchApp::InitInstance(const QStringList& args) {
    std::vector<std::string> ports;
    for (const QString& arg : args) {
        if (const std::optional<int> status = AnswerWithoutWindow(arg.toStdString())) return *status;
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
