#include "serial/serial_reader.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <system_error>

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
}

CSerialReader::~CSerialReader() {
    Stop();
    close(m_stopFd);
}

void CSerialReader::Start() {
    if (m_thread.joinable() || !m_pFile) return;
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
    m_writeReady.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_writer.joinable()) m_writer.join();
    StopModemThread();
    ClosePortLater(std::move(m_pFile));  // output may still be draining
}

void CSerialReader::ReaderThreadProc() {
    SerialPort& file = *m_pFile;
    for (;;) {
        // With the queue full the reader waits for room, but still watches the device: a
        // hang-up is told at once, and what is queued stays for the window to show.
        MyMsg* slot = m_rxQueue.FreeSlot();
        pollfd fds[3] = {{file.PollFd(), static_cast<short>(slot ? POLLIN : 0), 0},
                         {m_stopFd, POLLIN, 0},
                         {m_rxQueue.FreedFd(), POLLIN, 0}};
        if (poll(fds, slot ? 2 : 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;
        const bool gone = fds[0].revents & (POLLHUP | POLLERR | POLLNVAL);
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

void CSerialReader::Control(int id, std::function<int(SerialPort&)> control) {
    {
        std::lock_guard lock(m_writeMutex);
        m_writes.push_back({{}, id, std::move(control)});
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
        }
        if (job.control) {
            const int error = job.control(file);
            if (error == 0) PostModemStatusIfChanged();  // DTR or RTS may have changed
            m_sink.PostPortControlDone(job.id, error);
            continue;
        }
        const std::vector<uint8_t>& bytes = job.bytes;
        uint32_t written = 0;
        const bool ok = file.WriteComm(bytes.data(), static_cast<uint32_t>(bytes.size()), &written, m_stopFd);
        // Stopped in the middle is no failure: what went out is counted.
        const bool failed = !ok && !m_stopRequested;
        if (failed) {
            // Told once; no more bytes go to a device that takes nothing. Controls still run
            // and answer for themselves.
            std::lock_guard lock(m_writeMutex);
            std::erase_if(m_writes, [](const WriterJob& j) { return !j.control; });
        }
        m_sink.PostPortWritten(written, failed);
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
