#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/line_settings.h"

class PortTermios;

// One open serial port. Exists only while the port is open: construction opens, configures
// and empties the port; destruction lets queued output go out for as long as the line rate
// needs (bounded), drops the rest, restores the former settings and closes it. CloseLater
// does that on a thread of its own, and opening the same port again waits for it.
//
// Thread rules: ReadComm is called from one thread (the reader) and WriteComm from another
// (the writer); the kernel serialises them on the descriptor, no lock is needed.
// Construction and destruction happen while no other thread uses the object.
class YCOMFile {
public:
    // Opens `path` exclusively (flock and TIOCEXCL, so a second opener fails), switches the
    // line to raw mode with `line` and discards both queues. Settings the driver refuses
    // leave the port open with what the driver kept. Throws CFileException (cause 0,
    // error -1, `path` as file name) when the device cannot be opened or is held.
    YCOMFile(const std::string& path, const LineSettings& line);
    ~YCOMFile();
    YCOMFile(const YCOMFile&) = delete;
    YCOMFile& operator=(const YCOMFile&) = delete;

    // Closes `file` on a short-lived thread, so the caller never waits for output to drain.
    static void CloseLater(std::unique_ptr<YCOMFile> file);
    // The longest that closing lets queued output drain.
    static constexpr std::chrono::milliseconds kMaxDrain{2000};

    // Returns 0 at once when nothing is queued. Otherwise reads one burst: it ends after
    // 5 ms of line silence, at `count` bytes, after `count` ms in total, or as soon as
    // `wakeFd` (if not -1) becomes readable. Sets HungUp() when the device has gone.
    uint32_t ReadComm(uint8_t* buffer, uint32_t count, int wakeFd = -1);

    // Blocks until the driver has taken all `count` bytes, or `wakeFd` (if not -1) becomes
    // readable. Returns false when the device fails or stops taking data for far longer
    // than the line rate explains; `written` tells how many bytes it took.
    bool WriteComm(const uint8_t* buffer, uint32_t count, uint32_t* written = nullptr, int wakeFd = -1);

    // True once a read or write found that the device has gone (cable pulled, hang-up);
    // it stays true. ReadComm (reader thread) and WriteComm (writer thread) may run at the
    // same time; either may set it, any thread may ask.
    bool HungUp() const { return m_bHungUp.load(); }

    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_strPath; }

private:
    // Waits while the driver holds output: the time this line's frames need for it, and on
    // while it still goes out, at most kMaxDrain; false when some is still held.
    bool DrainOutput();

    std::string m_strPath;
    LineSettings m_line;
    int m_fd = -1;
    std::unique_ptr<PortTermios> m_termios;
    void MarkHungUp(bool gone) {
        if (gone) m_bHungUp.store(true);
    }

    std::atomic<bool> m_bHungUp{false};
};
