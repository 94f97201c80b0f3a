#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/byte_source.h"

// A file sent raw. Opened where the user picks it, so a file that cannot be opened is told
// at once; then read a piece at a time by the writer thread, never whole. Owns the
// descriptor.
class FileSource : public ByteSource {
public:
    // nullptr, with the errno in `error`, when `path` cannot be opened for reading.
    static std::unique_ptr<FileSource> Open(const std::string& path, int& error);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // The size when opened; 0 for what has none (a pipe, a device).
    uint64_t Size() const override { return m_size; }
    // A regular file is sent as its size at opening says: one that ends before was cut short
    // while it was sent (-ENODATA, rather than a send that looks complete), and what is
    // appended meanwhile is not read. One deleted meanwhile is -ENOENT.
    ssize_t Read(uint8_t* buffer, size_t max, int wakeFd) override;

private:
    FileSource(int fd, bool regular, uint64_t size) : m_fd(fd), m_regular(regular), m_size(size) {}

    int m_fd;
    bool m_regular;
    uint64_t m_size;
    uint64_t m_read = 0;
};
