#include "receive/text_finder.h"

#include <gtest/gtest.h>

#include <random>

#include "receive/find_session.h"

namespace {

constexpr size_t npos = TextFinder::npos;

// Every start of `needle` in `text`, the plain way, after folding ASCII letters if asked.
std::vector<size_t> PlainMatches(std::u16string text, std::u16string needle, bool fold) {
    auto lower = [](std::u16string& s) {
        for (char16_t& c : s) c = c >= u'A' && c <= u'Z' ? c + 32 : c;
    };
    if (fold) lower(text), lower(needle);
    std::vector<size_t> out;
    for (size_t i = text.find(needle); i != std::u16string::npos; i = text.find(needle, i + 1)) out.push_back(i);
    return out;
}

// A text in many pieces over 16-byte arena blocks: Latin-1, runs of hex pairs (kept one
// byte a pair), wide characters and edits, so matches cross every kind of border.
ReceiveDocument RandomDocument(std::mt19937& random) {
    ReceiveDocument d(4);
    const char* alphabet = "aAbB \r\n\xE9";
    for (int piece = 0; piece < 60; ++piece) {
        switch (random() % 4) {
            case 0: {
                std::string s(random() % 12, ' ');
                for (char& c : s) c = alphabet[random() % 8];
                d.AppendLatin1(s);
                break;
            }
            case 1: {
                std::string hex;
                for (size_t n = 8 + random() % 8; n > 0; --n) hex += random() % 2 ? "0A " : "AB ";
                d.AppendLatin1(hex);
                break;
            }
            case 2: d.AppendUtf16(random() % 2 ? u"中a" : u"\U0001F600A"); break;
            default: d.Replace(random() % (d.Size() + 1), random() % 3, random() % 2 ? u"Ab" : u"中"); break;
        }
    }
    return d;
}

std::u16string RandomNeedle(std::mt19937& random, const std::u16string& text) {
    static const char16_t* const kCommon[] = {u"ab", u"0A AB", u"中a", u"\r\n", u"aA"};
    if (random() % 4 == 0) return kCommon[random() % 5];
    const size_t at = random() % text.size();
    return text.substr(at, 1 + random() % 5);
}

TEST(TextFinder, FindsWhatAPlainSearchFindsAcrossPiecesAndBlocks) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const ReceiveDocument d = RandomDocument(random);
        const ReceiveText text = d.Snapshot();
        const std::u16string plain = text.ToUtf16();
        const bool fold = random() % 2;
        const std::u16string needle = RandomNeedle(random, plain);
        const std::vector<size_t> all = PlainMatches(plain, needle, fold);
        TextFinder finder(FindPattern::Text(needle, !fold), 1 + random() % 16);
        size_t from = random() % (plain.size() + 1), to = random() % (plain.size() + 1);
        if (from > to) std::swap(from, to);
        auto first = std::lower_bound(all.begin(), all.end(), from);
        auto end = std::lower_bound(all.begin(), all.end(), to);
        SCOPED_TRACE(testing::Message() << "round " << round << ", [" << from << ", " << to << ")");
        EXPECT_EQ(finder.First(text, from, to), first < end ? *first : npos);
        EXPECT_EQ(finder.Last(text, from, to), first < end ? *(end - 1) : npos);
        EXPECT_EQ(finder.Count(text, from, to), static_cast<uint64_t>(end - first));
        EXPECT_EQ(finder.Count(text, 0, plain.size()), all.size());
    }
}

TEST(TextFinder, CaseFoldsAsciiLettersOnly) {
    const ReceiveText text = ReceiveText::FromUtf16(u"Ok OK ok \u00C9\u00E9 \u00E9");
    EXPECT_EQ(TextFinder(FindPattern::Text(u"ok", false)).Count(text, 0, text.Size()), 3u);
    EXPECT_EQ(TextFinder(FindPattern::Text(u"ok", true)).Count(text, 0, text.Size()), 1u);
    EXPECT_EQ(TextFinder(FindPattern::Text(u"\u00E9", false)).Count(text, 0, text.Size()), 2u);
}

