#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/line_settings.h"
#include "serial/network_address.h"
#include "serial/serial_port.h"
#include "serial/telnet_codec.h"

// A port a serial server offers over TCP: with RFC 2217 (the line, flow control, DTR, RTS,
// break and the modem inputs travel as Telnet subcommands) or raw (bytes only; the server
// owns the line). Exists only while connected: construction connects and negotiates,
// destruction lets what was written go out (bounded as a local port's closing is) and closes
// the connection.
//
// Thread rules: those of SerialPort. Whoever holds m_readMutex reads the socket and decodes
// it (data, and the server's answers and modem notices, under m_mutex): the reader thread in
// ReadComm, or a control on the writer thread waiting for its answer while the reader is not
// reading (a full queue). Data such a control reads waits in m_pending for the reader, whose
// descriptor (an epoll set of the socket and m_pendingFd) then wakes it. Bytes go out under
// m_sendMutex, never splitting an escaped 0xFF from its twin, so commands (replies owed to the
// server, requests) can go between a write's pieces; a command the socket took only part of
// keeps the rest in m_unsent, which goes before any other byte.
// Lock order: m_readMutex before m_mutex or m_sendMutex; those two are never held together.
class NetworkPort final : public SerialPort {
public:
    // Looking up and connecting, and then negotiating, may each take this long.
    static constexpr std::chrono::seconds kConnectLimit{5};
    static constexpr std::chrono::seconds kNegotiationLimit{5};
    // How long a server has to answer a subcommand once the data written before it has had
    // its line time; one that does not (ser2net on a port without modem lines never does)
    // has no such control. An answer to DTR or RTS that comes later is still taken.
    static constexpr std::chrono::milliseconds kAnswerLimit{1000};
    // Commands a server that reads nothing may leave unsent; beyond them it is hung up.
    static constexpr size_t kUnsentLimit = 64 * 1024;

    // Connects to `address` and, for RFC 2217, negotiates and sends `line`. A setting the
    // server does not confirm leaves the port open, as a local driver's refusal does; DTR and
    // RTS that nothing confirms make a port without modem lines. Throws CFileException (see
    // OpenSerialPort); ECANCELED as soon as `cancelFd` (if not -1) becomes readable.
    NetworkPort(const NetworkAddress& address, const LineSettings& line, int cancelFd);
    ~NetworkPort() override;
    NetworkPort(const NetworkPort&) = delete;
    NetworkPort& operator=(const NetworkPort&) = delete;

    const std::string& Path() const override { return m_strPath; }
    int PollFd() const override { return m_epollFd; }
    int HangUpFd() const override { return m_fd; }  // the epoll set reports no hang-up
    uint32_t ReadComm(uint8_t* buffer, uint32_t count, int wakeFd) override;
    bool WriteComm(const uint8_t* buffer, uint32_t count, uint32_t* written, int wakeFd) override;
    bool HungUp() const override { return m_bHungUp.load(); }
    int HangUpError() const override { return std::max(0, m_hangUpError.load()); }

    // Raw ports have none of these: EOPNOTSUPP for the line, ENOTTY for the rest.
    int ApplyLine(const LineSettings& line) override;
    int SetModemLine(ModemLine line, bool on) override;
    int GetModemStatus(ModemStatus& status) override;
    int SendBreak(std::chrono::milliseconds length, int wakeFd) override;
    int WaitModemChange() override;
    // Asks the server to drop the data it still holds for the device (PURGE-DATA).
    void DiscardOutput() override;
    void SetStopFd(int fd) override { m_stopFd = fd; }

private:
    using Clock = std::chrono::steady_clock;
    // A subcommand sent, and the answer that confirms it.
    struct Request {
        uint8_t command;
        telnet::ControlGroup group;
        std::vector<uint8_t> value;
        // Answers owed to the requests of its kind sent before it: a server answers in
        // order, so one that gave up waiting still takes its answer when it comes late.
        uint32_t answersBefore;
    };
    enum class Piecing : uint8_t { Escaped, Raw };

