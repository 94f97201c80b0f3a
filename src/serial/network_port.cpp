#include "serial/network_port.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "serial/file_exception.h"
#include "serial/line_frame.h"
#include "serial/output_drain.h"
#include "serial/port_control.h"
#include "serial/tcp_connect.h"
#include "serial/ycom_file.h"

namespace {

using namespace telnet;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kBurstSilence{5};
constexpr size_t kEscapeSlice = 4096;   // data bytes escaped and sent at a time
constexpr milliseconds kPumpSlice{10};
// Data a control waiting for its answer keeps for a reader that is not reading (its queue is
// full); beyond it the control stops reading and may miss its answer.
constexpr size_t kPendingLimit = 1 << 20;

bool IsDropErrno(int e) {
    return e == ECONNRESET || e == EPIPE || e == ETIMEDOUT || e == EHOSTUNREACH ||
           e == ENETUNREACH || e == ENOTCONN || e == ECONNABORTED;
}

// The error pending on a socket that polled POLLERR; 0 for a plain hang-up.
int SocketError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 ? error : 0;
}

uint8_t StopCode(int stopBits) { return stopBits == 1 ? 3 : stopBits == 2 ? 2 : 1; }

uint8_t FlowCode(FlowControl flow) {
    switch (flow) {
        case FlowControl::RtsCts: return kFlowHardware;
        case FlowControl::XonXoff: return kFlowXonXoff;
        case FlowControl::None: break;
    }
    return kFlowNone;
}

void Signal(int eventFd) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(eventFd, &one, sizeof one);
}

// The printable part of what a server said, as the reason it gives for hanging up
// (ser2net: "Device open failure: …").
std::string Words(const std::vector<uint8_t>& said) {
    std::string words;
    for (uint8_t b : said) {
        if (words.size() >= 160) break;
        if (b >= 0x20 && b < 0x7F) words += static_cast<char>(b);
        else if (!words.empty() && words.back() != ' ') words += ' ';
    }
    while (!words.empty() && words.back() == ' ') words.pop_back();
    return words;
}

// How many data bytes the first `sent` bytes of their escaped form carry whole.
size_t DataBytesIn(const std::vector<uint8_t>& escaped, size_t sent) {
    size_t bytes = 0;
    for (size_t i = 0; i < sent; ++i, ++bytes) {
        if (escaped[i] != kIac) continue;
        if (i + 1 >= sent) break;  // its twin did not go
        ++i;
    }
    return bytes;
}

}  // namespace

NetworkPort::NetworkPort(const NetworkAddress& address, const LineSettings& line, int cancelFd)
    : m_address(address), m_strPath(NetworkPath(address)), m_line(line) {
    m_modemFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_pendingFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_epollFd = epoll_create1(EPOLL_CLOEXEC);
    try {
        if (m_modemFd < 0 || m_pendingFd < 0 || m_epollFd < 0)
            throw CFileException(m_strPath, errno, OpenStep::Connect);
        m_fd = ConnectTcp(m_strPath, address.host, address.port, Clock::now() + kConnectLimit,
                          cancelFd);
        epoll_event socket{.events = EPOLLIN | EPOLLRDHUP, .data = {}};
        epoll_event pending{.events = EPOLLIN, .data = {}};
        if (epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_fd, &socket) != 0 ||
            epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_pendingFd, &pending) != 0)
            throw CFileException(m_strPath, errno, OpenStep::Connect);
        if (IsRfc2217()) Negotiate(cancelFd);
    } catch (...) {
        Close();
        throw;
    }
}

NetworkPort::~NetworkPort() {
    if (!HungUp()) DrainBeforeClose();
    Close();
}

void NetworkPort::DrainBeforeClose() {
    // Closing with received bytes unread resets the connection, and the server drops what
    // it has not passed on yet: our end goes first and what comes is read until the
    // server's end, which comes once it has read all. Meanwhile the output counts as held for
    // its line time (the server's queue cannot be seen).
    const auto byteTime =
        std::max<Clock::duration>(LineTime(m_line, 1), std::chrono::microseconds(1));
    bool shut = false, ended = false;
    std::vector<uint8_t> sink(16384);
    const auto queued = [&]() -> int {
        while (!ended) {
            const ssize_t n = recv(m_fd, sink.data(), sink.size(), MSG_DONTWAIT);
            if (n > 0) continue;
            ended = n == 0 || (errno != EAGAIN && errno != EINTR);
            if (!ended) break;
        }
        if (ended) return 0;
        if (!shut) {
            std::lock_guard lock(m_sendMutex);
            while (!m_unsent.empty() && SendUnsent() > 0) {
            }
            shut = m_unsent.empty() && shutdown(m_fd, SHUT_WR) == 0;
        }
        int unsent = 0;
        ioctl(m_fd, SIOCOUTQ, &unsent);
        const auto lineLeft = std::max(m_lineBusyUntil - Clock::now(), Clock::duration::zero());
        return std::max({unsent, static_cast<int>(lineLeft / byteTime), 1});
    };
    WaitForOutputDrain(queued, m_line, YCOMFile::kMaxDrain);
}

