#include "receive/text_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace std::string_literals;

std::span<const uint8_t> Span(std::string_view bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

// What the receive area shows of `bursts`: each burst cut at its last whole character, and
// decoded on its own, as a stamp between two bursts leaves it.
std::u16string Shown(TextDecoder& decoder, const std::vector<std::string>& bursts) {
    std::u16string text;
    for (const std::string& burst : bursts)
        text += decoder.Decode(decoder.WholeCharacters(Span(burst)));
    return text;
}

struct Text {
    TextEncoding encoding;
    std::string bytes;
    std::u16string text;
};

const Text kWholeTexts[] = {
    {TextEncoding::Utf8, "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95", u"中文测试"},
    {TextEncoding::Utf8, "A\xC3\xA9\x42\xF0\x9F\x98\x80\x43", u"AéB😀C"},
    {TextEncoding::Gb18030, "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4", u"中文测试"},
    {TextEncoding::Gb18030, "1\x81\x30\x81\x30\x32\x90\x30\x81\x30\x33\xA2\xE3",
     u"1\u00802\U000100003€"},
};

TEST(TextDecoder, EveryCutAcrossTwoAndThreeBurstsGivesWholeCharacters) {
    for (const Text& t : kWholeTexts) {
        const std::string& b = t.bytes;
        for (size_t i = 0; i <= b.size(); ++i) {
            for (size_t j = i; j <= b.size(); ++j) {
                TextDecoder decoder(t.encoding);
                EXPECT_EQ(Shown(decoder, {b.substr(0, i), b.substr(i, j - i), b.substr(j)}), t.text)
                    << "cut at " << i << " and " << j << " of " << b;
            }
        }
    }
}

TEST(TextDecoder, InvalidBytesAreReplacedOneByOneAndHideNothingAfterThem) {
    const Text cases[] = {
        {TextEncoding::Utf8, "\xFF\xE4\xB8\xAD", u"\uFFFD中"},
        {TextEncoding::Utf8, "\x80\x41", u"\uFFFDA"},
        {TextEncoding::Utf8, "\xE4\xB8\x41", u"\uFFFD\uFFFDA"},  // a character cut short
        {TextEncoding::Utf8, "\xC0\xAF", u"\uFFFD\uFFFD"},       // too long a form
        {TextEncoding::Utf8, "\xE4\xB8\xE4\xB8\xAD", u"\uFFFD\uFFFD中"},
        {TextEncoding::Gb18030, "\x80\xD6\xD0", u"\uFFFD中"},
        {TextEncoding::Gb18030, "\xFF\x41", u"\uFFFDA"},
        {TextEncoding::Gb18030, "\x81\x20", u"\uFFFD "},
        {TextEncoding::Gb18030, "\x81\x30\x81\x20", u"\uFFFD0\uFFFD "},
        {TextEncoding::Gb18030, "\xD6\x7F\xD6\xD0", u"\uFFFD\x7F中"},
    };
    for (const Text& t : cases) {
        TextDecoder decoder(t.encoding);
        EXPECT_EQ(decoder.Decode(t.bytes), t.text) << t.bytes;
        for (size_t i = 0; i <= t.bytes.size(); ++i) {
            TextDecoder split(t.encoding);
            EXPECT_EQ(Shown(split, {t.bytes.substr(0, i), t.bytes.substr(i)}), t.text)
                << t.bytes << " cut at " << i;
        }
    }
}

TEST(TextDecoder, AnUnfinishedCharacterWaitsForItsBytesAndIsNeverShownHalf) {
    TextDecoder decoder(TextEncoding::Utf8);
    EXPECT_EQ(decoder.WholeCharacters(Span("A\xE4\xB8")), "A");
    EXPECT_EQ(decoder.WholeCharacters(Span("\xAD\x42")), "\xE4\xB8\xAD\x42");
    // Hex display takes the held bytes with its own, so none is lost or shown twice.
    EXPECT_EQ(decoder.WholeCharacters(Span("\xE6")), "");
    EXPECT_EQ(decoder.AllBytes(Span("\x96")), "\xE6\x96");
    EXPECT_EQ(decoder.WholeCharacters(Span("C")), "C");
    // A new encoding reads the held bytes its own way.
    EXPECT_EQ(decoder.WholeCharacters(Span("\xD6")), "");
    decoder.SetEncoding(TextEncoding::Gb18030);
    EXPECT_EQ(decoder.Decode(decoder.WholeCharacters(Span("\xD0"))), u"中");
    EXPECT_EQ(decoder.WholeCharacters(Span("\xD6")), "");
    decoder.Reset();
    EXPECT_EQ(decoder.WholeCharacters(Span("D")), "D");
}

TEST(TextDecoder, BytesGiveEachByteAsItsOwnCharacter) {
    std::string all;
    std::u16string expected;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
        expected += static_cast<char16_t>(b);
    }
    TextDecoder decoder;
    EXPECT_EQ(decoder.WholeCharacters(Span(all)), all);
    EXPECT_EQ(decoder.Decode(all), expected);
}

// Random bursts of random bytes, and of valid text with stray bytes in it: shown burst by
// burst, they read exactly as the whole stream decoded at once.
TEST(TextDecoder, AFloodInRandomBurstsReadsAsTheWholeDecodedAtOnce) {
    std::mt19937 random(19);
    for (TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Gb18030}) {
        for (const bool mostlyValid : {false, true}) {
            std::string stream;
            while (stream.size() < 200000) {
                if (mostlyValid && random() % 8) {
                    const std::string& valid =
                        kWholeTexts[(encoding == TextEncoding::Gb18030 ? 2 : 0) + random() % 2]
                            .bytes;
                    stream += valid;
                } else {
                    stream += static_cast<char>(random());
                }
            }
            stream += '.';  // nothing stays held at the end
            TextDecoder whole(encoding);
            const std::u16string expected = whole.Decode(stream);
            std::vector<std::string> bursts;
            for (size_t at = 0; at < stream.size();) {
                const size_t n = std::min<size_t>(stream.size() - at, 1 + random() % 1024);
                bursts.push_back(stream.substr(at, n));
                at += n;
            }
            TextDecoder decoder(encoding);
            EXPECT_EQ(Shown(decoder, bursts), expected)
                << static_cast<int>(encoding) << (mostlyValid ? " text" : " random bytes");
        }
    }
}

}  // namespace
