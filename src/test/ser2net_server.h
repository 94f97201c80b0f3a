#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

// Debian's ser2net serving `device` (a pseudo-terminal's slave path) on a free localhost
// port, run in the foreground as a child of the test, for as long as the object lives.
// Tests that need it skip with a reason where ser2net is not installed (Binary() empty).
class Ser2netServer {
public:
    enum class Kind { Rfc2217, RawTcp };

    static std::string Binary() {
        for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net"}) {
            if (access(path, X_OK) == 0) return path;
        }
        return {};
    }

    // A port nothing listens on: one the kernel hands out and takes back at once.
    static uint16_t FreePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t length = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        close(fd);
        return ntohs(a.sin_port);
    }

    Ser2netServer(const std::string& device, Kind kind) : m_port(FreePort()) {
        m_dir = std::filesystem::temp_directory_path() /
                ("corvala-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(m_port));
        std::filesystem::create_directories(m_dir);
        const std::string config = (m_dir / "ser2net.yaml").string();
        std::ofstream(config) << "connection: &port\n"
                              << "  accepter: " << (kind == Kind::Rfc2217 ? "telnet(rfc2217)," : "")
                              << "tcp,127.0.0.1," << m_port << "\n"
                              << "  connector: serialdev," << device << ",9600n81,local\n"
                              << "  options:\n    kickolduser: true\n";
        m_pid = fork();
        if (m_pid == 0) {
            const std::string binary = Binary();
            freopen("/dev/null", "w", stderr);  // it tells of mDNS it cannot start
            execl(binary.c_str(), binary.c_str(), "-n", "-c", config.c_str(), "-P",
                  (m_dir / "pid").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Listening() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    ~Ser2netServer() {
        Kill();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    uint16_t Port() const { return m_port; }
    std::string Url(Kind kind = Kind::Rfc2217) const {
        return (kind == Kind::Rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") +
               std::to_string(m_port);
    }

    // Ends the server at once, as a crash or a pulled network cable would.
    void Kill() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    // Listening, read from the kernel's table: a probing connection would make the server
    // open the device and close it again just as the test's own connection comes.
    bool Listening() const {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        char wanted[16];
        snprintf(wanted, sizeof wanted, ":%04X", m_port);
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (local.ends_with(wanted) && state == "0A") return true;
        }
        return false;
    }

    uint16_t m_port;
    std::filesystem::path m_dir;
    pid_t m_pid = -1;
};
