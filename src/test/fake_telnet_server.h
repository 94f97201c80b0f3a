#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/telnet_codec.h"

// A server on this machine that accepts one connection and then does what `serve` says with
// it, on a thread of its own; the connection closes when `serve` returns. `serve` must
// return once its peer has gone. A `receiveBuffer` (bytes) other than 0 keeps the window it
// offers small, so that what it does not read stays queued at the client.
class FakeServer {
public:
    explicit FakeServer(std::function<void(int)> serve, int receiveBuffer = 0) {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0)
            setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t length = sizeof a;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &length);
        m_port = ntohs(a.sin_port);
        listen(m_listen, 1);
        m_thread = std::thread([this, serve] {
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd >= 0) serve(fd);
            if (fd >= 0) close(fd);
        });
    }
    ~FakeServer() {
        shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        close(m_listen);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    std::string Url(bool rfc2217 = true) const {
        return (rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(m_port);
    }

private:
    int m_listen;
    uint16_t m_port;
    std::thread m_thread;
};

// The options a com-port server offers and takes as a connection opens.
inline void GreetComPortClient(int fd) {
    using namespace telnet;
    const uint8_t greeting[] = {kIac, kWill, kSuppressGoAhead, kIac, kDo, kSuppressGoAhead,
                                kIac, kWill, kBinary,          kIac, kDo, kBinary,
                                kIac, kDo,   kComPort};
    [[maybe_unused]] ssize_t n = write(fd, greeting, sizeof greeting);
}

// Answers each com-port subcommand in `said` with what was asked, after `beforeAnswer`
// (which may hold the answer back); takes what it handled out of `said`.
inline void AnswerSubcommands(
    int fd, std::vector<uint8_t>& said,
    const std::function<void(uint8_t command, uint8_t value)>& beforeAnswer) {
    using namespace telnet;
    const uint8_t start[] = {kIac, kSb, kComPort};
    for (auto sub = std::search(said.begin(), said.end(), std::begin(start), std::end(start));
         sub != said.end() && said.end() - sub >= 7;
         sub = std::search(said.begin(), said.end(), std::begin(start), std::end(start))) {
        const auto end = std::find(sub + 4, said.end(), kSe);
        if (end == said.end()) break;
        std::vector<uint8_t> answer(sub, end + 1);
        answer[3] += kServerOffset;
        beforeAnswer(sub[3], sub[4]);
        [[maybe_unused]] ssize_t n = write(fd, answer.data(), answer.size());
        said.erase(said.begin(), end + 1);
    }
}

// Greets a com-port client and answers the line its open asks for.
inline void AnswerOpen(int fd) {
    GreetComPortClient(fd);
    std::vector<uint8_t> said;
    int answered = 0;
    uint8_t chunk[256];
    while (answered < 7) {  // the line's five settings, DTR and RTS
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) return;
        said.insert(said.end(), chunk, chunk + got);
        AnswerSubcommands(fd, said, [&](uint8_t, uint8_t) { ++answered; });
    }
}

// Reads until the peer's end (or its reset); how many bytes came equal to `mark`.
inline size_t CountUntilEnd(int fd, uint8_t mark) {
    size_t count = 0;
    uint8_t chunk[4096];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;)
        count += static_cast<size_t>(std::count(chunk, chunk + got, mark));
    return count;
}

// How many bytes of what a client sent are no part of a whole Telnet command (the client
// sends no data).
inline size_t StrayBytes(const std::vector<uint8_t>& s) {
    using namespace telnet;
    size_t stray = 0;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == kIac && i + 2 < s.size() && s[i + 1] >= kWill && s[i + 1] <= kDont) {
            i += 3;
        } else if (s[i] == kIac && i + 1 < s.size() && s[i + 1] == kSb) {
            size_t j = i + 2;
            while (j + 1 < s.size() && !(s[j] == kIac && s[j + 1] == kSe))
                j += s[j] == kIac ? 2 : 1;
            if (j + 1 >= s.size()) return stray + s.size() - i;
            i = j + 2;
        } else {
            ++stray, ++i;
        }
    }
    return stray;
}

// A com-port server: takes the options the client offers and answers each of its
// subcommands with what was asked, after `beforeAnswer`.
inline void ServeComPort(int fd,
                         const std::function<void(uint8_t command, uint8_t value)>& beforeAnswer) {
    GreetComPortClient(fd);
    std::vector<uint8_t> said;
    uint8_t chunk[256];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) {
        said.insert(said.end(), chunk, chunk + got);
        AnswerSubcommands(fd, said, beforeAnswer);
    }
}
