#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <cstdio>

#include "dialog/dialog_builder.h"
#include "test/qt_wait.h"

// Tests of what assistive tools are told: on the X display and AT-SPI bus that
// scripts/a11y-session provides, with Qt's bridge to it switched on.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    QApplication::setFont(DialogFont());
    if (!QtWaitUntil([] { return QAccessible::isActive(); })) {
        std::fputs("accessibility did not come on: run under scripts/a11y-session\n", stderr);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
