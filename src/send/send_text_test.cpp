#include "send/send_text.h"

#include <gtest/gtest.h>

#include "send/multibyte.h"

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kUtf8 = "UTF-8";
const std::string kGbk = "GBK";

Bytes Hex(std::u16string_view text) { return PrepareSendBytes(text, true, kUtf8); }

TEST(HexSend, SpacesAreDroppedWhereverTheyAre) {
    EXPECT_EQ(Hex(u"41 42 43"), (Bytes{0x41, 0x42, 0x43}));
    EXPECT_EQ(Hex(u"414243"), (Bytes{0x41, 0x42, 0x43}));
    EXPECT_EQ(Hex(u"  41 4243  "), (Bytes{0x41, 0x42, 0x43}));
    EXPECT_EQ(Hex(u"4 1"), (Bytes{0x41}));
}

TEST(HexSend, ALoneLastDigitIsAByteOfItsOwn) {
    EXPECT_EQ(Hex(u"ABC"), (Bytes{0xAB, 0x0C}));
    EXPECT_EQ(Hex(u"a"), (Bytes{0x0A}));
}

TEST(HexSend, NonDigitsCountAs255) {
    EXPECT_EQ(Hex(u"4G"), (Bytes{0x3F}));
    EXPECT_EQ(Hex(u"G4"), (Bytes{0xF4}));
    EXPECT_EQ(Hex(u"GG"), (Bytes{0xEF}));
    EXPECT_EQ(Hex(u"G"), (Bytes{0xFF}));
    // Digits are read from the converted bytes at the characters' positions: the first two
    // bytes of 中, both non-digits.
    EXPECT_EQ(Hex(u"中1"), (Bytes{0xEF}));
}

TEST(HexSend, LineBreaksAndTabsSeparateLikeSpaces) {
    EXPECT_EQ(Hex(u"41\r\n42"), (Bytes{0x41, 0x42}));
    EXPECT_EQ(Hex(u"41\n42\t43\r\n"), (Bytes{0x41, 0x42, 0x43}));
}

TEST(HexSend, EmptyOrBlankSendsNothing) {
    EXPECT_TRUE(Hex(u"").empty());
    EXPECT_TRUE(Hex(u"  \r\n\t ").empty());
}

TEST(TextSend, BytesInTheLocaleCharsetWithNothingAdded) {
    EXPECT_EQ(PrepareSendBytes(u"AB", false, kUtf8), (Bytes{0x41, 0x42}));
    EXPECT_EQ(PrepareSendBytes(u"中", false, kUtf8), (Bytes{0xE4, 0xB8, 0xAD}));
    EXPECT_EQ(PrepareSendBytes(u"中", false, kGbk), (Bytes{0xD6, 0xD0}));
    EXPECT_EQ(PrepareSendBytes(u"a\r\nb ", false, kUtf8), (Bytes{'a', '\r', '\n', 'b', ' '}));
    EXPECT_EQ(PrepareSendBytes(u"A€", false, "ISO-8859-1"), (Bytes{'A', '?'}));
    EXPECT_EQ(PrepareSendBytes(std::u16string(u"AB\0CD", 5), false, kUtf8), (Bytes{'A', 'B', 0, 'C', 'D'}));
}

TEST(MultiByte, NothingIsCutNotEvenAtAZero) {
    std::u16string many(1000, u'中');
    EXPECT_EQ(ToMultiByte(many, kUtf8).size(), 3000u);
    EXPECT_EQ(ToMultiByte(std::u16string(u"AB\0CD", 5), kUtf8), std::string("AB\0CD", 5));
    EXPECT_EQ(ToMultiByte(std::u16string(u"\0中", 2), kGbk), std::string("\0\xD6\xD0", 3));
    EXPECT_EQ(ToMultiByte(u"😀", kUtf8), "\xF0\x9F\x98\x80");  // a surrogate pair
    // A character the charset lacks is one '?', also when it takes two units; a lone
    // surrogate is one '?' too.
    EXPECT_EQ(ToMultiByte(u"a😀b", "ISO-8859-1"), "a?b");
    EXPECT_EQ(ToMultiByte(std::u16string{u'a', char16_t(0xD83D), u'b', char16_t(0xDE00)}, "ISO-8859-1"),
              "a?b?");
}

TEST(MultiByte, HexDigitValue) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    for (char c : std::string_view("gG /:@`\xB0")) EXPECT_EQ(HexDigitValue(static_cast<uint8_t>(c)), 255);
}

TEST(Converters, ToHexTextShowsEveryByte) {
    EXPECT_EQ(ToHexText(u"AB1", kUtf8), u"41 42 31 ");
    EXPECT_EQ(ToHexText(u"中", kGbk), u"D6 D0 ");
    EXPECT_EQ(ToHexText(u"é", "ISO-8859-1"), u"E9 ");
    EXPECT_EQ(ToHexText(u"", kUtf8), u"");
    EXPECT_EQ(ToHexText(std::u16string(u"A\0B", 3), kUtf8), u"41 00 42 ");
}

TEST(Converters, ToCharTextReadsPairsWithSignedDigits) {
    EXPECT_EQ(ToCharText(u"41 42 31", kUtf8), u"AB1");
    EXPECT_EQ(ToCharText(u"414231", kUtf8), u"AB1");
    EXPECT_EQ(ToCharText(u"414", kUtf8), u"A\u0004");
    EXPECT_EQ(ToCharText(u"41 00 42", kUtf8), std::u16string(u"A\0B", 3));
    EXPECT_EQ(ToCharText(u"B0", kUtf8), u"\u00B0");
    EXPECT_EQ(ToCharText(u"G1", kUtf8), u"\uFFF1");
    EXPECT_EQ(ToCharText(u"1G", kUtf8), u"\u000F");
    EXPECT_EQ(ToCharText(u"GG", kUtf8), u"\uFFEF");
    EXPECT_EQ(ToCharText(u"G", kUtf8), u"\uFFFF");
    EXPECT_EQ(ToCharText(u"41\r\n42", kUtf8), u"AB");
    // The bytes of a character, back as characters: not the character itself.
    EXPECT_EQ(ToCharText(ToHexText(u"中", kGbk), kGbk), u"\u00D6\u00D0");
}

TEST(SendText, TheFirstCharacterThatIsNoHexDigitNorBlankIsFound) {
    struct Case {
        std::u16string text;
        size_t at;
    };
    constexpr size_t kNone = std::u16string_view::npos;
    for (const Case& c : {Case{u"GG 12 zz", 0}, Case{u"0x41", 1}, Case{u"41,42", 2}, Case{u"41 4", kNone},
                          Case{u"41\r\n42\t4a", kNone}, Case{u"", kNone}, Case{u"41 中", 3},
                          Case{u"41\u00414", kNone}, Case{u"41\uFF11", 2}}) {
        EXPECT_EQ(FirstNonHexCharacter(c.text), c.at) << std::string(c.text.begin(), c.text.end());
    }
}

}  // namespace
