#include "serial/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PtyPair::PtyPair() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0) Fail("posix_openpt");
    char name[64];
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        int e = errno;
        close(m_master);
        errno = e;
        Fail("pty setup");
    }
    m_slavePath = name;
}

PtyPair::~PtyPair() { CloseMaster(); }

bool PtyPair::Write(std::span<const uint8_t> bytes, std::chrono::milliseconds stall) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{m_master, POLLOUT, 0};
            if (poll(&p, 1, static_cast<int>(stall.count())) <= 0 || !(p.revents & POLLOUT)) {
                return false;
            }
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> PtyPair::Read(size_t count, std::chrono::milliseconds timeout) {
    std::vector<uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        if (!(p.revents & POLLIN)) break;
        uint8_t buf[4096];
        ssize_t n = read(m_master, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

bool PtyPair::PortInUse() const {
    // The master reports a hang-up while no one has the slave open.
    pollfd p{m_master, 0, 0};
    return poll(&p, 1, 0) == 0 || !(p.revents & POLLHUP);
}

void PtyPair::CloseMaster() {
    if (m_master >= 0) close(m_master);
    m_master = -1;
}
