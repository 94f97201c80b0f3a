#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// One received batch, handed from the reader thread to the window thread. The window side
// owns the record (it outlives every reader that writes it), so a batch that was published
// just before the reader stopped is still there when the window gets to it.
//
// Thread rules: the reader writes m_data and m_nLength only after WaitFree() returned true
// and before Publish(); the window reads them after being told of the batch and then calls
// Release(). Exactly one batch is in flight at a time.
class MyMsg {
public:
    static constexpr int kCapacity = 1024;

    std::array<uint8_t, kCapacity> m_data{};
    int m_nLength = 0;  // valid bytes in m_data, 1..kCapacity for a published batch

    // Reader: blocks until no batch is in flight; false when `stop` became true first.
    bool WaitFree(const std::atomic<bool>& stop);
    // Reader: the record now holds a batch the window has not handled yet.
    void Publish();
    // Window: done with the batch; the reader may write the record again.
    void Release();
    // Whoever sets a reader's stop flag calls this so that WaitFree sees it at once.
    void WakeWaiters();

private:
    std::mutex m_mutex;
    std::condition_variable m_freed;
    bool m_bPending = false;
};
