#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "dialog/dialog_builder.h"

int main(int argc, char** argv) {
    // GUI tests drive the real dialog without a display, also when CTest lists them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A dialog that remembers settings reads and writes a test location, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setFont(DialogFont());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
