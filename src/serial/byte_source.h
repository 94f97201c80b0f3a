#pragma once

#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// Where a streamed send's bytes come from. Read a piece at a time on the writer thread, so a
// send of any size goes out in bounded memory. Used by one thread at a time.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `max` of the next bytes into `buffer`: how many (0 at the end), or -errno.
    // While it waits for them (a pipe), -ECANCELED as soon as `wakeFd` becomes readable.
    virtual ssize_t Read(uint8_t* buffer, size_t max, int wakeFd) = 0;
    // How many bytes it gives in all; 0 when not known.
    virtual uint64_t Size() const { return 0; }
};

// Bytes already in memory, such as a paced send of the send area.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    ssize_t Read(uint8_t* buffer, size_t max, int) override {
        const size_t n = std::min(max, m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return static_cast<ssize_t>(n);
    }
    uint64_t Size() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_at = 0;
};

// How a streamed send ended, or how far it has got.
struct StreamReport {
    uint64_t sent = 0;       // bytes the device took
    bool ended = false;      // false: a progress report, more follows
    int readError = 0;       // the errno with which the source failed, else 0
    bool cancelled = false;  // cut short by CancelWrites or Stop, or dropped before it began
    bool failed = false;     // the device failed or has gone (PostPortWritten says so too)
};
