#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/line_settings.h"
#include "serial/serial_port.h"

class PortTermios;

// One open serial port, a termios device. Exists only while the port is open: construction
// opens, configures and empties the port; destruction lets queued output go out for as long
// as the line rate needs (bounded), drops the rest, restores the former settings and closes
// it. ClosePortLater does that on a thread of its own, and opening the same port again waits
// for it.
//
// Thread rules: those of SerialPort. The kernel serialises the calls on the descriptor; the
// line the writer and the closer go by is changed only by ApplyLine, on the writer thread.
// Construction and destruction happen while no other thread uses the object.
class YCOMFile final : public SerialPort {
public:
    // Opens `path` exclusively (flock and TIOCEXCL, so a second opener fails), switches the
    // line to raw mode with `line`, sets DTR and RTS as it says and discards both queues.
    // Settings the driver refuses leave the port open with what the driver kept. Throws
    // CFileException (cause 0, error -1, `path` as file name) when the device cannot be
    // opened or is held.
    YCOMFile(const std::string& path, const LineSettings& line);
    ~YCOMFile() override;
    YCOMFile(const YCOMFile&) = delete;
    YCOMFile& operator=(const YCOMFile&) = delete;

    // The longest that closing lets queued output drain.
    static constexpr std::chrono::milliseconds kMaxDrain{2000};

    // As SerialPort says. A write held off by flow control, or by a device that takes
    // nothing, comes back short after the patience; only an error or a hang-up fails it.
    uint32_t ReadComm(uint8_t* buffer, uint32_t count, int wakeFd = -1) override;
    bool WriteComm(const uint8_t* buffer, uint32_t count, uint32_t* written = nullptr,
                   int wakeFd = -1) override;
    // Cable pulled, hang-up. ReadComm and WriteComm may both set it at the same time.
    bool HungUp() const override { return m_bHungUp.load(); }

    int ApplyLine(const LineSettings& line) override;
    int SetModemLine(ModemLine line, bool on) override;
    int GetModemStatus(ModemStatus& status) override;
    int SendBreak(std::chrono::milliseconds length, int wakeFd) override;
    int WaitModemChange() override;

    int Fd() const { return m_fd; }
    int PollFd() const override { return m_fd; }
    const std::string& Path() const override { return m_strPath; }

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
