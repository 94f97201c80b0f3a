#include "serial/rx_queue.h"

RxQueue::RxQueue(size_t capacity) : m_slots(capacity) {}

MyMsg* RxQueue::WaitFree(const std::atomic<bool>& stop) {
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [&] { return m_count < m_slots.size() || stop.load(); });
    if (stop.load()) return nullptr;
    return &m_slots[(m_head + m_count) % m_slots.size()];
}

bool RxQueue::Push() {
    std::lock_guard lock(m_mutex);
    return ++m_count == 1;
}

MyMsg* RxQueue::Front() {
    std::lock_guard lock(m_mutex);
    return m_count ? &m_slots[m_head] : nullptr;
}

void RxQueue::Pop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_count == 0) return;
        m_head = (m_head + 1) % m_slots.size();
        --m_count;
    }
    m_freed.notify_all();
}

size_t RxQueue::Size() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

void RxQueue::WakeWaiters() {
    // Taking the lock orders the caller's stop flag before a waiter's predicate check.
    { std::lock_guard lock(m_mutex); }
    m_freed.notify_all();
}
