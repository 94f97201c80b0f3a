#include "serial/telnet_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace telnet;
using Bytes = std::vector<uint8_t>;

// What the codec makes of `in` fed in pieces cut after each offset of `cuts`.
struct Fed {
    Bytes data, out;
};
Fed Feed(Codec& codec, const Bytes& in, std::vector<size_t> cuts = {}) {
    Fed fed;
    size_t from = 0;
    cuts.push_back(in.size());
    for (size_t to : cuts) {
        codec.Receive({in.data() + from, to - from}, fed.data, fed.out);
        from = to;
    }
    return fed;
}

Bytes Sub(std::initializer_list<uint8_t> body) {
    Bytes b{kIac, kSb, kComPort};
    b.insert(b.end(), body);
    b.insert(b.end(), {kIac, kSe});
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// What ser2net 4 sends on connect, then in answer to the offer.
const Bytes kSer2netGreeting = {kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 1, kIac, kDont, 1,
                                kIac, kDo, 0, kIac, kWill, 0, kIac, kDo, kComPort};

TEST(TelnetCodec, NegotiatesWithSer2netAndRefusesWhatItDoesNotWant) {
    Codec codec;
    Bytes offer;
    codec.Offer(offer);
    EXPECT_EQ(offer, (Bytes{kIac, kWill, 0, kIac, kWill, 3, kIac, kWill, kComPort, kIac, kDo, 0,
                            kIac, kDo, 3}));
    EXPECT_FALSE(codec.Negotiated());
    const Fed fed = Feed(codec, kSer2netGreeting);
    EXPECT_TRUE(codec.Negotiated());
    // Only the echo it offers is turned down; its acknowledgements need no answer.
    EXPECT_EQ(fed.out, (Bytes{kIac, kDont, 1}));
    EXPECT_TRUE(fed.data.empty());
    // Asked again for what is on: no answer, or the two sides would loop.
    EXPECT_TRUE(Feed(codec, {kIac, kDo, 3, kIac, kWill, 0}).out.empty());
}

TEST(TelnetCodec, AnswersAServerThatAsksFirst) {
    struct Case {
        Bytes in, out;
    };
    for (const Case& c : {
             Case{{kIac, kDo, 24}, {kIac, kWont, 24}},      // terminal type: not ours
             Case{{kIac, kWill, 1}, {kIac, kDont, 1}},      // echo
             Case{{kIac, kDo, kComPort}, {kIac, kWill, kComPort}},
             Case{{kIac, kWill, 3}, {kIac, kDo, 3}},
             Case{{kIac, kDont, 5}, {}},                    // off already
             Case{{kIac, kWont, 5}, {}},
         }) {
        Codec codec;
        EXPECT_EQ(Feed(codec, c.in).out, c.out);
    }
}

// A server that answers each option command with a refusal and then an acceptance would
// draw replies for ever; each option gets a bounded number, the others are still answered.
TEST(TelnetCodec, AnOptionPingPongEnds) {
    Codec codec;
    Bytes said;
    codec.Offer(said);
    size_t replies = 0;
    for (int round = 0; round < 1000 && !said.empty(); ++round) {
        Bytes answer;
        for (size_t i = 0; i + 2 < said.size(); i += 3) {
            const bool will = said[i + 1] == kWill || said[i + 1] == kWont;
            answer.insert(answer.end(), {kIac, will ? kDont : kWont, said[i + 2], kIac,
                                         will ? kDo : kWill, said[i + 2]});
        }
        said = Feed(codec, answer).out;
        replies += said.size() / 3;
    }
    EXPECT_LE(replies, 3 * Codec::kMaxOptionReplies);
    EXPECT_EQ(Feed(codec, {kIac, kDo, 24}).out, (Bytes{kIac, kWont, 24}));
}

TEST(TelnetCodec, APlainTelnetServerIsToldApart) {
    Codec codec;
    Bytes offer;
    codec.Offer(offer);
    Feed(codec, {kIac, kDo, 0, kIac, kWill, 0, kIac, kDo, 3, kIac, kWill, 3, kIac, kDont, kComPort});
    EXPECT_TRUE(codec.ComPortRefused());
    EXPECT_FALSE(codec.Negotiated());
}

TEST(TelnetCodec, ASilentServerNeverCountsAsNegotiated) {
    Codec codec;
    Bytes offer;
    codec.Offer(offer);
    Feed(codec, {'l', 'o', 'g', 'i', 'n', ':', ' '});
    EXPECT_FALSE(codec.Negotiated());
    EXPECT_FALSE(codec.ComPortRefused());
}

TEST(TelnetCodec, DataSurvivesEveryCutOfItsEscapes) {
    // Every byte value, 0xFF doubled, and subcommands between them.
    Bytes data;
    for (int i = 0; i < 256; ++i) data.push_back(static_cast<uint8_t>(i));
    data.insert(data.end(), {0xFF, 0xFF, 0xFF});
    Bytes stream;
    Codec::Escape({data.data(), 128}, stream);
    stream = Cat({stream, Sub({107, 0x30}), {kIac, 241 /* NOP */}});
    Codec::Escape({data.data() + 128, data.size() - 128}, stream);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        for (size_t second : {cut, std::min(cut + 1, stream.size())}) {
            Codec codec;
            const Fed fed = Feed(codec, stream, {cut, second});
            ASSERT_EQ(fed.data, data) << "cut at " << cut << " and " << second;
            ASSERT_EQ(codec.ModemState(), 0x30);
        }
    }
}