void NetworkPort::Close() {
    for (int fd : {m_fd, m_epollFd, m_pendingFd, m_modemFd}) {
        if (fd >= 0) close(fd);
    }
}

void NetworkPort::Negotiate(int cancelFd) {
    std::vector<uint8_t> offer;
    {
        std::lock_guard lock(m_mutex);
        m_codec.Offer(offer);
    }
    SendControl(offer);
    const bool answered =
        PumpUntil([this] { return m_codec.Negotiated() || m_codec.ComPortRefused(); },
                  Clock::now() + kNegotiationLimit, cancelFd);
    // All at once, then every answer within one limit: a server that ignores some settings
    // costs one wait, not one per setting.
    std::vector<Request> requests;
    if (answered && !m_codec.ComPortRefused() && !HungUp()) {
        requests = LineRequests(m_line, true);
        SendRequests(requests);
        PumpUntil([&] { return Answered(requests); }, Clock::now() + kAnswerLimit, cancelFd);
    }
    // What came before the reader runs is dropped, as opening a local port empties its
    // queues; but a server that hung up often said why (ser2net: "Device open failure: …").
    std::lock_guard reading(m_readMutex);
    const std::vector<uint8_t> said = std::exchange(m_pending, {});
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = read(m_pendingFd, &count, sizeof count);
    if (HungUp()) throw CFileException(m_strPath, ECONNRESET, OpenStep::Negotiate, Words(said));
    if (!answered) throw CFileException(m_strPath, ETIMEDOUT, OpenStep::Negotiate);
    if (m_codec.ComPortRefused())
        throw CFileException(m_strPath, EPROTONOSUPPORT, OpenStep::Negotiate);

    std::lock_guard lock(m_mutex);
    m_bModemLines = Confirmed(requests[requests.size() - 2]) || Confirmed(requests.back());
}

std::vector<NetworkPort::Request> NetworkPort::LineRequests(const LineSettings& line,
                                                           bool withModemLines) {
    std::vector<Request> requests;
    auto ask = [&](uint8_t command, std::vector<uint8_t> value) {
        const ControlGroup group = command == kSetControl ? GroupOf(value[0]) : ControlGroup::Other;
        requests.push_back({command, group, std::move(value), 0});
    };
    const uint32_t b = line.baudRate;
    ask(kSetBaudRate, {static_cast<uint8_t>(b >> 24), static_cast<uint8_t>(b >> 16),
                       static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)});
    ask(kSetDataSize, {static_cast<uint8_t>(line.byteSize)});
    ask(kSetParity, {static_cast<uint8_t>(line.parity + 1)});  // none 1 … space 5
    ask(kSetStopSize, {StopCode(line.stopBits)});
    ask(kSetControl, {FlowCode(line.flow)});
    if (withModemLines) {
        ask(kSetControl, {line.dtr ? kDtrOn : kDtrOff});
        ask(kSetControl, {line.rts ? kRtsOn : kRtsOff});
    }
    return requests;
}

bool NetworkPort::SendRequests(std::vector<Request>& requests) {
    std::vector<uint8_t> out;
    {
        std::lock_guard lock(m_mutex);
        for (Request& r : requests) {
            r.answersBefore = m_asked[{r.command, r.group}]++;
            Codec::Request(r.command, r.value, out);
        }
    }
    return SendControl(out);
}

bool NetworkPort::Confirmed(const Request& r) const {
    const Answer& answer = m_codec.AnswerTo(r.command, r.group);
    return answer.count > r.answersBefore && answer.value == r.value;
}

bool NetworkPort::Answered(const std::vector<Request>& requests) const {
    return std::all_of(requests.begin(), requests.end(), [this](const Request& r) {
        return m_codec.AnswerTo(r.command, r.group).count > r.answersBefore;
    });
}

