#pragma once

#include <QStringList>
#include <memory>
#include <optional>
#include <string_view>

// The application: runs the main dialog modally; the program ends when the dialog ends.
class CPortBenchApp {
public:
    static constexpr const char* kUsage = "usage: corvala [PORT...]\n";

    // Answers an option before Qt starts, which needs a display to start at all: --help and
    // --version (and their short forms) on standard output with status 0, any other option
    // with the usage on standard error and status 2, as is a network address that does not
    // read as one. nullopt when `arg` is a port.
    static std::optional<int> AnswerWithoutWindow(std::string_view arg);

    // Without a display to show the window on, says so in one line on standard error and
    // returns 2, where Qt would abort. nullopt when there is one, or a Qt platform is named.
    // The connection that asked an X display is kept in `heldConnection`: an X server whose
    // last client leaves resets, and Qt connecting during that reset aborts. Drop it once the
    // QApplication exists.
    static std::optional<int> RefuseWithoutDisplay(std::shared_ptr<void>& heldConnection);

    // `args` are the command-line arguments after the program name. Returns the process exit
    // status: an option's as AnswerWithoutWindow gives it, otherwise 0.
    int InitInstance(const QStringList& args);
};
