#pragma once

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

// Where logs go: the executable's directory (ending with '/'), or, where that directory is
// not writable (an installed program), $XDG_DATA_HOME/corvala/ (~/.local/share/corvala/),
// created when needed.
std::string LogDirectory();