bool NetworkPort::AwaitConfirmation(const std::vector<Request>& requests) {
    // A server answers in order, after the data written before: that first has its line time.
    const auto deadline = std::max(Clock::now(), m_lineBusyUntil) + kAnswerLimit;
    PumpUntil([&] { return Answered(requests); }, deadline, m_stopFd);
    std::lock_guard lock(m_mutex);
    return std::all_of(requests.begin(), requests.end(),
                       [this](const Request& r) { return Confirmed(r); });
}

int NetworkPort::Ask(std::vector<Request> requests) {
    if (!SendRequests(requests) || HungUp()) return EIO;
    try {
        if (AwaitConfirmation(requests)) return 0;
    } catch (const CFileException&) {
        return ECANCELED;  // the port is closing: nobody waits for the answer
    }
    if (HungUp()) return EIO;
    // No answer: the server has no such control. A different one: it kept another setting.
    std::lock_guard lock(m_mutex);
    for (const Request& r : requests) {
        if (m_codec.AnswerTo(r.command, r.group).count <= r.answersBefore) return ETIMEDOUT;
    }
    return EINVAL;
}

int NetworkPort::ApplyLine(const LineSettings& line) {
    if (!IsRfc2217()) return EOPNOTSUPP;
    const int error = Ask(LineRequests(line, false));
    if (error == 0) m_line = line;
    return error;
}

int NetworkPort::SetModemLine(ModemLine line, bool on) {
    if (!m_bModemLines) return ENOTTY;
    const bool dtr = line == ModemLine::Dtr;
    const uint8_t value = dtr ? (on ? kDtrOn : kDtrOff) : (on ? kRtsOn : kRtsOff);
    return Ask({{kSetControl, GroupOf(value), {value}, 0}});
}

int NetworkPort::GetModemStatus(ModemStatus& status) {
    if (!m_bModemLines) return ENOTTY;
    if (HungUp()) return EIO;
    std::lock_guard lock(m_mutex);
    const uint8_t inputs = m_codec.ModemState().value_or(0);
    status = {.cts = (inputs & kCts) != 0,
              .dsr = (inputs & kDsr) != 0,
              .dcd = (inputs & kDcd) != 0,
              .ri = (inputs & kRi) != 0,
              .dtr = m_bDtr,
              .rts = m_bRts};
    return 0;
}

int NetworkPort::SendBreak(std::chrono::milliseconds length, int wakeFd) {
    if (!IsRfc2217()) return ENOTTY;
    std::vector<uint8_t> on, off;
    Codec::Request(kSetControl, std::vector<uint8_t>{kBreakOn}, on);
    Codec::Request(kSetControl, std::vector<uint8_t>{kBreakOff}, off);
    if (!SendControl(on)) return EIO;
    SleepUnlessWoken(length, wakeFd);
    return SendControl(off) ? 0 : EIO;  // put back also when cut short
}

int NetworkPort::WaitModemChange() {
    if (!m_bModemLines) return ENOTTY;
    pollfd fd{m_modemFd, POLLIN, 0};
    if (poll(&fd, 1, -1) < 0) return errno;  // EINTR: asked to stop
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = read(m_modemFd, &count, sizeof count);
    return HungUp() ? EIO : 0;
}

void NetworkPort::DiscardOutput() {
    if (!IsRfc2217() || HungUp()) return;
    std::vector<uint8_t> purge;
    Codec::Request(kPurgeData, std::vector<uint8_t>{kPurgeOutput}, purge);
    SendControl(purge);
}

template <class Done>
bool NetworkPort::PumpUntil(Done done, Clock::time_point deadline, int cancelFd) {
    std::vector<uint8_t> raw(4096), data;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (done()) return true;
        }
        if (HungUp() || Clock::now() >= deadline) return false;
        // A command left half sent is what the answer waits for.
        if (std::unique_lock sending(m_sendMutex, std::try_to_lock); sending && !m_unsent.empty())
            SendUnsent();
        pollfd cancel{cancelFd, POLLIN, 0};
        if (cancelFd >= 0 && poll(&cancel, 1, 0) > 0)
            throw CFileException(m_strPath, ECANCELED, OpenStep::Negotiate);
        // In slices, so a reader that wakes meanwhile never waits long for the socket.
        const auto slice = std::min(deadline, Clock::now() + kPumpSlice);
        std::unique_lock reading(m_readMutex, std::try_to_lock);
        // The reader is reading and decodes the answer; or it is not, and what this read for
        // it is all it may hold.
        if (!reading || m_pending.size() >= kPendingLimit) {
            if (reading) reading.unlock();
            std::unique_lock lock(m_mutex);
            m_answered.wait_until(lock, slice);
            continue;
        }
        const int revents = PollUntil(m_fd, POLLIN, slice, cancelFd);
        if (revents < 0) throw CFileException(m_strPath, ECANCELED, OpenStep::Negotiate);
        if (revents == 0) continue;
        const ssize_t n = recv(m_fd, raw.data(), raw.size(), MSG_DONTWAIT);
        if (n > 0) {
            data.clear();
            Decode(raw.data(), static_cast<size_t>(n), data);
            if (!data.empty()) {
                m_pending.insert(m_pending.end(), data.begin(), data.end());
                Signal(m_pendingFd);
            }
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            MarkHungUp(n == 0 ? 0 : errno);
        }
    }
}