TEST(TextFinder, BytesMatchAsTheAreaShowsThem) {
    const ReceiveText hex = ReceiveText::FromLatin1("41 0D 0A 0D 0A 0D 0A 42 43 44 \r\n0D ");
    // Stamped hex: only the received pairs are bytes, never the stamps' digits.
    const ReceiveText stamped = ReceiveText::FromLatin1(
        "\r\n2024-01-01 12:33:20.333\r\n01 12 33 \r\n\r\n2024-01-01 20:01:12.120\r\n20 01 \r\n0D");
    const ReceiveText chars = ReceiveText::FromLatin1("A\r\nB\r\n\r");
    const ReceiveText decoded = ReceiveText::FromUtf16(u"温度 中\r\n中文");
    using enum TextEncoding;
    const struct {
        std::vector<uint8_t> bytes;
        bool pairs;
        TextEncoding encoding;
        const ReceiveText& text;
        uint64_t count;
        size_t first;
    } cases[] = {
        {{0x0D, 0x0A}, true, Bytes, hex, 3, 3},   // "0D 0A", also where the pairs are kept compact
        {{0x0D}, true, Bytes, hex, 4, 3},         // also the lone pair on the last line
        {{0x0A, 0x42}, true, Bytes, hex, 1, 18},  // across the space between pairs
        {{0x0D, 0x0A}, true, Utf8, hex, 3, 3},    // hex shows pairs whatever the encoding
        {{0x20}, true, Bytes, stamped, 1, 65},
        {{0x01, 0x12}, true, Bytes, stamped, 1, 27},
        {{0x33}, true, Bytes, stamped, 1, 33},
        {{0x12, 0x33}, true, Bytes, stamped, 1, 30},
        {{0x0D}, true, Bytes, stamped, 0, npos},   // its space has not come yet
        {{0x0D, 0x0A}, false, Bytes, hex, 1, 30},  // the line break, not the pairs
        {{0x0D, 0x0A}, false, Bytes, chars, 2, 1},
        {{0x41}, false, Bytes, chars, 1, 0},
        {{0xE4, 0xB8, 0xAD}, false, Utf8, decoded, 2, 3},  // 中 as UTF-8 shows it
        {{0xD6, 0xD0, 0x0D, 0x0A}, false, Gb18030, decoded, 1, 3},
        {{0xE4, 0xB8, 0xAD}, false, Bytes, decoded, 0, TextFinder::npos},
    };
    for (const auto& c : cases) {
        // What is around a match may lie in the chunk before or after it.
        for (size_t chunk : {size_t{1} << 16, size_t{1}, size_t{4}}) {
            TextFinder finder(*FindPattern::Bytes(c.bytes, c.pairs, c.encoding), chunk);
            SCOPED_TRACE(testing::Message() << c.text.Size() << " characters, chunk " << chunk);
            EXPECT_EQ(finder.Count(c.text, 0, c.text.Size()), c.count);
            EXPECT_EQ(finder.First(c.text, 0, c.text.Size()), c.first);
            EXPECT_EQ(finder.Last(c.text, 0, c.text.Size()) != npos, c.count > 0);
        }
    }
}

// Shown as characters, only whole ones can be found: bytes that begin or end inside one, or
// are not a character at all, make no pattern rather than one that finds nothing.
TEST(TextFinder, BytesThatAreNoWholeCharacterMakeNoPattern) {
    const struct {
        std::vector<uint8_t> bytes;
        TextEncoding encoding;
    } cases[] = {
        {{0xE4, 0xB8}, TextEncoding::Utf8},        // ends inside 中
        {{0xB8, 0xAD}, TextEncoding::Utf8},        // begins inside it
        {{0x41, 0xFF, 0x42}, TextEncoding::Utf8},  // no character at all
        {{0xD6}, TextEncoding::Gb18030},
        {{0x81, 0x30, 0x81}, TextEncoding::Gb18030},  // three of a four-byte character
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(FindPattern::Bytes(c.bytes, false, c.encoding)) << c.bytes.size();
        EXPECT_TRUE(FindPattern::Bytes(c.bytes, true, c.encoding)) << "as pairs they are found";
    }
}

// Runs the session to its end, a slice at a time.
void Finish(FindSession& s, const ReceiveText& text) {
    while (s.Step(text, FindSession::Clock::time_point{})) {
    }
}

TEST(FindSession, SeeksRoundTheEndCountsAndNumbersAsAPlainSearch) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        const ReceiveDocument d = RandomDocument(random);
        const ReceiveText text = d.Snapshot();
        const std::u16string plain = text.ToUtf16();
        const std::u16string needle = RandomNeedle(random, plain);
        const std::vector<size_t> all = PlainMatches(plain, needle, false);
        FindSession s(FindPattern::Text(needle, true), 1 + random() % 4);
        const size_t from = random() % (plain.size() + 1);
        const bool forward = random() % 2;
        s.Seek(text, from, forward);
        Finish(s, text);
        SCOPED_TRACE(testing::Message() << "round " << round << ", from " << from << (forward ? " on" : " back"));
        std::optional<size_t> expected;
        if (!all.empty()) {
            auto after = std::lower_bound(all.begin(), all.end(), from);
            if (forward) expected = after != all.end() ? *after : all.front();
            else expected = after != all.begin() ? *(after - 1) : all.back();
        }
        EXPECT_EQ(s.Found(), expected);
        EXPECT_TRUE(s.Counted());
        EXPECT_EQ(s.Count(), all.size());
        for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(s.Number(all[i]), i + 1);
    }
}

TEST(FindSession, CountsWhatArrivesWhileItCountsAndStartsAgainAfterAnEdit) {
    ReceiveDocument d(4);
    FindSession s(FindPattern::Text(u"abc", true), 2);
    for (int i = 0; i < 200; ++i) {
        d.AppendLatin1(i % 3 ? "xab" : "cab");  // matches are cut by the appends
        s.Step(d.Snapshot(), FindSession::Clock::time_point{});
    }
    Finish(s, d.Snapshot());
    const std::u16string plain = d.Snapshot().ToUtf16();
    EXPECT_EQ(s.Count(), PlainMatches(plain, u"abc", false).size());
    s.Seek(d.Snapshot(), 0, true);
    Finish(s, d.Snapshot());
    ASSERT_EQ(s.Found(), plain.find(u"abc"));

    d.Replace(0, 20, u"abc");
    s.Step(d.Snapshot(), FindSession::Clock::time_point{});
    EXPECT_EQ(s.Found(), std::nullopt);  // it was in the text before the edit
    Finish(s, d.Snapshot());
    EXPECT_EQ(s.Count(), PlainMatches(d.Snapshot().ToUtf16(), u"abc", false).size());
    d.SetText({});
    Finish(s, d.Snapshot());
    EXPECT_EQ(s.Count(), 0u);
}

}  // namespace
