#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "serial/file_exception.h"
#include "serial/line_settings.h"
#include "serial/serial_port.h"

// Opens a port whose opening takes seconds (a network port: lookup, connect, negotiation) on
// a thread of its own, so the window keeps answering, and hands the outcome to the window
// thread. Cancel ends the attempt at once through an eventfd the opening polls.
//
// Thread rules: every member function runs on the window thread, and so does `done`. The
// opening thread touches only what it was started with and m_outcome, which the window
// thread reads after joining it.
class PortOpener {
public:
    // How long a retry waits after a failed attempt.
    static constexpr std::chrono::seconds kRetryPeriod{2};

    struct Outcome {
        std::unique_ptr<SerialPort> port;     // set when the port opened
        std::optional<CFileException> error;  // why it did not
    };
    using Done = std::function<void(Outcome)>;

    PortOpener() = default;
    ~PortOpener();
    PortOpener(const PortOpener&) = delete;
    PortOpener& operator=(const PortOpener&) = delete;

    // Opens `path` with `line`; `done` is told how it went. Cancels what runs first.
    void Open(const std::string& path, const LineSettings& line, Done done);
    // Tries to open `path` every kRetryPeriod, the first time one period from now, until it
    // opens; `done` is told only then.
    void Retry(const std::string& path, const LineSettings& line, Done done);
    // Ends the attempt without waiting for the network; `done` is not told.
    void Cancel();

    bool Busy() const { return m_thread.joinable(); }
    bool Retrying() const { return Busy() && m_retrying; }

private:
    void Start(const std::string& path, const LineSettings& line, bool retry, Done done);
    void Deliver(uint64_t run);

    QObject m_context;  // where the outcome is posted; its events go with it
    std::thread m_thread;
    int m_cancelFd = -1;
    uint64_t m_run = 0;  // counts attempts: an outcome of one cancelled since is dropped
    bool m_retrying = false;
    Done m_done;
    Outcome m_outcome;
};
