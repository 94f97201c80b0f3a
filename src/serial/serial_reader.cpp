#include "serial/serial_reader.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

CSerialReader::CSerialReader(PortEventSink& sink, RxQueue& queue, const std::string& path,
                             const LineSettings& line, UtcClock clock)
    : m_sink(sink), m_rxQueue(queue), m_clock(std::move(clock)), m_strPort(path),
      m_pFile(std::make_unique<YCOMFile>(path, line)) {
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

CSerialReader::~CSerialReader() {
    Stop();
    close(m_stopFd);
}

void CSerialReader::Start() {
    if (!m_thread.joinable() && m_pFile) m_thread = std::thread([this] { ReaderThreadProc(); });
}

void CSerialReader::Stop() {
    m_stopRequested = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(m_stopFd, &one, sizeof one);
    m_rxQueue.WakeWaiters();
    if (m_thread.joinable()) m_thread.join();
    YCOMFile::CloseLater(std::move(m_pFile));  // output may still be draining
}

void CSerialReader::ReaderThreadProc() {
    YCOMFile& file = *m_pFile;
    while (MyMsg* slot = m_rxQueue.WaitFree(m_stopRequested)) {
        pollfd fds[2] = {{file.Fd(), POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;

        uint32_t n = file.ReadComm(slot->m_data.data(), kReadSize, m_stopFd);
        if (n > 0) {
            slot->m_time = m_clock();  // when it arrived, however late the window gets to it
            slot->m_nLength = static_cast<int>(n);
            if (m_rxQueue.Push()) m_sink.PostPortReceived();
        }
        // Woken with nothing to read means the line is gone, even where no errno says so.
        if (file.HungUp() ||
            (n == 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)))) {
            m_bHungUp = true;
            m_sink.PostPortHungUp();
            break;
        }
    }
}
