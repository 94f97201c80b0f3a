#include "serial/serial_reader.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "serial/port_control.h"

namespace {

// Ends the wait for a modem change, which no descriptor can wake (TIOCMIWAIT). Its handler
// does nothing and is installed without SA_RESTART, so the wait returns EINTR.
constexpr int kModemStopSignal = SIGUSR2;

void InstallModemStopSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(kModemStopSignal, &action, nullptr);
    });
}

}  // namespace

CSerialReader::CSerialReader(PortEventSink& sink, RxQueue& queue, std::unique_ptr<SerialPort> port,
                             UtcClock clock)
    : m_sink(sink), m_rxQueue(queue), m_clock(std::move(clock)), m_strPort(port->Path()),
      m_pFile(std::move(port)) {
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    m_cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_cancelFd < 0) {
        const int e = errno;
        close(m_stopFd);
        throw std::system_error(e, std::generic_category(), "eventfd");
    }
}

CSerialReader::~CSerialReader() {
    Stop();
    close(m_stopFd);
    close(m_cancelFd);
}

void CSerialReader::Start() {
    if (m_thread.joinable() || !m_pFile) return;
    m_pFile->SetStopFd(m_stopFd);
    // Named, so that top, gdb and the tests can tell them apart.
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "corvala-rx");
        ReaderThreadProc();
    });
    m_writer = std::thread([this] {
        pthread_setname_np(pthread_self(), "corvala-tx");
        WriterThreadProc();
    });
    InstallModemStopSignal();
    m_modem = std::thread([this] {
        pthread_setname_np(pthread_self(), "corvala-modem");
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, kModemStopSignal);
        pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
        ModemThreadProc();
        std::lock_guard lock(m_modemMutex);
        m_bModemEnded = true;
        m_modemEnded.notify_all();
    });
}

void CSerialReader::Stop() {
    {
        std::lock_guard lock(m_writeMutex);
        m_stopRequested = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(m_stopFd, &one, sizeof one);
    n = write(m_cancelFd, &one, sizeof one);
    m_writeReady.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_writer.joinable()) m_writer.join();
    std::deque<WriterJob> dropped;
    {
        std::lock_guard lock(m_writeMutex);
        dropped.swap(m_writes);
    }
    ReportDropped(dropped);
    StopModemThread();
    if (m_pFile) m_pFile->SetStopFd(-1);  // the descriptor ends with this reader
    ClosePortLater(std::move(m_pFile));  // output may still be draining
}

