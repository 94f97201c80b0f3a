#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "test/wait_until.h"

// A program started for a test, with some environment variables set, and ended with it:
// asked to stop, then killed when it does not within a second. Not thread-safe.
class RunningProgram {
public:
    RunningProgram(std::vector<std::string> argv,
                   const std::vector<std::pair<std::string, std::string>>& env) {
        m_pid = fork();
        if (m_pid != 0) return;
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ~RunningProgram() {
        kill(m_pid, SIGTERM);
        if (!WaitUntil([this] { return Exited(); }, std::chrono::seconds(1))) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Exited() { return m_exited || (m_exited = waitpid(m_pid, nullptr, WNOHANG) == m_pid); }

private:
    pid_t m_pid = -1;
    bool m_exited = false;
};
