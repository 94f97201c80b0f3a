#include "serial/telnet_codec.h"

#include <string_view>

namespace telnet {

namespace {

constexpr std::string_view kOwnSignature = "Corvala";

void Command(uint8_t verb, uint8_t option, std::vector<uint8_t>& out) {
    out.insert(out.end(), {kIac, verb, option});
}

}  // namespace

ControlGroup GroupOf(uint8_t value) {
    if (value <= 3) return ControlGroup::Flow;  // 0 asks which one is set
    if (value <= 6) return ControlGroup::Break;
    if (value <= 9) return ControlGroup::Dtr;
    if (value <= 12) return ControlGroup::Rts;
    return ControlGroup::Other;
}

bool Codec::WeWant(uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool Codec::WeWantHim(uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

void Codec::Offer(std::vector<uint8_t>& out) {
    for (uint8_t option : {kBinary, kSuppressGoAhead, kComPort}) {
        if (m_options[option].us == Side::No) {
            m_options[option].us = Side::WantYes;
            Command(kWill, option, out);
        }
    }
    for (uint8_t option : {kBinary, kSuppressGoAhead}) {
        if (m_options[option].him == Side::No) {
            m_options[option].him = Side::WantYes;
            Command(kDo, option, out);
        }
    }
}

bool Codec::Negotiated() const {
    for (const Option& o : m_options) {
        if (o.us == Side::WantYes || o.him == Side::WantYes) return false;
    }
    return m_options[kComPort].us == Side::Yes;
}

bool Codec::ComPortRefused() const { return m_comPortRefused; }

const Answer& Codec::AnswerTo(uint8_t command, ControlGroup group) const {
    if (command == kSetControl) return m_controlAnswers[static_cast<size_t>(group)];
    static const Answer kNone;
    return command < m_answers.size() ? m_answers[command] : kNone;
}

void Codec::Escape(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
    out.reserve(out.size() + data.size());
    for (uint8_t b : data) {
        out.push_back(b);
        if (b == kIac) out.push_back(kIac);
    }
}

void Codec::Request(uint8_t command, std::span<const uint8_t> value, std::vector<uint8_t>& out) {
    out.insert(out.end(), {kIac, kSb, kComPort, command});
    Escape(value, out);
    out.insert(out.end(), {kIac, kSe});
}

void Codec::Receive(std::span<const uint8_t> in, std::vector<uint8_t>& data,
                    std::vector<uint8_t>& out) {
    for (uint8_t b : in) {
        switch (m_state) {
            case State::Data:
                if (b == kIac) {
                    m_state = State::Iac;
                } else {
                    data.push_back(b);
                }
                break;
            case State::Iac:
                if (b == kIac) {
                    data.push_back(b);
                    m_state = State::Data;
                } else if (b >= kWill && b <= kDont) {
                    m_verb = b;
                    m_state = State::Option;
                } else if (b == kSb) {
                    m_sub.clear();
                    m_subTooLong = false;
                    m_state = State::Sub;
                } else {
                    m_state = State::Data;  // NOP, GA, a stray SE and the like carry nothing here
                }
                break;
            case State::Option:
                OnOption(m_verb, b, out);
                m_state = State::Data;
                break;
            case State::Sub:
                if (b == kIac) {
                    m_state = State::SubIac;
                } else {
                    Gather(b);
                }
                break;
            case State::SubIac:
                if (b == kSe) {
                    if (!m_subTooLong) OnSubnegotiation(out);
                    m_state = State::Data;
                } else if (b == kIac) {
                    Gather(b);
                    m_state = State::Sub;
                } else {
                    // A command inside a subnegotiation breaks it (RFC 855): drop what was
                    // gathered and read the command.
                    m_state = State::Iac;
                    Receive(std::span<const uint8_t>(&b, 1), data, out);
                }
                break;
        }
    }
}

void Codec::Gather(uint8_t b) {
    if (m_sub.size() < kMaxSubnegotiation) {
        m_sub.push_back(b);
    } else {
        m_subTooLong = true;  // cut, it would say something else: dropped whole
    }
}

void Codec::OnOption(uint8_t verb, uint8_t option, std::vector<uint8_t>& out) {
    Option& o = m_options[option];
    if (o.replies >= kMaxOptionReplies) return;
    auto reply = [&](uint8_t answer) {
        ++o.replies;
        Command(answer, option, out);
    };
    switch (verb) {
        case kDo:  // the server asks us to use the option
            if (o.us == Side::WantYes) {
                o.us = Side::Yes;
            } else if (o.us == Side::No) {
                const bool take = WeWant(option);
                if (take) o.us = Side::Yes;
                reply(take ? kWill : kWont);
            }
            break;
        case kDont:
            if (option == kComPort && o.us != Side::No) m_comPortRefused = true;
            if (o.us == Side::Yes) reply(kWont);
            o.us = Side::No;
            break;
        case kWill:  // the server offers to use the option
            if (o.him == Side::WantYes) {
                o.him = Side::Yes;
            } else if (o.him == Side::No) {
                const bool take = WeWantHim(option);
                if (take) o.him = Side::Yes;
                reply(take ? kDo : kDont);
            }
            break;
        case kWont:
            if (o.him == Side::Yes) reply(kDont);
            o.him = Side::No;
            break;
    }
}

void Codec::OnSubnegotiation(std::vector<uint8_t>& out) {
    if (m_sub.size() < 2 || m_sub[0] != kComPort) return;  // another option's, or empty
    const uint8_t code = m_sub[1];
    if (code < kServerOffset) return;  // a client's subcommand; a server never sends one
    const uint8_t command = static_cast<uint8_t>(code - kServerOffset);
    const std::span<const uint8_t> value(m_sub.data() + 2, m_sub.size() - 2);
    if (command == kSignature && value.empty()) {
        // The server asks who we are.
        const std::string_view name = kOwnSignature;
        Request(kSignature, {reinterpret_cast<const uint8_t*>(name.data()), name.size()}, out);
        return;
    }
    if (command == kFlowControlSuspend || command == kFlowControlResume) {
        m_outputSuspended = command == kFlowControlSuspend;
        return;
    }
    if (command == kNotifyModemState && !value.empty()) {
        m_modemState = value[0];
        ++m_modemNotices;
    }
    Answer* answer = nullptr;
    if (command == kSetControl) {
        if (value.empty()) return;
        answer = &m_controlAnswers[static_cast<size_t>(GroupOf(value[0]))];
    } else if (command < m_answers.size()) {
        answer = &m_answers[command];
    } else {
        return;
    }
    ++answer->count;
    answer->value.assign(value.begin(), value.end());
}

}  // namespace telnet