TEST(TelnetCodec, AnswersAreKeptPerSubcommandAndControlGroup) {
    Codec codec;
    // Cut inside the value and inside the closing IAC SE; the baud rate holds an escaped 0xFF.
    const Bytes stream = Cat({Sub({101, 0x00, 0x00, 0xFF, 0xFF, 0x00}), Sub({105, kFlowNone}),
                              Sub({105, kDtrOn}), Sub({104, 2}), Sub({105, kRtsOff})});
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        Codec c;
        Feed(c, stream, {cut});
        ASSERT_EQ(c.AnswerTo(kSetBaudRate).value, (Bytes{0, 0, 0xFF, 0})) << cut;
        ASSERT_EQ(c.AnswerTo(kSetStopSize).value, Bytes{2});
        ASSERT_EQ(c.AnswerTo(kSetControl, ControlGroup::Flow).value, Bytes{kFlowNone});
        ASSERT_EQ(c.AnswerTo(kSetControl, ControlGroup::Dtr).value, Bytes{kDtrOn});
        ASSERT_EQ(c.AnswerTo(kSetControl, ControlGroup::Rts).value, Bytes{kRtsOff});
        ASSERT_EQ(c.AnswerTo(kSetControl, ControlGroup::Break).count, 0u);
    }
    Feed(codec, Cat({stream, Sub({101, 0, 0, 0x25, 0x80})}));
    EXPECT_EQ(codec.AnswerTo(kSetBaudRate).count, 2u);
    EXPECT_EQ(codec.AnswerTo(kSetBaudRate).value, (Bytes{0, 0, 0x25, 0x80}));
}

TEST(TelnetCodec, OddSubnegotiationsAreSurvived) {
    struct Case {
        const char* what;
        Bytes in;
        Bytes data;
    };
    Bytes overlong = {kIac, kSb, kComPort, 101};
    overlong.insert(overlong.end(), 1000, 7);
    overlong.insert(overlong.end(), {kIac, kSe, 'x'});
    for (const Case& c : {
             Case{"another option's", {kIac, kSb, 24, 1, kIac, kSe, 'a'}, {'a'}},
             Case{"empty", {kIac, kSb, kIac, kSe, 'b'}, {'b'}},
             Case{"a client's subcommand", Cat({Sub({1, 0, 0, 0, 1}), {'c'}}), {'c'}},
             Case{"cut by a command", {kIac, kSb, kComPort, 101, 0, kIac, kWill, 0, 'd'}, {'d'}},
             Case{"longer than kept", overlong, {'x'}},
             Case{"a stray SE", {kIac, kSe, 'e'}, {'e'}},
         }) {
        Codec codec;
        EXPECT_EQ(Feed(codec, c.in).data, c.data) << c.what;
        EXPECT_EQ(codec.AnswerTo(kSetBaudRate).count, 0u) << c.what;
    }
}

TEST(TelnetCodec, TheServerSuspendsAndResumesOutput) {
    Codec codec;
    EXPECT_FALSE(codec.OutputSuspended());
    Feed(codec, Sub({kServerOffset + kFlowControlSuspend}));
    EXPECT_TRUE(codec.OutputSuspended());
    Feed(codec, Sub({kServerOffset + kFlowControlResume}));
    EXPECT_FALSE(codec.OutputSuspended());
}

TEST(TelnetCodec, TellsItsNameWhenTheServerAsks) {
    Codec codec;
    const Fed fed = Feed(codec, Sub({100}));
    const Bytes name = {'C', 'o', 'r', 'v', 'a', 'l', 'a'};
    Bytes expected = {kIac, kSb, kComPort, kSignature};
    expected.insert(expected.end(), name.begin(), name.end());
    expected.insert(expected.end(), {kIac, kSe});
    EXPECT_EQ(fed.out, expected);
}

TEST(TelnetCodec, RequestsEscapeTheirValues) {
    Bytes out;
    Codec::Request(kSetBaudRate, Bytes{0, 0, 0xFF, 0xFF}, out);
    EXPECT_EQ(out, (Bytes{kIac, kSb, kComPort, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, kIac, kSe}));
}

TEST(TelnetCodec, RandomStreamsInRandomPiecesDecodeAsAWhole) {
    std::mt19937 random(2217);
    for (int round = 0; round < 200; ++round) {
        Bytes data(random() % 2000);
        for (uint8_t& b : data) b = random() % 4 == 0 ? 0xFF : static_cast<uint8_t>(random());
        Bytes stream;
        Codec::Escape(data, stream);
        std::vector<size_t> cuts;
        for (size_t at = 0; at < stream.size(); at += 1 + random() % 50) cuts.push_back(at);
        Codec codec;
        ASSERT_EQ(Feed(codec, stream, cuts).data, data);
    }
}

}  // namespace
