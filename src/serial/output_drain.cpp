#include "serial/output_drain.h"

#include <algorithm>
#include <thread>

#include "serial/line_frame.h"

bool WaitForOutputDrain(const std::function<int()>& queued, const LineSettings& line,
                        std::chrono::milliseconds cap) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    constexpr milliseconds kSlack{20};  // the driver's and the scheduler's latency

    int left = queued();
    if (left <= 0) return true;
    const auto start = Clock::now();
    const auto last = start + cap;
    auto deadline = std::min<Clock::time_point>(start + kSlack + LineTime(line, left), last);
    for (;;) {
        std::this_thread::sleep_for(milliseconds(2));
        const int now = queued();
        if (now <= 0) return true;
        if (now < left) {  // still going out: what is left gets its time again
            left = now;
            deadline =
                std::min<Clock::time_point>(Clock::now() + kSlack + LineTime(line, left), last);
        }
        if (Clock::now() >= deadline) return false;
    }
}
