#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "serial/my_msg.h"

// Received batches on their way from the reader thread to the window thread, oldest first.
// Bounded: a full queue makes the reader wait, while the kernel's buffer holds the line. The
// window side owns the queue, so batches queued before a reader stopped are still there to
// be handled.
//
// Thread rules: one reader fills slots (FreeSlot, then Push), one window thread empties them
// (Front, then Pop). A slot belongs to the reader between FreeSlot and Push, and to the
// window between Front and Pop; nobody else touches it then.
class RxQueue {
public:
    static constexpr size_t kDefaultCapacity = 256;

    explicit RxQueue(size_t capacity = kDefaultCapacity);  // throws std::system_error
    ~RxQueue();
    RxQueue(const RxQueue&) = delete;
    RxQueue& operator=(const RxQueue&) = delete;

    // Reader: the slot to fill next; null while the queue is full. Then FreedFd() becomes
    // readable once the window makes room, so the reader can wait for room and for other
    // things (the device, a stop request) in one poll.
    MyMsg* FreeSlot();
    int FreedFd() const { return m_freedFd; }
    // Reader: queues the filled slot. True when the queue was empty, so the window, which
    // is not busy with the queue, must be told.
    bool Push();
    // Window: the oldest batch, or null when none is queued.
    MyMsg* Front();
    void Pop();
    size_t Size() const;

private:
    mutable std::mutex m_mutex;
    std::vector<MyMsg> m_slots;
    size_t m_head = 0;   // the oldest batch
    size_t m_count = 0;  // queued batches
    int m_freedFd = -1;  // eventfd: a Pop made room in a full queue since the last FreeSlot
};
