#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "receive/utc_clock.h"
#include "serial/line_settings.h"
#include "serial/rx_queue.h"
#include "serial/ycom_file.h"

// What the reader needs of the window side. Both calls come from the reader thread and must
// only post a notification; the window handles it on its own thread.
class PortEventSink {
public:
    // A batch went into the empty rx queue; the window handles every queued batch.
    virtual void PostPortReceived() = 0;
    // The device has gone; the reader has stopped reading and will not call again. Told as
    // soon as the reader sees it, even while batches still wait in a full queue.
    virtual void PostPortHungUp() = 0;
    // A Write is done: the device took `written` bytes; `failed` when it stopped taking
    // them or has gone (the writes queued after it are dropped). From the writer thread.
    virtual void PostPortWritten(uint32_t written, bool failed) = 0;

protected:
    ~PortEventSink() = default;
};

// The worker of one open port: owns the device, the thread that reads it and the thread
// that writes to it. Created on the window thread (opening the port, so it may throw
// CFileException), started once, stopped once; a new record is made to open the port again.
// The window never waits on the device: writes are queued and reported when done.
//
// Stop is cooperative: every wait of the worker (the port, a burst, a full queue) is woken
// by the stop request, so Stop returns within milliseconds. After Stop the worker no longer
// touches the sink, the queue or the device, and the port is closed; what it queued stays.
class CSerialReader {
public:
    static constexpr int kReadSize = MyMsg::kCapacity;

    // `sink` and `queue` are not owned and must outlive the reader. `clock` stamps each
    // batch when its first byte is seen, on the reader thread.
    CSerialReader(PortEventSink& sink, RxQueue& queue, const std::string& path,
                  const LineSettings& line, UtcClock clock = SystemUtcNow);
    ~CSerialReader();  // stops the worker if it still runs
    CSerialReader(const CSerialReader&) = delete;
    CSerialReader& operator=(const CSerialReader&) = delete;

    void Start();
    void Stop();

    // Queues `bytes` for the device; the sink hears when they have gone out.
    void Write(std::vector<uint8_t> bytes);
    // True while nothing queued is still going out.
    bool WriterIdle() const;

    // The open device; null after Stop.
    YCOMFile* File() const { return m_pFile.get(); }
    const std::string& Port() const { return m_strPort; }
    // True once the worker found the device gone; set before the sink hears of it.
    bool HungUp() const { return m_bHungUp; }

private:
    void ReaderThreadProc();
    void WriterThreadProc();

    PortEventSink& m_sink;
    RxQueue& m_rxQueue;
    UtcClock m_clock;
    std::string m_strPort;
    std::unique_ptr<YCOMFile> m_pFile;
    int m_stopFd = -1;  // eventfd; readable means "stop"
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_bHungUp{false};
    std::thread m_thread;

    mutable std::mutex m_writeMutex;
    std::condition_variable m_writeReady;
    std::deque<std::vector<uint8_t>> m_writes;  // guarded by m_writeMutex
    bool m_bWriting = false;                    // guarded by m_writeMutex
    std::thread m_writer;
};
