#include "serial/port_control.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

#include "test/fake_port.h"
#include "test/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Calls = std::vector<std::string>;

TEST(PortControl, APulseInvertsTheLineForItsLengthAndPutsItBack) {
    struct Case {
        ModemStatus before;
        ModemLine line;
        Calls calls;
    };
    const Case cases[] = {
        {{.dtr = true, .rts = true}, ModemLine::Dtr, {"dtr off", "dtr on"}},
        {{.dtr = true, .rts = false}, ModemLine::Rts, {"rts on", "rts off"}},
    };
    for (const Case& c : cases) {
        FakePort port(c.before);
        const auto start = Clock::now();
        EXPECT_EQ(PulseModemLine(port, c.line, 30ms, -1), 0);
        EXPECT_GE(Clock::now() - start, 30ms);
        EXPECT_EQ(port.Calls(), c.calls);
    }
}

TEST(PortControl, AWokenPulseEndsAtOnceAndStillPutsTheLineBack) {
    FakePort port({.dtr = true});
    const int wake = eventfd(0, EFD_CLOEXEC);
    std::thread stopper([&] {
        WaitUntil([&] { return port.Calls().size() == 1; });  // the line is inverted
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wake, &one, sizeof one);
    });
    const auto start = Clock::now();
    EXPECT_EQ(PulseModemLine(port, ModemLine::Dtr, 5000ms, wake), 0);
    EXPECT_LT(Clock::now() - start, 1s);
    stopper.join();
    EXPECT_EQ(port.Calls(), (Calls{"dtr off", "dtr on"}));
    close(wake);
}

}  // namespace
