#include "send/file_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

std::unique_ptr<FileSource> FileSource::Open(const std::string& path, int& error) {
    // Not blocking: opening a FIFO would wait for its writer on the window thread, and its
    // reads for data where only Read's wait can be woken.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        error = errno;
        if (fd >= 0) close(fd);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        close(fd);
        error = EISDIR;
        return nullptr;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const bool regular = S_ISREG(st.st_mode);
    const uint64_t size = regular ? static_cast<uint64_t>(st.st_size) : 0;
    return std::unique_ptr<FileSource>(new FileSource(fd, regular, size));
}

FileSource::~FileSource() { close(m_fd); }

ssize_t FileSource::Read(uint8_t* buffer, size_t max, int wakeFd) {
    if (m_regular) {
        // The descriptor would go on reading a deleted file; the user took it away.
        struct stat st {};
        if (fstat(m_fd, &st) == 0 && st.st_nlink == 0) return -ENOENT;
        max = static_cast<size_t>(std::min<uint64_t>(max, m_size - m_read));
    }
    ssize_t n;
    while ((n = read(m_fd, buffer, max)) < 0) {
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return -errno;
        // A pipe with nothing in it yet: waits for its writer, or for the wake.
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return -errno;
        if (fds[1].revents) return -ECANCELED;
    }
    if (n == 0 && m_read < m_size) return -ENODATA;
    m_read += static_cast<uint64_t>(n);
    return n;
}
