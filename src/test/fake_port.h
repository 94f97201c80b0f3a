#pragma once

// A port without a device, for the worker's tests: nothing arrives, every write is taken at
// once, the modem lines live in memory, and WaitModemChange blocks in a read that only
// Change() or a signal ends, restarted by SA_RESTART exactly as TIOCMIWAIT would be. Every
// call is logged in order. Any thread.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "serial/port_control.h"
#include "serial/serial_port.h"

class FakePort : public SerialPort {
public:
    explicit FakePort(ModemStatus status = {}) : m_status(status) {
        [[maybe_unused]] int r = pipe2(m_change, O_CLOEXEC);
        m_silent = eventfd(0, EFD_CLOEXEC);
    }
    ~FakePort() override {
        for (int fd : {m_change[0], m_change[1], m_silent}) close(fd);
    }

    const std::string& Path() const override { return m_path; }
    int PollFd() const override { return m_silent; }
    uint32_t ReadComm(uint8_t*, uint32_t, int) override { return 0; }
    bool WriteComm(const uint8_t*, uint32_t count, uint32_t* written, int) override {
        Log("write " + std::to_string(count));
        if (written) *written = count;
        return true;
    }
    bool HungUp() const override { return false; }
    int ApplyLine(const LineSettings&) override {
        Log("line");
        return 0;
    }
    int SetModemLine(ModemLine line, bool on) override {
        std::lock_guard lock(m_mutex);
        (line == ModemLine::Dtr ? m_status.dtr : m_status.rts) = on;
        m_calls.push_back(std::string(line == ModemLine::Dtr ? "dtr " : "rts ") +
                          (on ? "on" : "off"));
        return 0;
    }
    int GetModemStatus(ModemStatus& status) override {
        std::lock_guard lock(m_mutex);
        status = m_status;
        return 0;
    }
    int SendBreak(std::chrono::milliseconds length, int wakeFd) override {
        Log("break");
        SleepUnlessWoken(length, wakeFd);
        Log("break end");
        return 0;
    }
    int WaitModemChange() override {
        // The signal that was to end the wait lands just before it, and is gone.
        if (m_loseASignal.exchange(false)) ppoll(nullptr, 0, nullptr, nullptr);
        char c;
        return read(m_change[0], &c, 1) == 1 ? 0 : errno;
    }

    // The device side: the inputs change to those of `status`.
    void Change(ModemStatus status) {
        {
            std::lock_guard lock(m_mutex);
            status.dtr = m_status.dtr;
            status.rts = m_status.rts;
            m_status = status;
        }
        [[maybe_unused]] ssize_t n = write(m_change[1], "c", 1);
    }
    // The next WaitModemChange first waits for a signal of its own.
    void LoseTheNextSignalBeforeTheWait() { m_loseASignal = true; }
    std::vector<std::string> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    void Log(std::string call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }

    const std::string m_path = "fake";
    int m_change[2] = {-1, -1};
    int m_silent = -1;  // never readable
    std::atomic<bool> m_loseASignal{false};
    std::mutex m_mutex;
    ModemStatus m_status;              // guarded by m_mutex
    std::vector<std::string> m_calls;  // guarded by m_mutex
};
