// A network port under slow lines and odd servers: what a server gets of what was written
// before closing while the device talks, what a control reports when data queued ahead
// holds its answer back, whether a reply owed to a server that reads nothing is cut inside a
// Telnet command, and how many commands an option ping-pong draws.
#include <asm/termbits.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "serial/open_port.h"
#include "serial/pty_pair.h"
#include "test/fake_telnet_server.h"
#include "test/ser2net_server.h"

namespace {

using namespace std::chrono_literals;
using namespace telnet;
using Clock = std::chrono::steady_clock;
const LineSettings k9600{9600, 0, 0, 8};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Of 60,000 bytes written, what a server that talks and reads slowly (512 bytes a
// millisecond, through a small window) got once the port closed.
void CloseWhileTheServerTalks(bool rfc2217) {
    std::atomic<bool> opened = false;
    size_t got = 0;
    uint32_t written = 0;
    double closing = 0;
    {
        FakeServer server(
            [&](int fd) {
                if (rfc2217) AnswerOpen(fd);
                while (!opened) std::this_thread::sleep_for(1ms);
                const std::vector<uint8_t> talk(4096, 't');
                uint8_t chunk[512];
                for (ssize_t r = 0; (r = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT)) != 0;) {
                    if (r < 0 && errno != EAGAIN) break;
                    if (r > 0) got += static_cast<size_t>(std::count(chunk, chunk + r, 'D'));
                    [[maybe_unused]] ssize_t n =
                        send(fd, talk.data(), talk.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                    std::this_thread::sleep_for(1ms);
                }
            },
            4096);
        auto port = OpenSerialPort(server.Url(rfc2217), k9600);
        opened = true;
        std::this_thread::sleep_for(50ms);
        const std::vector<uint8_t> data(60000, 'D');
        port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, -1);
        const auto start = Clock::now();
        port.reset();
        closing = Seconds(Clock::now() - start);
    }  // the server has read to the end
    std::printf("close, fake %-8s server: written %u, server got %zu (close took %.3f s)\n",
                rfc2217 ? "rfc2217" : "raw", written, got, closing);
}

// The same through real ser2net to a pseudo-terminal's device that reads all it can, and
// talks or not.
void CloseThroughSer2net(Ser2netServer::Kind kind, bool talking) {
    PtyPair pty;
    Ser2netServer server(pty.SlavePath(), kind);
    auto port = OpenSerialPort(server.Url(kind), k9600);
    while (!pty.PortInUse()) std::this_thread::sleep_for(1ms);
    std::atomic<bool> talk = talking;
    std::thread device([&] {
        const std::vector<uint8_t> chunk(1024, 't');
        while (talk && pty.Write(chunk, 200ms)) {
        }
    });
    std::this_thread::sleep_for(200ms);
    const std::vector<uint8_t> data(60000, 'D');
    uint32_t written = 0;
    std::vector<uint8_t> heard;
    std::thread far([&] { heard = pty.Read(data.size(), 8s); });
    port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, -1);
    const auto start = Clock::now();
    port.reset();
    const double closing = Seconds(Clock::now() - start);
    far.join();
    talk = false;
    device.join();
    std::printf("close, ser2net %-7s device %-7s: written %u, device got %zu (close took %.3f s)\n",
                kind == Ser2netServer::Kind::Rfc2217 ? "rfc2217" : "raw",
                talking ? "talking" : "silent", written,
                static_cast<size_t>(std::count(heard.begin(), heard.end(), 'D')), closing);
}

// A server that takes data at the line's rate (960 B/s) and applies each subcommand when
// it comes to it: DTR off and 19200 asked for behind 2 s of data.
void ControlBehindQueuedData() {
    const auto start = Clock::now();
    std::atomic<double> dtrOffAt = -1, baudAt = -1;
    FakeServer server([&](int fd) {
        AnswerOpen(fd);
        std::vector<uint8_t> said;
        uint8_t chunk[96];
        for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) {
            said.insert(said.end(), chunk, chunk + got);
            AnswerSubcommands(fd, said, [&](uint8_t command, uint8_t value) {
                const double at = Seconds(Clock::now() - start);
                if (command == kSetControl && value == kDtrOff) dtrOffAt = at;
                if (command == kSetBaudRate) baudAt = at;
            });
            said.erase(std::remove(said.begin(), said.end(), 'D'), said.end());
            std::this_thread::sleep_for(100ms);
        }
    });
    auto port = OpenSerialPort(server.Url(), k9600);
    const std::vector<uint8_t> data(2000, 'D');
    uint32_t written = 0;
    port->WriteComm(data.data(), static_cast<uint32_t>(data.size()), &written, -1);
    const auto asked = Clock::now();
    const int dtr = port->SetModemLine(ModemLine::Dtr, false);
    const double dtrTook = Seconds(Clock::now() - asked);
    LineSettings faster = k9600;
    faster.baudRate = 19200;
    const int line = port->ApplyLine(faster);
    std::this_thread::sleep_for(3s);
    ModemStatus status;
    port->GetModemStatus(status);
    std::printf(
        "control behind 2.1 s of data: DTR off -> %s after %.2f s (server applied it at "
        "%.2f s; port then says DTR %s); 19200 -> %s (server applied it at %.2f s)\n",
        std::strerror(dtr), dtrTook, dtrOffAt.load(), status.dtr ? "on" : "off",
        std::strerror(line), baudAt.load());
    port.reset();
}

