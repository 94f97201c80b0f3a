#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/line_settings.h"

// The modem status lines a port reads, and the two it drives.
struct ModemStatus {
    bool cts = false, dsr = false, dcd = false, ri = false;  // inputs
    bool dtr = false, rts = false;                           // outputs, as the driver holds them
    bool operator==(const ModemStatus&) const = default;
};

enum class ModemLine : uint8_t { Dtr, Rts };

// One open port of any kind (a local termios device, a network port): what the reader,
// writer and closer threads drive. Exists only while the port is open; construction opens
// it, destruction closes it (ClosePortLater does that on a thread of its own).
//
// Thread rules: ReadComm runs on the reader thread, WriteComm and every control call on the
// writer thread, WaitModemChange on the modem thread; GetModemStatus on the writer and the
// modem thread. Nothing else touches an open port. HungUp, HangUpError, Path and PollFd may be
// asked from any thread.
//
// The control calls return 0 or the errno that says why the port refused (ENOTTY or EINVAL
// where the driver has no such control); a refused call leaves the port as it was.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual const std::string& Path() const = 0;
    // Polled by the reader: readable when received bytes wait, POLLHUP/POLLERR once gone.
    virtual int PollFd() const = 0;
    // Polled by the reader for POLLRDHUP while it takes no data (its queue is full): ready
    // only once the device has gone, never for bytes that wait.
    virtual int HangUpFd() const { return PollFd(); }

    // Returns 0 at once when nothing is queued. Otherwise reads one burst: it ends after
    // 5 ms of line silence, at `count` bytes, after `count` ms in total, or as soon as
    // `wakeFd` (if not -1) becomes readable. Sets HungUp() when the device has gone.
    virtual uint32_t ReadComm(uint8_t* buffer, uint32_t count, int wakeFd) = 0;
    // Blocks until the device has taken all `count` bytes, `wakeFd` (if not -1) becomes
    // readable, or it has waited kWritePatience for the device to take more: flow control, a
    // slow line or a server may hold the output off for minutes, which is no failure. Then it
    // returns true, short, so the caller can tell how far it got and write the rest. False
    // only when the device fails or has gone; `written` tells how many bytes it took.
    static constexpr std::chrono::milliseconds kWritePatience{1000};
    virtual bool WriteComm(const uint8_t* buffer, uint32_t count, uint32_t* written, int wakeFd) = 0;
    // True once a read or write found that the device has gone; it stays true.
    virtual bool HungUp() const = 0;
    // Once HungUp: the errno the connection went with, or 0 when none says why (the far end
    // closed it, or the device went).
    virtual int HangUpError() const { return 0; }

    // The whole line (rate, frame, flow control) as `line` says.
    virtual int ApplyLine(const LineSettings& line) = 0;
    virtual int SetModemLine(ModemLine line, bool on) = 0;
    virtual int GetModemStatus(ModemStatus& status) = 0;
    // Holds the line in the break state for `length`, or until `wakeFd` becomes readable.
    virtual int SendBreak(std::chrono::milliseconds length, int wakeFd) = 0;
    // Blocks until CTS, DSR, DCD or RI changes (0), or until a signal reaches the modem
    // thread (EINTR): that is how it is stopped. ENOTTY/EINVAL at once where the port has no
    // modem lines; another errno once the device has gone.
    virtual int WaitModemChange() = 0;
    // After a cancelled send: drops what the far side still holds of it for the line (a
    // network server's buffer). A local port has none beyond its driver's, which goes out.
    virtual void DiscardOutput() {}
    // A descriptor that turns readable when the port's user stops, or -1: a control waiting
    // for the far side (a server's answer behind queued data) ends then. Set while no other
    // thread uses the port.
    virtual void SetStopFd(int /*fd*/) {}
};

// Closes `port` on a short-lived thread, so the caller never waits for output to drain.
// Opening the same path again waits until it is closed (WaitWhilePortCloses).
void ClosePortLater(std::unique_ptr<SerialPort> port);
// Waits, at most `limit`, while ClosePortLater is still closing a port of `path`.
void WaitWhilePortCloses(const std::string& path, std::chrono::milliseconds limit);
