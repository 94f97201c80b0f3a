#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// How received bytes read as text. Bytes: each byte is the character of the same value, as
// the receive area always showed them.
enum class TextEncoding : uint8_t { Bytes, Utf8, Gb18030 };

// Received bytes as text in one encoding, for one port's stream. A device's burst can end
// inside a character: WholeCharacters holds such a tail back and puts it in front of the
// next burst, so what it returns always ends on a character border, and anything inserted
// there (a timestamp, a line break) cannot cut a character in two.
//
// Built on glibc's iconv, which has GB18030 (Qt 6.4 without ICU has only the UTF encodings,
// and the core library has no Qt). An invalid byte becomes one U+FFFD and decoding goes on
// with the byte after it, so an invalid byte never hides a valid character behind it.
// Window thread only.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding encoding = TextEncoding::Bytes);

    TextEncoding Encoding() const { return m_encoding; }
    // Takes effect from the next burst; a tail held back goes out with it, read the new way.
    void SetEncoding(TextEncoding encoding);
    // Forgets a held tail: the stream it belonged to is over.
    void Reset() { m_tail.clear(); }
    bool Holding() const { return !m_tail.empty(); }

    // The tail held back so far, then `burst`, up to the end of its last whole character.
    std::string WholeCharacters(std::span<const uint8_t> burst);
    // The tail held back so far, then `burst`, all of it; nothing stays held.
    std::string AllBytes(std::span<const uint8_t> burst);
    // `bytes` as text; an unfinished character at the end counts as invalid bytes.
    std::u16string Decode(std::string_view bytes);

private:
    // Runs the converter over `bytes`; appends the text to `text` when given. Stops at an
    // unfinished character at the end when `text` is null. Returns the bytes decoded.
    size_t Convert(std::string_view bytes, std::u16string* text);
    bool StartsCharacter(uint8_t byte) const;

    TextEncoding m_encoding;
    std::unique_ptr<void, int (*)(void*)> m_converter;  // iconv_t; null for Bytes
    std::string m_tail;
};
