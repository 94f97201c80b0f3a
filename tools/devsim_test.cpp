// Runs the real corvala-devsim and talks to it through the port it names.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "serial/ycom_file.h"
#include "test/run_command.h"

namespace {

using namespace std::chrono_literals;

// The simulator as a child process; its first output line is the port path.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> args) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            std::vector<char*> argv{const_cast<char*>(CORVALA_DEVSIM)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(CORVALA_DEVSIM, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        m_out = fdopen(out[0], "r");
        m_err = fdopen(err[0], "r");
        char line[256] = {};
        if (fgets(line, sizeof line, m_out)) m_port = std::string(line, strcspn(line, "\n"));
    }
    ~Simulator() {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        fclose(m_out);
        fclose(m_err);
    }
    const std::string& Port() const { return m_port; }
    std::string ErrorLine() {
        char line[256] = {};
        return fgets(line, sizeof line, m_err) ? std::string(line, strcspn(line, "\n")) : "";
    }

private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    FILE* m_err = nullptr;
    std::string m_port;
};

std::vector<uint8_t> ReadFor(YCOMFile& port, size_t count) {
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    uint8_t buf[1024];
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        // Never more than asked: records keep coming while the loop is late.
        const size_t want = std::min(sizeof buf, count - got.size());
        uint32_t n = port.ReadComm(buf, static_cast<uint32_t>(want));
        got.insert(got.end(), buf, buf + n);
        if (n == 0) std::this_thread::sleep_for(1ms);
    }
    return got;
}

TEST(DeviceSimulator, Echoes) {
    Simulator sim({"echo"});
    ASSERT_EQ(sim.Port().rfind("/dev/pts/", 0), 0u) << sim.Port();
    YCOMFile port(sim.Port(), {});
    const uint8_t hello[] = {'h', 'i', 0x00, 0xFF};
    ASSERT_TRUE(port.WriteComm(hello, sizeof hello));
    EXPECT_EQ(ReadFor(port, 4), (std::vector<uint8_t>{'h', 'i', 0x00, 0xFF}));
}

TEST(DeviceSimulator, SendsRecordsThatStartWithTheTrigger) {
    // A record sent while the port is being opened is flushed with the queues, as with a
    // real device; the simulator keeps sending.
    Simulator sim({"records", "--period", "20", "--trigger", "AB", "--length", "4"});
    YCOMFile port(sim.Port(), {});
    std::vector<uint8_t> got = ReadFor(port, 12);
    ASSERT_EQ(got.size(), 12u);
    for (size_t i = 0; i < got.size(); i += 4) EXPECT_EQ(got[i], 0xAB) << i;
}

TEST(DeviceSimulator, FloodsWithAChecksum) {
    Simulator sim({"flood", "--bytes", "200000"});
    YCOMFile port(sim.Port(), {});
    const uint8_t go = 1;
    ASSERT_TRUE(port.WriteComm(&go, 1));
    std::vector<uint8_t> got = ReadFor(port, 200000);
    ASSERT_EQ(got.size(), 200000u);
    uint32_t hash = 2166136261u;
    for (uint8_t b : got) hash = (hash ^ b) * 16777619u;
    char expected[64];
    std::snprintf(expected, sizeof expected, "sent 200000 bytes, fnv1a %08x", hash);
    EXPECT_EQ(sim.ErrorLine(), expected);
}

TEST(DevsimUsage, AskedForHelpItPrintsTheUsageAndMakesNoPort) {
    for (const char* ask : {"--help", "bogus"}) {
        const CommandResult r = RunCommand({CORVALA_DEVSIM, ask});
        EXPECT_EQ(r.status, 2) << ask;
        EXPECT_EQ(r.out, "") << ask;  // no port path: no pty was made
        EXPECT_EQ(r.err.rfind("usage: corvala-devsim", 0), 0u) << ask;
    }
}

}  // namespace