uint32_t NetworkPort::TakePending(uint8_t* buffer, uint32_t count) {
    const size_t n = std::min<size_t>(count, m_pending.size());
    if (n == 0) return 0;
    std::copy_n(m_pending.begin(), n, buffer);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(n));
    if (m_pending.empty()) {
        uint64_t signalled = 0;
        [[maybe_unused]] ssize_t r = read(m_pendingFd, &signalled, sizeof signalled);
    }
    return static_cast<uint32_t>(n);
}

void NetworkPort::Decode(const uint8_t* raw, size_t n, std::vector<uint8_t>& data) {
    std::vector<uint8_t> owed;
    bool modemChanged = false;
    {
        std::lock_guard lock(m_mutex);
        m_codec.Receive({raw, n}, data, owed);
        // The outputs are as the server last confirmed them, also when its answer came late.
        for (auto [group, flag, on] : {std::tuple{ControlGroup::Dtr, &m_bDtr, kDtrOn},
                                       std::tuple{ControlGroup::Rts, &m_bRts, kRtsOn}}) {
            const Answer& answer = m_codec.AnswerTo(kSetControl, group);
            if (answer.count == 0 || answer.value.empty()) continue;
            const bool was = *flag;
            if (answer.value[0] == on || answer.value[0] == on + 1) *flag = answer.value[0] == on;
            modemChanged |= *flag != was;
        }
        const uint8_t inputs = m_codec.ModemState().value_or(0) & (kCts | kDsr | kRi | kDcd);
        modemChanged |= inputs != m_postedModem;
        m_postedModem = inputs;
    }
    m_answered.notify_all();
    if (modemChanged) Signal(m_modemFd);
    if (!owed.empty()) SendControl(owed);
}

uint32_t NetworkPort::ReadComm(uint8_t* buffer, uint32_t count, int wakeFd) {
    if (count == 0) return 0;
    const auto deadline = Clock::now() + milliseconds(count);
    std::lock_guard reading(m_readMutex);
    uint32_t total = TakePending(buffer, count);
    bool heard = total > 0;
    while (total < count) {
        const size_t room = count - total;
        ssize_t n;
        if (IsRfc2217()) {
            // Decoding never makes more data than it reads, so `room` bytes always fit.
            m_received.resize(room);
            n = recv(m_fd, m_received.data(), room, MSG_DONTWAIT);
            if (n > 0) {
                m_decoded.clear();
                Decode(m_received.data(), static_cast<size_t>(n), m_decoded);
                std::copy(m_decoded.begin(), m_decoded.end(), buffer + total);
                total += static_cast<uint32_t>(m_decoded.size());
            }
        } else {
            n = recv(m_fd, buffer + total, room, MSG_DONTWAIT);
            if (n > 0) total += static_cast<uint32_t>(n);
        }
        if (n > 0) {
            heard = true;
            if (total == count) break;
        } else if (n == 0) {
            MarkHungUp(0);  // the server closed the connection
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN) {
            MarkHungUp(errno);
            break;
        } else if (!heard) {
            return 0;
        }
        const auto left = std::min<Clock::duration>(kBurstSilence, deadline - Clock::now());
        if (left <= Clock::duration::zero()) break;
        const int revents = PollUntil(m_fd, POLLIN, Clock::now() + left, wakeFd);
        if (revents <= 0) break;  // silence, or asked to stop
        if ((revents & (POLLHUP | POLLERR)) && !(revents & POLLIN)) {
            MarkHungUp(SocketError(m_fd));
            break;
        }
    }
    return total;
}

