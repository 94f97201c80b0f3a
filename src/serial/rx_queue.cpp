#include "serial/rx_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

RxQueue::RxQueue(size_t capacity) : m_slots(capacity) {
    m_freedFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_freedFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

RxQueue::~RxQueue() { close(m_freedFd); }

MyMsg* RxQueue::FreeSlot() {
    std::unique_lock lock(m_mutex);
    if (m_count == m_slots.size()) {
        // Cleared before the second look, so a Pop after that look is never missed and an
        // older one wakes the reader at most once.
        lock.unlock();
        uint64_t pops;
        [[maybe_unused]] ssize_t n = read(m_freedFd, &pops, sizeof pops);
        lock.lock();
        if (m_count == m_slots.size()) return nullptr;
    }
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
    bool wasFull;
    {
        std::lock_guard lock(m_mutex);
        if (m_count == 0) return;
        wasFull = m_count == m_slots.size();
        m_head = (m_head + 1) % m_slots.size();
        --m_count;
    }
    if (wasFull) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_freedFd, &one, sizeof one);
    }
}

size_t RxQueue::Size() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}
