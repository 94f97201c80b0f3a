#pragma once

#include <string>
#include <string_view>

#include "receive/utc_clock.h"

// The daily receive log: rxLOG_YYYY-MM-DD.log (UTC date) in one directory. Each Write opens
// the day's file for appending, writes one chunk and closes it, so other programs can read
// it while logging goes on. Window thread only.
class ReceiveLog {
public:
    ReceiveLog(std::string directory, UtcClock clock);

    // Writes the Latin-1 `chunk` byte for byte, a line feed as CR LF. False, with the file
    // name and the system's reason in `error`, when the file cannot be opened or written.
    bool Write(std::string_view chunk, std::string& error) const;

    std::string FileNameFor(const UtcTime& t) const;
    const std::string& Directory() const { return m_directory; }

private:
    std::string m_directory;  // ends with '/'
    UtcClock m_clock;
};

// Where logs go: the executable's directory (ending with '/'), or, where that directory is
// not writable (an installed program), $XDG_DATA_HOME/corvala/ (~/.local/share/corvala/),
// created when needed.
std::string LogDirectory();
