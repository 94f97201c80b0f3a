#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "receive/utc_clock.h"
#include "serial/byte_source.h"
#include "serial/rx_queue.h"
#include "serial/serial_port.h"

// What the reader needs of the window side. Every call comes from one of the worker's threads
// and must only post a notification; the window handles it on its own thread.
class PortEventSink {
public:
    // A batch went into the empty rx queue; the window handles every queued batch.
    virtual void PostPortReceived() = 0;
    // The device has gone; the reader has stopped reading and will not call again. Told as
    // soon as the reader sees it, even while batches still wait in a full queue.
    virtual void PostPortHungUp() = 0;
    // The device took `written` bytes of a Write: once it is done, and before that as it goes
    // when it takes longer than SerialPort::kWritePatience. `failed` when the device failed
    // or has gone (the writes queued after it are dropped). From the writer thread.
    virtual void PostPortWritten(uint32_t written, bool failed) = 0;
    // `held`: the write under way has waited SerialPort::kWritePatience with the device
    // taking nothing (flow control, a slow line or a server holds the output off), `left` of
    // its bytes still to go as far as known. Then once not `held`, when it goes on or ends.
    // From the writer thread.
    virtual void PostPortWriteHeld(bool held, uint64_t left) = 0;
    // A Control is done: `error` is 0, or the errno with which the port refused it (the port
    // is then as it was). From the writer thread.
    virtual void PostPortControlDone(int id, int error) = 0;
    // The modem lines as they are now: once after Start, then on each change of an input
    // (modem thread) and after each Control the port took (writer thread). Never the same
    // status twice in a row. nullopt, once and alone: the port has no modem lines.
    virtual void PostModemStatus(std::optional<ModemStatus> status) = 0;

protected:
    ~PortEventSink() = default;
};

// The worker of one open port: owns the port, the thread that reads it, the thread that
// writes to it and controls it, and the thread that watches its modem lines. Created on the
// window thread with a port just opened, started once, stopped once; a new record is made to
// open the port again. The window never waits on the port: writes and controls are queued
// and reported when done.
//
// Stop is cooperative: every wait of the worker (the port, a burst, a full queue, a pulse or
// a break) is woken by the stop request, and the modem thread by a signal (SIGUSR2, whose
// do-nothing handler the reader installs for the process), so Stop returns within
// milliseconds. After Stop the worker no longer touches the sink, the queue or the port,
// and the port is closed (ClosePortLater); what it queued stays.
class CSerialReader {
public:
    static constexpr int kReadSize = MyMsg::kCapacity;

    // `port` is open (not null; see OpenSerialPort). `sink` and `queue` are not owned and
    // must outlive the reader. `clock` stamps each batch when its first byte is seen, on the
    // reader thread. Throws std::system_error when the worker cannot be set up.
    CSerialReader(PortEventSink& sink, RxQueue& queue, std::unique_ptr<SerialPort> port,
                  UtcClock clock = SystemUtcNow);
    ~CSerialReader();  // stops the worker if it still runs
    CSerialReader(const CSerialReader&) = delete;
    CSerialReader& operator=(const CSerialReader&) = delete;

    void Start();
    void Stop();

    // Queues `bytes` for the device; the sink hears when they have gone out.
    void Write(std::vector<uint8_t> bytes);
    // Queues a send read from `source` a piece at a time, `gap` between its bytes (0: as
    // fast as the device takes them). What went out is posted as PostPortWritten as it goes,
    // at most every kProgressPeriod, the last post carrying the failure. `report` hears the
    // same progress, then once how it ended (also when cancelled, dropped or stopped); it is
    // called on the writer thread, or on the thread that drops the send, and must only post.
    using StreamReporter = std::function<void(const StreamReport&)>;
    static constexpr std::chrono::milliseconds kProgressPeriod{20};
    void WriteStream(std::unique_ptr<ByteSource> source, std::chrono::milliseconds gap,
                     StreamReporter report);
    // Ends the write under way at once and drops the queued ones; controls still run.
    void CancelWrites();
    // Runs `control` on the writer thread, in order with the writes; the sink hears its
    // result with `id`. Queued controls that have not run when the reader stops never run.
    void Control(int id, std::function<int(SerialPort&)> control);
    // Controls that wait, cut short by Stop: `line` inverted for `length` and put back
    // (PulseModemLine); a break of `length`.
    void Pulse(int id, ModemLine line, std::chrono::milliseconds length);
    void Break(int id, std::chrono::milliseconds length);
    // True while nothing queued is still going out or under way.
    bool WriterIdle() const;

    // The open port; null after Stop.
    SerialPort* File() const { return m_pFile.get(); }
    const std::string& Port() const { return m_strPort; }
    // True once the worker found the device gone; set before the sink hears of it.
    bool HungUp() const { return m_bHungUp; }

private:
    void ReaderThreadProc();
    void WriterThreadProc();
    void ModemThreadProc();
    struct WriterJob;
    // Sends a streamed job; true when the device failed.
    bool RunStream(WriterJob& job);
    // Writes `count` bytes however long the device holds them off, telling a hold with
    // `beyond` more bytes to go after these; `went` hears each step but the last, and
    // `written` the whole. False when the device failed; short of `count` without a failure
    // only when a cancel or stop came.
    bool WritePatiently(const uint8_t* bytes, uint32_t count, uint64_t beyond,
                        const std::function<void(uint32_t)>& went, uint32_t* written);
    // Waits until `until` unless a cancel or stop comes first (then false).
    bool WaitForGap(std::chrono::steady_clock::time_point until) const;
    // Takes the queued writes out, leaving the controls; m_writeMutex is held.
    std::deque<WriterJob> TakeQueuedWrites();
    // Tells the streamed jobs among `dropped` that they never ran.
    static void ReportDropped(std::deque<WriterJob>& dropped);
    // Ends the modem thread, which may be blocked where only a signal reaches it.
    void StopModemThread();
    // Reads the modem lines and posts them unless they are what was posted last; 0 or the
    // errno of the read.
    int PostModemStatusIfChanged();

    PortEventSink& m_sink;
    RxQueue& m_rxQueue;
    UtcClock m_clock;
    std::string m_strPort;
    std::unique_ptr<SerialPort> m_pFile;
    int m_stopFd = -1;  // eventfd; readable means "stop"
    // eventfd that wakes the write under way: readable after Stop, or after CancelWrites
    // until the writer takes its next job.
    int m_cancelFd = -1;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_bHungUp{false};
    std::thread m_thread;

    mutable std::mutex m_writeMutex;
    std::condition_variable m_writeReady;
    // Bytes to write, a control to run (then `control` is set), or a streamed send (then
    // `source` is set).
    struct WriterJob {
        std::vector<uint8_t> bytes;
        int id = 0;
        std::function<int(SerialPort&)> control;
        std::unique_ptr<ByteSource> source;
        std::chrono::milliseconds gap{0};
        StreamReporter report;
    };
    std::deque<WriterJob> m_writes;  // guarded by m_writeMutex
    bool m_bWriting = false;         // guarded by m_writeMutex
    bool m_bCancelled = false;       // guarded by m_writeMutex; the job under way is cancelled
    std::thread m_writer;

    std::mutex m_modemMutex;                   // posting one status at a time keeps their order
    std::optional<ModemStatus> m_postedModem;  // guarded by m_modemMutex
    std::condition_variable m_modemEnded;
    bool m_bModemEnded = false;  // guarded by m_modemMutex
    std::thread m_modem;
};