// A server that floods `ask` for 3 s while reading nothing (through a small window), then
// reads all the client sent.
void FloodWhileReadingNothing(const char* name, std::vector<uint8_t> ask) {
    size_t stray = 0, bytes = 0;
    std::atomic<bool> reading = false;
    bool hungUp = false;
    {
        FakeServer server(
            [&](int fd) {
                AnswerOpen(fd);
                std::vector<uint8_t> flood;
                for (int i = 0; i < 1000; ++i) flood.insert(flood.end(), ask.begin(), ask.end());
                for (const auto end = Clock::now() + 3s; Clock::now() < end;)
                    [[maybe_unused]] ssize_t n =
                        send(fd, flood.data(), flood.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                reading = true;
                std::vector<uint8_t> all;
                uint8_t chunk[65536];
                for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;)
                    all.insert(all.end(), chunk, chunk + got);
                stray = StrayBytes(all);
                bytes = all.size();
            },
            8192);
        auto port = OpenSerialPort(server.Url(), k9600);
        std::vector<uint8_t> buf(4096);
        while (!reading && !port->HungUp()) port->ReadComm(buf.data(), 4096, -1);
        hungUp = port->HungUp();
        // The rest of what the client owes goes as the server reads.
        for (const auto end = Clock::now() + 1s; Clock::now() < end && !port->HungUp();)
            port->ReadComm(buf.data(), 4096, -1);
        port.reset();
    }  // the server has read to the end
    std::printf(
        "flood of %-9s reading nothing 3 s: client sent %zu bytes, %zu of them stray "
        "(hung up: %s)\n",
        name, bytes, stray, hungUp ? "yes" : "no");
}

// A server that answers each WILL and DO with a refusal and then an acceptance.
void OptionPingPong() {
    std::atomic<size_t> commands = 0;
    std::atomic<bool> counting = false;
    FakeServer server([&](int fd) {
        AnswerOpen(fd);
        counting = true;
        const uint8_t kick[] = {kIac, kDont, kBinary, kIac, kDo, kBinary};
        [[maybe_unused]] ssize_t n = write(fd, kick, sizeof kick);
        uint8_t chunk[4096];
        std::vector<uint8_t> out;
        for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) {
            out.clear();
            for (ssize_t i = 0; i + 2 < got; ++i) {
                if (chunk[i] != kIac || chunk[i + 1] < kWill || chunk[i + 1] > kDont) continue;
                ++commands;
                const uint8_t option = chunk[i + 2];
                if (option == kComPort) continue;
                const bool will = chunk[i + 1] == kWill || chunk[i + 1] == kWont;
                out.insert(out.end(),
                           {kIac, will ? kDont : kWont, option, kIac, will ? kDo : kWill, option});
                i += 2;
            }
            n = write(fd, out.data(), out.size());
        }
    });
    auto port = OpenSerialPort(server.Url(), k9600);
    std::vector<uint8_t> buf(4096);
    for (const auto end = Clock::now() + 3s; Clock::now() < end && !port->HungUp();)
        port->ReadComm(buf.data(), 4096, -1);
    const size_t sent = commands;
    port.reset();
    std::printf("option ping-pong: the client sent %zu commands in 3 s\n", sent);
}

}  // namespace

int main() {
    signal(SIGPIPE, SIG_IGN);  // a fake server writes on after its client has gone
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    CloseWhileTheServerTalks(false);
    CloseWhileTheServerTalks(true);
    if (!Ser2netServer::Binary().empty()) {
        for (auto kind : {Ser2netServer::Kind::RawTcp, Ser2netServer::Kind::Rfc2217}) {
            CloseThroughSer2net(kind, true);
            CloseThroughSer2net(kind, false);
        }
    }
    ControlBehindQueuedData();
    FloodWhileReadingNothing("WILL 99", {kIac, kWill, 99});
    FloodWhileReadingNothing("signature",
                             {kIac, kSb, kComPort, kServerOffset + kSignature, kIac, kSe});
    OptionPingPong();
}