void CSerialReader::ReaderThreadProc() {
    SerialPort& file = *m_pFile;
    for (;;) {
        // With the queue full the reader waits for room, but still watches the device: a
        // hang-up is told at once, and what is queued stays for the window to show.
        MyMsg* slot = m_rxQueue.FreeSlot();
        pollfd fds[3] = {
            slot ? pollfd{file.PollFd(), POLLIN, 0} : pollfd{file.HangUpFd(), POLLRDHUP, 0},
            {m_stopFd, POLLIN, 0},
            {m_rxQueue.FreedFd(), POLLIN, 0}};
        if (poll(fds, slot ? 2 : 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;
        const bool gone = fds[0].revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP);
        if (!slot && !gone) continue;  // room again

        uint32_t n = 0;
        if (slot) {
            // The burst's first byte is here now, however long the burst and the window take.
            const UtcTime arrived = m_clock();
            n = file.ReadComm(slot->m_data.data(), kReadSize, m_stopFd);
            if (n > 0) {
                slot->m_time = arrived;
                slot->m_nLength = static_cast<int>(n);
                if (m_rxQueue.Push()) m_sink.PostPortReceived();
            }
        }
        // Woken with nothing to read means the line is gone, even where no errno says so.
        if (file.HungUp() || (n == 0 && gone)) {
            m_bHungUp = true;
            m_sink.PostPortHungUp();
            break;
        }
    }
}

void CSerialReader::Write(std::vector<uint8_t> bytes) {
    {
        std::lock_guard lock(m_writeMutex);
        m_writes.emplace_back().bytes = std::move(bytes);
    }
    m_writeReady.notify_all();
}

void CSerialReader::WriteStream(std::unique_ptr<ByteSource> source, std::chrono::milliseconds gap,
                                StreamReporter report) {
    {
        std::lock_guard lock(m_writeMutex);
        WriterJob& job = m_writes.emplace_back();
        job.source = std::move(source);
        job.gap = gap;
        job.report = std::move(report);
    }
    m_writeReady.notify_all();
}

void CSerialReader::CancelWrites() {
    std::deque<WriterJob> dropped;
    {
        std::lock_guard lock(m_writeMutex);
        dropped = TakeQueuedWrites();
        if (m_bWriting) {
            m_bCancelled = true;
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = write(m_cancelFd, &one, sizeof one);
        }
    }
    ReportDropped(dropped);
}

std::deque<CSerialReader::WriterJob> CSerialReader::TakeQueuedWrites() {
    std::deque<WriterJob> taken;
    for (auto it = m_writes.begin(); it != m_writes.end();) {
        if (it->control) {
            ++it;
        } else {
            taken.push_back(std::move(*it));
            it = m_writes.erase(it);
        }
    }
    return taken;
}

void CSerialReader::ReportDropped(std::deque<WriterJob>& dropped) {
    for (WriterJob& job : dropped) {
        if (job.report) job.report({.ended = true, .cancelled = true});
    }
}

void CSerialReader::Control(int id, std::function<int(SerialPort&)> control) {
    {
        std::lock_guard lock(m_writeMutex);
        WriterJob& job = m_writes.emplace_back();
        job.id = id;
        job.control = std::move(control);
    }
    m_writeReady.notify_all();
}

void CSerialReader::Pulse(int id, ModemLine line, std::chrono::milliseconds length) {
    Control(id, [line, length, wakeFd = m_stopFd](SerialPort& port) {
        return PulseModemLine(port, line, length, wakeFd);
    });
}

void CSerialReader::Break(int id, std::chrono::milliseconds length) {
    Control(id, [length, wakeFd = m_stopFd](SerialPort& port) {
        return port.SendBreak(length, wakeFd);
    });
}

bool CSerialReader::WriterIdle() const {
    std::lock_guard lock(m_writeMutex);
    return m_writes.empty() && !m_bWriting;
}

void CSerialReader::WriterThreadProc() {
    SerialPort& file = *m_pFile;
    for (;;) {
        WriterJob job;
        {
            std::unique_lock lock(m_writeMutex);
            m_bWriting = false;
            m_writeReady.wait(lock, [this] { return m_stopRequested.load() || !m_writes.empty(); });
            if (m_stopRequested) return;
            job = std::move(m_writes.front());
            m_writes.pop_front();
            m_bWriting = true;
            if (m_bCancelled) {  // a cancel of the job before: this one goes
                uint64_t count = 0;
                [[maybe_unused]] ssize_t n = read(m_cancelFd, &count, sizeof count);
                m_bCancelled = false;
            }
        }
        if (job.control) {
            const int error = job.control(file);
            if (error == 0) PostModemStatusIfChanged();  // DTR or RTS may have changed
            m_sink.PostPortControlDone(job.id, error);
            continue;
        }
        bool failed = false;
        if (job.source) {
            failed = RunStream(job);
        } else {
            const std::vector<uint8_t>& bytes = job.bytes;
            uint32_t written = 0, posted = 0;
            const bool ok = WritePatiently(
                bytes.data(), static_cast<uint32_t>(bytes.size()), 0,
                [&](uint32_t step) {
                    if (step == 0) return;
                    posted += step;
                    m_sink.PostPortWritten(step, false);
                },
                &written);
            {
                // Stopped or cancelled in the middle is no failure: what went out is counted.
                std::lock_guard lock(m_writeMutex);
                failed = !ok && !m_stopRequested && !m_bCancelled;
            }
            m_sink.PostPortWritten(written - posted, failed);
        }
        if (std::unique_lock lock(m_writeMutex); m_bCancelled && !m_stopRequested) {
            lock.unlock();
            file.DiscardOutput();  // what the far side still holds of the cancelled send
        }
        if (failed) {
            // Told once; no more bytes go to a device that takes nothing. Controls still run
            // and answer for themselves.
            std::deque<WriterJob> dropped;
            {
                std::lock_guard lock(m_writeMutex);
                dropped = TakeQueuedWrites();
            }
            ReportDropped(dropped);
        }
    }
}

bool CSerialReader::RunStream(WriterJob& job) {
    using Clock = std::chrono::steady_clock;
    // A paced send reads little ahead, so the piece in hand never holds much.
    constexpr size_t kPiece = 64 * 1024, kPacedPiece = 256;
    const bool paced = job.gap.count() > 0;
    std::vector<uint8_t> buffer(paced ? kPacedPiece : kPiece);
    StreamReport report;
    uint32_t unposted = 0;
    auto posted = Clock::now();
    std::optional<Clock::time_point> next;  // when the next byte may go; none before the first
    // Counts what went, and tells it at most every kProgressPeriod while `more` follows.
    auto went = [&](uint32_t step, bool more) {
        report.sent += step;
        unposted += step;
        const auto now = Clock::now();
        if (more && now - posted >= kProgressPeriod) {
            m_sink.PostPortWritten(std::exchange(unposted, 0), false);
            if (job.report) job.report(report);
            posted = now;
        }
    };
    bool ok = true;
    while (ok) {
        const ssize_t n = job.source->Read(buffer.data(), buffer.size(), m_cancelFd);
        if (n == -ECANCELED) {
            ok = false;
            break;
        }
        if (n <= 0) {
            report.readError = n < 0 ? static_cast<int>(-n) : 0;
            break;
        }
        for (size_t at = 0; ok && at < static_cast<size_t>(n);) {
            if (next && !WaitForGap(*next)) {
                ok = false;
                break;
            }
            const auto begun = Clock::now();
            const uint32_t count = paced ? 1 : static_cast<uint32_t>(n - at);
            const uint64_t size = job.source->Size();
            const uint64_t beyond = size > report.sent + count ? size - report.sent - count : 0;
            uint32_t written = 0, counted = 0;
            // Short of `count` without a failure means woken: cancelled or stopped.
            ok = WritePatiently(
                     buffer.data() + at, count, beyond,
                     [&](uint32_t step) {
                         counted += step;
                         went(step, true);
                     },
                     &written) &&
                 written == count;
            if (paced) next = begun + job.gap;
            at += written;
            went(written - counted, ok);
        }
    }
    {
        std::lock_guard lock(m_writeMutex);
        report.cancelled = m_stopRequested || m_bCancelled;
        report.failed = !ok && !report.cancelled;
    }
    m_sink.PostPortWritten(unposted, report.failed);
    report.ended = true;
    if (job.report) job.report(report);
    return report.failed;
}

bool CSerialReader::WritePatiently(const uint8_t* bytes, uint32_t count, uint64_t beyond,
                                   const std::function<void(uint32_t)>& went, uint32_t* written) {
    uint32_t done = 0;
    bool held = false;  // and told
    bool ok = true;
    for (;;) {
        uint32_t step = 0;
        ok = m_pFile->WriteComm(bytes + done, count - done, &step, m_cancelFd);
        done += step;
        pollfd cancel{m_cancelFd, POLLIN, 0};
        if (!ok || done == count || poll(&cancel, 1, 0) > 0) break;
        if (step > 0) went(step);  // a progress report of nothing would hide that it waits
        if (held != (step == 0)) {
            held = step == 0;
            m_sink.PostPortWriteHeld(held, held ? count - done + beyond : 0);
        }
    }
    if (held) m_sink.PostPortWriteHeld(false, 0);
    *written = done;
    return ok;
}

bool CSerialReader::WaitForGap(std::chrono::steady_clock::time_point until) const {
    for (;;) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fd{m_cancelFd, POLLIN, 0};
        const int r = ppoll(&fd, 1, &wait, nullptr);
        if (r > 0) return false;
        if (r < 0 && errno != EINTR) return false;
    }
}