bool NetworkPort::WriteComm(const uint8_t* buffer, uint32_t count, uint32_t* written, int wakeFd) {
    size_t done = 0;
    bool ok = true;
    if (!IsRfc2217()) {
        ok = Send(buffer, count, Piecing::Raw, wakeFd, &done);
    } else {
        std::vector<uint8_t> escaped;
        while (done < count) {
            if (!WaitWhileSuspended(wakeFd)) {
                ok = !HungUp();
                break;
            }
            const size_t slice = std::min<size_t>(kEscapeSlice, count - done);
            escaped.clear();
            Codec::Escape({buffer + done, slice}, escaped);
            size_t sent = 0;
            ok = Send(escaped.data(), escaped.size(), Piecing::Escaped, wakeFd, &sent);
            if (sent < escaped.size()) {
                done += DataBytesIn(escaped, sent);
                break;
            }
            done += slice;
        }
    }
    m_lineBusyUntil =
        std::max(Clock::now(), m_lineBusyUntil) + LineTime(m_line, static_cast<int64_t>(done));
    if (written) *written = static_cast<uint32_t>(done);
    return ok;
}

bool NetworkPort::WaitWhileSuspended(int wakeFd) {
    try {
        return PumpUntil([this] { return !m_codec.OutputSuspended(); },
                         Clock::now() + kWritePatience, wakeFd);
    } catch (const CFileException&) {
        return false;  // woken
    }
}

bool NetworkPort::Send(const uint8_t* bytes, size_t n, Piecing piecing, int wakeFd, size_t* sent) {
    size_t done = 0;
    bool ok = true;
    bool midPair = false;  // the last byte sent is an escaping 0xFF whose twin has not gone
    auto lastProgress = Clock::now();
    std::unique_lock lock(m_sendMutex, std::defer_lock);
    while (done < n) {
        if (!lock.owns_lock()) lock.lock();
        if (HungUp()) {  // perhaps with a command cut short: nothing may follow it
            ok = false;
            break;
        }
        // Commands go between pieces, never into an escaped pair.
        const bool command = !midPair && !m_unsent.empty();
        const ssize_t r = command ? SendUnsent()
                                  : send(m_fd, bytes + done, n - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (r > 0) {
            if (!command) {
                if (piecing == Piecing::Escaped) {
                    for (size_t i = done; i < done + static_cast<size_t>(r); ++i)
                        midPair = midPair ? false : bytes[i] == kIac;
                }
                done += static_cast<size_t>(r);
            }
            lastProgress = Clock::now();
            if (!midPair) lock.unlock();
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) {
            if (IsDropErrno(errno)) MarkHungUp(errno);
            ok = false;
            break;
        }
        if (midPair) {
            // The twin is owed before any other byte, as a command's rest is: it waits with
            // them, so the byte counts as sent and no wait holds the lock or ends the
            // connection. Nothing is unsent: commands never go inside a pair.
            m_unsent.push_back(kIac);
            ++done;
            midPair = false;
        }
        lock.unlock();
        const int revents = PollUntil(m_fd, POLLOUT, lastProgress + kWritePatience, wakeFd);
        // Held off, or asked to stop: what went out went out, and the caller writes the rest.
        if (revents <= 0) break;
        if (revents & (POLLHUP | POLLERR)) {
            MarkHungUp(SocketError(m_fd));
            ok = false;
            break;
        }
    }
    *sent = done;
    return ok;
}

ssize_t NetworkPort::SendUnsent() {
    const ssize_t r = send(m_fd, m_unsent.data(), m_unsent.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (r > 0) m_unsent.erase(m_unsent.begin(), m_unsent.begin() + r);
    return r;
}

bool NetworkPort::SendControl(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(m_sendMutex);
    if (HungUp()) return false;
    m_unsent.insert(m_unsent.end(), bytes.begin(), bytes.end());
    if (m_unsent.size() > kUnsentLimit) {  // a server that asks and never reads
        MarkHungUp(ETIMEDOUT);
        return false;
    }
    auto lastProgress = Clock::now();
    while (!m_unsent.empty()) {
        const ssize_t r = SendUnsent();
        if (r > 0) {
            lastProgress = Clock::now();
        } else if (r < 0 && errno != EAGAIN && errno != EINTR) {
            if (IsDropErrno(errno)) MarkHungUp(errno);
            return false;
        } else if (r < 0 && errno == EAGAIN) {
            const int revents = PollUntil(m_fd, POLLOUT, lastProgress + kAnswerLimit, -1);
            if (revents == 0) break;  // the rest goes before anything else
            if (revents & (POLLHUP | POLLERR)) {
                MarkHungUp(SocketError(m_fd));
                return false;
            }
        }
    }
    return true;
}

void NetworkPort::MarkHungUp(int error) {
    int untold = -1;  // the first hang-up told is the cause
    m_hangUpError.compare_exchange_strong(untold, error);
    m_bHungUp = true;
    Signal(m_modemFd);
    m_answered.notify_all();
}
