#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The client side of a Telnet connection to a serial server with Com Port Control (RFC 2217
// over RFC 854/855): option negotiation, data escaping and the com-port subcommands. Plain
// bytes in, plain bytes out; no sockets, no clock, no threads. Not thread-safe: its owner
// serialises the calls.
namespace telnet {

constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                  kSe = 240;
constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// Client-to-server com-port subcommands; the server answers each with the code + 100.
enum ComPortCommand : uint8_t {
    kSignature = 0,
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kFlowControlSuspend = 8,
    kFlowControlResume = 9,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
};
constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values.
enum Control : uint8_t {
    kFlowNone = 1,
    kFlowXonXoff = 2,
    kFlowHardware = 3,
    kBreakOn = 5,
    kBreakOff = 6,
    kDtrOn = 8,
    kDtrOff = 9,
    kRtsOn = 11,
    kRtsOff = 12,
};

// PURGE-DATA value: the server's buffer of data for the device.
constexpr uint8_t kPurgeOutput = 2;

// NOTIFY-MODEMSTATE bits of the inputs.
constexpr uint8_t kCts = 0x10, kDsr = 0x20, kRi = 0x40, kDcd = 0x80;

// The groups of SET-CONTROL whose answers are told apart by value.
enum class ControlGroup : uint8_t { Flow, Break, Dtr, Rts, Other };
ControlGroup GroupOf(uint8_t controlValue);

// A server's answer to one subcommand.
struct Answer {
    uint32_t count = 0;          // answers seen so far; a waiter compares it with its own
    std::vector<uint8_t> value;  // the last one's value
};

class Codec {
public:
    // Longest subnegotiation read; a longer one is dropped.
    static constexpr size_t kMaxSubnegotiation = 64;
    // Replies one option gets; a server that keeps changing its mind about it (refusing,
    // then taking it, for ever) is not answered beyond them.
    static constexpr uint32_t kMaxOptionReplies = 16;

    // What the client offers when the connection opens: BINARY and SUPPRESS-GO-AHEAD both
    // ways, and COM-PORT-OPTION from its side.
    void Offer(std::vector<uint8_t>& out);
    // Feeds received bytes in order, in chunks cut anywhere. Data bytes (IAC IAC made one)
    // go to `data`; replies the server is owed go to `out`.
    void Receive(std::span<const uint8_t> in, std::vector<uint8_t>& data, std::vector<uint8_t>& out);

    // True once every option offered was answered and the server took COM-PORT-OPTION.
    bool Negotiated() const;
    // True once the server refused COM-PORT-OPTION (a plain Telnet server).
    bool ComPortRefused() const;

    // The last answer to `command` (to a SET-CONTROL value of `group` for kSetControl).
    const Answer& AnswerTo(uint8_t command, ControlGroup group = ControlGroup::Other) const;
    // The modem state the server last told, if it has.
    std::optional<uint8_t> ModemState() const { return m_modemState; }
    uint32_t ModemNotices() const { return m_modemNotices; }
    // True between the server's FLOWCONTROL-SUSPEND and its FLOWCONTROL-RESUME: it takes no
    // data meanwhile.
    bool OutputSuspended() const { return m_outputSuspended; }

    // Appends `data` with every 0xFF doubled.
    static void Escape(std::span<const uint8_t> data, std::vector<uint8_t>& out);
    // Appends the subcommand IAC SB COM-PORT-OPTION command value IAC SE, value escaped.
    static void Request(uint8_t command, std::span<const uint8_t> value, std::vector<uint8_t>& out);

private:
    enum class State : uint8_t { Data, Iac, Option, Sub, SubIac };
    // RFC 1143's states, without the queue: each side of an option is off, asked for, or on.
    enum class Side : uint8_t { No, WantYes, Yes };
    struct Option {
        Side us = Side::No, him = Side::No;
        uint32_t replies = 0;
    };

    void OnOption(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);
    void OnSubnegotiation(std::vector<uint8_t>& out);
    void Gather(uint8_t b);  // one more byte of a subnegotiation
    static bool WeWant(uint8_t option);
    static bool WeWantHim(uint8_t option);

    State m_state = State::Data;
    uint8_t m_verb = 0;
    std::vector<uint8_t> m_sub;
    bool m_subTooLong = false;
    std::array<Option, 256> m_options{};
    bool m_comPortRefused = false;
    std::array<Answer, 13> m_answers{};
    std::array<Answer, 5> m_controlAnswers{};
    std::optional<uint8_t> m_modemState;
    uint32_t m_modemNotices = 0;
    bool m_outputSuspended = false;
};

}  // namespace telnet
