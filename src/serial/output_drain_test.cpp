#include "serial/output_drain.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const LineSettings kFast{115200, 0, 0, 8};  // 100 bytes need under 9 ms

// A driver queue that loses `step` bytes each time it is asked.
auto Falling(int bytes, int step) {
    return [bytes, step]() mutable { return bytes = std::max(0, bytes - step); };
}

TEST(OutputDrain, NothingQueuedIsDrained) {
    EXPECT_TRUE(WaitForOutputDrain([] { return 0; }, kFast, 2000ms));
    EXPECT_TRUE(WaitForOutputDrain([] { return -1; }, kFast, 2000ms));  // unknown
}

TEST(OutputDrain, OutputThatStillFallsIsWaitedForPastItsLineTime) {
    // One byte per look, every 2 ms: far slower than the rate says, but going out.
    EXPECT_TRUE(WaitForOutputDrain(Falling(101, 1), kFast, 2000ms));
}

TEST(OutputDrain, StuckOrEndlessOutputGivesUp) {
    EXPECT_FALSE(WaitForOutputDrain([] { return 100; }, kFast, 2000ms));
    EXPECT_FALSE(WaitForOutputDrain(Falling(1 << 30, 1), kFast, 100ms));  // the cap holds
}

}  // namespace
