#include "app/port_opener.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "serial/open_port.h"

PortOpener::~PortOpener() { Cancel(); }

void PortOpener::Open(const std::string& path, const LineSettings& line, Done done) {
    Start(path, line, false, std::move(done));
}

void PortOpener::Retry(const std::string& path, const LineSettings& line, Done done) {
    Start(path, line, true, std::move(done));
}

void PortOpener::Start(const std::string& path, const LineSettings& line, bool retry, Done done) {
    Cancel();
    m_cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_cancelFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    m_done = std::move(done);
    m_retrying = retry;
    m_outcome = {};
    m_thread = std::thread([this, path, line, retry, run = m_run, cancelFd = m_cancelFd] {
        pthread_setname_np(pthread_self(), "corvala-connect");
        Outcome outcome;
        const int period = static_cast<int>(std::chrono::milliseconds(kRetryPeriod).count());
        for (;;) {
            // A retry waits first too: a server that takes each connection and hangs up at
            // once would otherwise be reconnected to as fast as it drops.
            pollfd cancelled{cancelFd, POLLIN, 0};
            if (retry && poll(&cancelled, 1, period) > 0) return;
            try {
                outcome.port = OpenSerialPort(path, line, cancelFd);
                break;
            } catch (const CFileException& e) {
                if (e.m_nErrno == ECANCELED) return;
                if (!retry) {
                    outcome.error = e;
                    break;
                }
            }
        }
        m_outcome = std::move(outcome);
        QMetaObject::invokeMethod(
            &m_context, [this, run] { Deliver(run); }, Qt::QueuedConnection);
    });
}

void PortOpener::Deliver(uint64_t run) {
    if (run != m_run || !m_thread.joinable()) return;  // cancelled since
    m_thread.join();
    close(m_cancelFd);
    m_cancelFd = -1;
    ++m_run;
    const Done done = std::exchange(m_done, {});
    done(std::exchange(m_outcome, {}));
}

void PortOpener::Cancel() {
    if (!m_thread.joinable()) return;
    ++m_run;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_cancelFd, &one, sizeof one);
    m_thread.join();
    close(m_cancelFd);
    m_cancelFd = -1;
    m_done = {};
    m_outcome = {};  // a port that opened as it was cancelled closes here
}