    bool IsRfc2217() const { return m_address.kind == NetworkKind::Rfc2217; }
    void Negotiate(int cancelFd);
    // The subcommands that set `line` (and DTR and RTS `withModemLines`), in the RFC's order.
    std::vector<Request> LineRequests(const LineSettings& line, bool withModemLines);
    // Sends `requests` at once; false when the connection failed.
    bool SendRequests(std::vector<Request>& requests);
    // Waits for an answer to each of `requests`, all within kAnswerLimit after the line time
    // of the data written before them; the reader thread decodes them. True when each came
    // and says what was asked.
    bool AwaitConfirmation(const std::vector<Request>& requests);
    bool Answered(const std::vector<Request>& requests) const;  // m_mutex held
    bool Confirmed(const Request& request) const;              // m_mutex held
    int Ask(std::vector<Request> requests);  // sends, awaits: 0 or the errno
    // Until `done` (asked under m_mutex) holds, reads and decodes what comes while the
    // reader does not, or waits while it does. False at `deadline` or once the connection has
    // gone; throws CFileException ECANCELED when `cancelFd` (if not -1) becomes readable.
    template <class Done>
    bool PumpUntil(Done done, Clock::time_point deadline, int cancelFd);
    // Moves up to `count` bytes of m_pending to `buffer`; m_readMutex held.
    uint32_t TakePending(uint8_t* buffer, uint32_t count);
    // Decodes `raw` under m_mutex, data into `data`, and sends what the server is owed.
    void Decode(const uint8_t* raw, size_t n, std::vector<uint8_t>& data);
    // Waits while the server has suspended our output, at most kWritePatience; false then,
    // once `wakeFd` woke it or once the connection has gone.
    bool WaitWhileSuspended(int wakeFd);
    // Sends data under m_sendMutex, let go between pieces, for Escaped data never inside an
    // escaped 0xFF pair; m_unsent goes first. False when the connection fails; a server whose
    // line drains slowly takes nothing for minutes, which is no failure: after kWritePatience
    // without progress, or once `wakeFd` is readable, it ends short; `sent` tells how much went.
    bool Send(const uint8_t* bytes, size_t n, Piecing piecing, int wakeFd, size_t* sent);
    // Queues a command behind m_unsent and sends what it can within kAnswerLimit; the rest
    // goes before anything else. False once the connection has gone.
    bool SendControl(const std::vector<uint8_t>& bytes);
    ssize_t SendUnsent();  // m_sendMutex held; what went, or -1 with errno, without waiting
    // Closing: what is unsent goes, then our end, and what the server sends is read and
    // dropped until it ends too or the output's drain time has passed.
    void DrainBeforeClose();
    void MarkHungUp(int error);  // the errno the connection went with; 0: the server closed it
    void Close();

    NetworkAddress m_address;
    std::string m_strPath;
    LineSettings m_line;  // writer thread only, after construction
    // When the line ends sending what was written so far, by its rate; writer thread only.
    Clock::time_point m_lineBusyUntil;
    int m_fd = -1;
    int m_modemFd = -1;    // eventfd: the inputs changed, or the connection went
    int m_pendingFd = -1;  // eventfd: readable while m_pending holds data
    int m_epollFd = -1;    // the socket and m_pendingFd: what the reader polls

    std::mutex m_readMutex;
    std::vector<uint8_t> m_pending;  // guarded by m_readMutex
    std::vector<uint8_t> m_received, m_decoded;  // guarded by m_readMutex

    std::mutex m_mutex;
    std::condition_variable m_answered;
    telnet::Codec m_codec;            // guarded by m_mutex
    std::map<std::pair<uint8_t, telnet::ControlGroup>, uint32_t> m_asked;  // guarded by m_mutex
    uint8_t m_postedModem = 0;        // guarded by m_mutex: the inputs last told
    bool m_bDtr = false, m_bRts = false;  // guarded by m_mutex: as the server confirmed them
    bool m_bModemLines = false;       // fixed after construction

    int m_stopFd = -1;  // ends a control's wait; changed only while no thread uses the port
    std::mutex m_sendMutex;
    std::vector<uint8_t> m_unsent;  // guarded by m_sendMutex
    std::atomic<int> m_hangUpError{-1};  // -1 until hung up; set before m_bHungUp
    std::atomic<bool> m_bHungUp{false};
};
