#include "serial/my_msg.h"

bool MyMsg::WaitFree(const std::atomic<bool>& stop) {
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [&] { return !m_bPending || stop.load(); });
    return !m_bPending;
}

void MyMsg::Publish() {
    std::lock_guard lock(m_mutex);
    m_bPending = true;
}

void MyMsg::Release() {
    {
        std::lock_guard lock(m_mutex);
        m_bPending = false;
    }
    m_freed.notify_all();
}

void MyMsg::WakeWaiters() {
    // Taking the lock orders the caller's stop flag before a waiter's predicate check.
    { std::lock_guard lock(m_mutex); }
    m_freed.notify_all();
}
