#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "receive/utc_clock.h"

// The daily receive log: rxLOG_YYYY-MM-DD.log (UTC date) in one directory. Each Write opens
// the day's file for appending, writes and closes it, so other programs can read it while
// logging goes on. Window thread only.
class ReceiveLog {
public:
    explicit ReceiveLog(std::string directory);

    // Writes the Latin-1 `text` byte for byte, a line feed as CR LF, to the file of `day`.
    // False, with the file name and the system's reason in `error`, when the file cannot be
    // opened or written. `written`, when given, receives how many characters of `text` are
    // in the file whole (a full disk may take part of it).
    bool Write(std::string_view text, const UtcTime& day, std::string& error,
               size_t* written = nullptr) const;

    std::string FileNameFor(const UtcTime& t) const;
    const std::string& Directory() const { return m_directory; }

private:
    std::string m_directory;  // ends with '/'
};

// Where logs go: the directory of `executable` (ending with '/') when the program runs
// from its build folder; $XDG_DATA_HOME/corvala/ (~/.local/share/corvala/), created when
// needed, when that directory is not writable or the program is installed (its desktop
// entry lies in ../share/applications), so that not even root writes logs into /usr/bin.
std::string LogDirectory(const std::filesystem::path& executable);

// LogDirectory of this process's executable.
std::string LogDirectory();

// Makes `directory` and what it lies in where they are missing, and checks that a log can
// be written there. Empty when it can; otherwise the system's reason.
std::string PrepareLogDirectory(const std::string& directory);
