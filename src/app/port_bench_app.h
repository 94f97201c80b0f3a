#pragma once

#include <QStringList>
#include <string_view>

// The application: runs the main dialog modally; the program ends when the dialog ends.
class CPortBenchApp {
public:
    static constexpr const char* kUsage = "usage: corvala [PORT...]\n";

    // True for an argument that can only ask for the usage (--help and the like): it is
    // answered before Qt starts, which needs a display to start at all.
    static bool AsksForUsage(std::string_view arg);

    // `args` are the command-line arguments after the program name, Qt's own removed.
    // Returns the process exit status: 2 for a usage error, otherwise 0.
    int InitInstance(const QStringList& args);
};
