#pragma once

#include <QStringList>

// The application: runs the main dialog modally; the program ends when the dialog ends.
class CPortBenchApp {
public:
    // `args` are the command-line arguments after the program name, Qt's own removed.
    // Returns the process exit status: 2 for a usage error, otherwise 0.
    int InitInstance(const QStringList& args);
};
