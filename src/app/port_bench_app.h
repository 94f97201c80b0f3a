#pragma once

#include <QStringList>
#include <optional>
#include <string_view>

// The application: runs the main dialog modally; the program ends when the dialog ends.
class CPortBenchApp {
public:
    static constexpr const char* kUsage = "usage: corvala [PORT...]\n";

    // --help and --version (and their short forms) are answered on standard output before Qt
    // starts, which needs a display to start at all. Returns the exit status (0) when `arg`
    // was one of them.
    static std::optional<int> AnswerWithoutWindow(std::string_view arg);

    // `args` are the command-line arguments after the program name, Qt's own removed.
    // Returns the process exit status: 2 for a usage error, otherwise 0.
    int InitInstance(const QStringList& args);
};
