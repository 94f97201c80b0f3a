#pragma once

#include <memory>

#include "serial/line_settings.h"

// Line settings through the kernel's termios2, which takes any baud rate (14400 and 56000
// have no B-constant). Kept in its own file: <asm/termbits.h> clashes with <termios.h>.
struct termios2;

// Puts `t` into raw binary mode (no translation, VMIN 1, VTIME 0) and applies `line`, its
// flow control included. A value outside its list leaves that part of `t` as it was, as a driver
// that rejects a setting would; a baud rate of 0 is never applied, since it means "hang up".
void MakeRawLine(termios2& t, const LineSettings& line);

// Owns the settings a port had before we touched it and puts them back on Restore().
// Not thread-safe; lives on the thread that opens and closes the port.
class PortTermios {
public:
    explicit PortTermios(int fd);  // saves the current settings of fd
    ~PortTermios();
    PortTermios(const PortTermios&) = delete;
    PortTermios& operator=(const PortTermios&) = delete;

    // Raw mode with `line`; 0, or the errno with which the driver refused the settings.
    int ApplyRaw(const LineSettings& line);
    void Restore();

private:
    int m_fd;
    std::unique_ptr<termios2> m_saved;  // null when the settings could not be read
};

// Discards what both queues of the port hold.
bool FlushQueues(int fd);
