#include "serial/ycom_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "serial/file_exception.h"
#include "serial/line_termios.h"
#include "serial/modem_lines.h"
#include "serial/output_drain.h"
#include "serial/port_control.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kBurstSilence{5};

bool IsHangUpErrno(int e) { return e == EIO || e == ENXIO || e == ENODEV || e == EPIPE; }

// Waits for `events` on fd (and for wakeFd to become readable) at most `timeout`.
// Returns fd's revents, 0 on time-out, -1 when wakeFd woke us.
int WaitFor(int fd, short events, int wakeFd, Clock::duration timeout) {
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    if (ns < 0) ns = 0;
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    int r;
    do {
        r = ppoll(fds, wakeFd >= 0 ? 2 : 1, &ts, nullptr);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return 0;
    if (wakeFd >= 0 && fds[1].revents) return -1;
    return fds[0].revents;
}

}  // namespace

YCOMFile::YCOMFile(const std::string& path, const LineSettings& line)
    : m_strPath(path), m_line(line) {
    WaitWhilePortCloses(path, kMaxDrain + milliseconds(500));
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) throw CFileException(path, errno);
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ioctl(m_fd, TIOCEXCL) != 0) {
        int e = errno == EWOULDBLOCK ? EBUSY : errno;
        close(m_fd);
        throw CFileException(path, e);
    }
    m_termios = std::make_unique<PortTermios>(m_fd);
    m_termios->ApplyRaw(line);  // a refused setting leaves the port open, as documented
    // A pty has no modem lines and says so; that is no reason to refuse the port.
    SetTtyModemLine(m_fd, ModemLine::Dtr, line.dtr);
    SetTtyModemLine(m_fd, ModemLine::Rts, line.rts);
    FlushQueues(m_fd);
}

YCOMFile::~YCOMFile() {
    // Queued output goes out at this line's rate, not the restored one; what is still
    // queued then is dropped, so close() does not wait the driver's closing time.
    if (!DrainOutput()) tcflush(m_fd, TCOFLUSH);
    m_termios->Restore();
    ioctl(m_fd, TIOCNXCL);
    close(m_fd);  // also releases the flock
}

bool YCOMFile::DrainOutput() {
    // Only what the driver still holds: a pty has handed everything to the device side,
    // and flushing there would take back bytes the device has not read yet.
    if (HungUp()) return true;
    const int fd = m_fd;
    return WaitForOutputDrain(
        [fd] {
            int queued = 0;
            return ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : 0;
        },
        m_line, kMaxDrain);
}

uint32_t YCOMFile::ReadComm(uint8_t* buffer, uint32_t count, int wakeFd) {
    int queued = 0;
    if (ioctl(m_fd, FIONREAD, &queued) != 0) {
        MarkHungUp(IsHangUpErrno(errno));
        return 0;
    }
    if (queued <= 0 || count == 0) return 0;

    const auto deadline = Clock::now() + milliseconds(count);
    uint32_t total = 0;
    for (;;) {
        ssize_t n = read(m_fd, buffer + total, count - total);
        if (n > 0) {
            total += static_cast<uint32_t>(n);
            if (total == count) break;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            MarkHungUp(n == 0 || IsHangUpErrno(errno));
            break;
        }
        auto left = std::min<Clock::duration>(kBurstSilence, deadline - Clock::now());
        if (left <= Clock::duration::zero()) break;
        int revents = WaitFor(m_fd, POLLIN, wakeFd, left);
        if (revents <= 0) break;  // silence, or asked to stop
        if ((revents & (POLLHUP | POLLERR | POLLNVAL)) && !(revents & POLLIN)) {
            MarkHungUp(true);
            break;
        }
    }
    return total;
}

bool YCOMFile::WriteComm(const uint8_t* buffer, uint32_t count, uint32_t* written, int wakeFd) {
    // Returning within the patience lets the caller show how far a slow line has got.
    const auto deadline = Clock::now() + kWritePatience;
    uint32_t done = 0;
    bool ok = true;
    while (done < count) {
        ssize_t n = write(m_fd, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            MarkHungUp(IsHangUpErrno(errno));
            ok = false;
            break;
        }
        const auto left = deadline - Clock::now();
        const int revents =
            left > Clock::duration::zero() ? WaitFor(m_fd, POLLOUT, wakeFd, left) : 0;
        if (revents <= 0) break;  // held off, or asked to stop: what went out went out
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            MarkHungUp(true);
            ok = false;
            break;
        }
    }
    if (written) *written = done;
    return ok;
}

int YCOMFile::ApplyLine(const LineSettings& line) {
    const int e = m_termios->ApplyRaw(line);
    if (e == 0) m_line = line;
    return e;
}

int YCOMFile::SetModemLine(ModemLine line, bool on) { return SetTtyModemLine(m_fd, line, on); }

int YCOMFile::GetModemStatus(ModemStatus& status) { return GetTtyModemStatus(m_fd, status); }

int YCOMFile::SendBreak(milliseconds length, int wakeFd) {
    if (ioctl(m_fd, TIOCSBRK) != 0) return errno;
    SleepUnlessWoken(length, wakeFd);
    return ioctl(m_fd, TIOCCBRK) == 0 ? 0 : errno;
}

int YCOMFile::WaitModemChange() { return WaitTtyModemChange(m_fd); }
