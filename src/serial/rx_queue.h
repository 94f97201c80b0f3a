#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "serial/my_msg.h"

// Received batches on their way from the reader thread to the window thread, oldest first.
// Bounded: a full queue makes the reader wait, while the kernel's buffer holds the line. The
// window side owns the queue, so batches queued before a reader stopped are still there to
// be handled.
//
// Thread rules: one reader fills slots (WaitFree, then Push), one window thread empties them
// (Front, then Pop). A slot belongs to the reader between WaitFree and Push, and to the
// window between Front and Pop; nobody else touches it then.
class RxQueue {
public:
    static constexpr size_t kDefaultCapacity = 256;

    explicit RxQueue(size_t capacity = kDefaultCapacity);

    // Reader: the slot to fill next, once one is free; null when `stop` became true first.
    MyMsg* WaitFree(const std::atomic<bool>& stop);
    // Reader: queues the filled slot. True when the queue was empty, so the window, which
    // is not busy with the queue, must be told.
    bool Push();
    // Window: the oldest batch, or null when none is queued.
    MyMsg* Front();
    void Pop();
    size_t Size() const;
    // Whoever sets a reader's stop flag calls this so that WaitFree sees it at once.
    void WakeWaiters();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
    std::vector<MyMsg> m_slots;
    size_t m_head = 0;   // the oldest batch
    size_t m_count = 0;  // queued batches
};
