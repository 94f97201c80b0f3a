#include "serial/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "serial/file_exception.h"

namespace {

using Clock = std::chrono::steady_clock;

// One lookup, shared by the thread that runs it and the one that waits for it: the waiter
// may give up (deadline, cancel) while getaddrinfo, which nothing can interrupt, still runs.
struct Lookup {
    Lookup() : doneFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Lookup() {
        if (result) freeaddrinfo(result);
        close(doneFd);
    }
    int doneFd;
    std::mutex mutex;
    int error = 0;       // guarded by mutex, as are the two below
    int sysErrno = 0;    // errno where error is EAI_SYSTEM
    addrinfo* result = nullptr;
};

void StartLookupThread(const std::shared_ptr<Lookup>& lookup, const std::string& host,
                       uint16_t port) {
    std::thread([lookup, host, service = std::to_string(port)] {
        pthread_setname_np(pthread_self(), "corvala-lookup");
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
        addrinfo* result = nullptr;
        const int error = getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
        {
            std::lock_guard lock(lookup->mutex);
            lookup->error = error;
            lookup->sysErrno = errno;
            lookup->result = result;
        }
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(lookup->doneFd, &one, sizeof one);
    }).detach();
}

// Throws CFileException named `path` when the process is out of descriptors or threads: step
// Connect, as the lookup's own message would blame the name.
std::shared_ptr<Lookup> StartLookup(const std::string& path, const std::string& host,
                                    uint16_t port) {
    auto lookup = std::make_shared<Lookup>();
    if (lookup->doneFd < 0) throw CFileException(path, errno, OpenStep::Connect);
    try {
        StartLookupThread(lookup, host, port);
    } catch (const std::system_error& e) {
        throw CFileException(path, e.code().value(), OpenStep::Connect);
    }
    return lookup;
}

void KeepAlive(int fd) {
    const int on = 1, idle = 10, interval = 5, count = 3;
    const unsigned userTimeout = 30000;  // ms unacknowledged sending counts as a drop
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
    // A typed command goes out at once, not when the next one fills a segment.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Connects to one address; the socket, or -1 with errno set.
int ConnectOne(const addrinfo& a, Clock::time_point deadline, int cancelFd) {
    const int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0) return -1;
    int error = 0;
    if (connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            const int revents = PollUntil(fd, POLLOUT, deadline, cancelFd);
            socklen_t length = sizeof error;
            if (revents < 0) {
                error = ECANCELED;
            } else if (revents == 0) {
                error = ETIMEDOUT;
            } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
    }
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    KeepAlive(fd);
    return fd;
}

}  // namespace

int PollUntil(int fd, short events, Clock::time_point deadline, int cancelFd) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const int r = poll(fds, cancelFd >= 0 ? 2 : 1, static_cast<int>(std::max<long>(0, left.count())));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return 0;
        if (fds[1].revents) return -1;
        return fds[0].revents;
    }
}

int ConnectTcp(const std::string& path, const std::string& host, uint16_t port,
               Clock::time_point deadline, int cancelFd) {
    const std::shared_ptr<Lookup> lookup = StartLookup(path, host, port);
    const int looked = PollUntil(lookup->doneFd, POLLIN, deadline, cancelFd);
    if (looked <= 0) {
        throw CFileException(path, looked < 0 ? ECANCELED : ETIMEDOUT, OpenStep::Lookup);
    }
    std::lock_guard lock(lookup->mutex);
    if (lookup->error != 0) {
        const int e = lookup->error == EAI_SYSTEM ? lookup->sysErrno : EHOSTUNREACH;
        throw CFileException(path, e, OpenStep::Lookup, gai_strerror(lookup->error));
    }
    int error = EHOSTUNREACH;
    for (const addrinfo* a = lookup->result; a; a = a->ai_next) {
        const int fd = ConnectOne(*a, deadline, cancelFd);
        if (fd >= 0) return fd;
        error = errno;
        if (error == ECANCELED || error == ETIMEDOUT) break;
    }
    throw CFileException(path, error, OpenStep::Connect);
}