int CSerialReader::PostModemStatusIfChanged() {
    std::lock_guard lock(m_modemMutex);
    ModemStatus status;
    if (int e = m_pFile->GetModemStatus(status)) return e;
    if (m_postedModem != status) {
        m_postedModem = status;
        m_sink.PostModemStatus(status);
    }
    return 0;
}

void CSerialReader::ModemThreadProc() {
    const int first = PostModemStatusIfChanged();
    if (first == ENOTTY || first == EINVAL) m_sink.PostModemStatus(std::nullopt);
    if (first != 0) return;  // otherwise the device has gone, which the reader tells
    while (!m_stopRequested) {
        const int e = m_pFile->WaitModemChange();
        if (m_stopRequested) return;
        if (e == EINTR) continue;
        if (e != 0 || PostModemStatusIfChanged() != 0) return;
    }
}

void CSerialReader::StopModemThread() {
    if (!m_modem.joinable()) return;
    // A signal that lands just before the thread enters its wait is lost, so it is sent
    // again until the thread has ended; the thread is joined only then, so its handle holds.
    std::unique_lock lock(m_modemMutex);
    while (!m_bModemEnded) {
        pthread_kill(m_modem.native_handle(), kModemStopSignal);
        m_modemEnded.wait_for(lock, std::chrono::milliseconds(1));
    }
    lock.unlock();
    m_modem.join();
}
