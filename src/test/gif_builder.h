#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds GIF streams block by block for tests. Images are stored with 7-bit LZW codes
// written as whole bytes (a clear code every 100 pixels keeps the code width at 8 bits),
// so any decoder reads them without a real compressor here.
class GifBuilder {
public:
    // A global colour table of 128 entries when `globalTable`: entry i is (2i, 255 - 2i, i).
    GifBuilder(int width, int height, bool globalTable = true, const char* version = "GIF89a") {
        Append(version);
        Word(width);
        Word(height);
        m_bytes.push_back(globalTable ? 0xF6 : 0x00);  // 2^(6+1) entries
        m_bytes.push_back(0);
        m_bytes.push_back(0);
        if (globalTable) ColourTable();
    }

    GifBuilder& Loop() {
        Append("\x21\xFF\x0BNETSCAPE2.0\x03\x01");
        Word(0);
        m_bytes.push_back(0);
        return *this;
    }
    GifBuilder& Control(int delay, int disposal) {
        Append("\x21\xF9\x04");
        m_bytes.push_back(static_cast<uint8_t>(disposal << 2));
        Word(delay);
        m_bytes.push_back(0);
        m_bytes.push_back(0);
        return *this;
    }
    GifBuilder& Comment(const std::string& text) {
        Append("\x21\xFE");
        m_bytes.push_back(static_cast<uint8_t>(text.size()));
        Append(text);
        m_bytes.push_back(0);
        return *this;
    }
    // An image of one colour index (below 128), with a local colour table when asked.
    GifBuilder& Image(int left, int top, int width, int height, int colour, bool localTable = false) {
        m_bytes.push_back(0x2C);
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        m_bytes.push_back(localTable ? 0x86 : 0x00);
        if (localTable) ColourTable();
        m_bytes.push_back(7);  // LZW minimum code size
        std::vector<uint8_t> codes{128};
        for (int i = 0; i < width * height; ++i) {
            if (i > 0 && i % 100 == 0) codes.push_back(128);
            codes.push_back(static_cast<uint8_t>(colour));
        }
        codes.push_back(129);
        for (size_t at = 0; at < codes.size(); at += 255) {
            const size_t n = std::min<size_t>(255, codes.size() - at);
            m_bytes.push_back(static_cast<uint8_t>(n));
            m_bytes.insert(m_bytes.end(), codes.begin() + static_cast<long>(at),
                           codes.begin() + static_cast<long>(at + n));
        }
        m_bytes.push_back(0);
        return *this;
    }
    GifBuilder& Raw(const std::string& bytes) {
        Append(bytes);
        return *this;
    }
    GifBuilder& Trailer() {
        m_bytes.push_back(0x3B);
        return *this;
    }
    size_t Size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    // The colour of table entry `index`, as 0xRRGGBB.
    static uint32_t Colour(int index) {
        return static_cast<uint32_t>((2 * index) << 16 | (255 - 2 * index) << 8 | index);
    }

private:
    void Append(const std::string& s) { m_bytes.insert(m_bytes.end(), s.begin(), s.end()); }
    void Word(int v) {
        m_bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void ColourTable() {
        for (int i = 0; i < 128; ++i) {
            const uint32_t c = Colour(i);
            m_bytes.push_back(static_cast<uint8_t>(c >> 16));
            m_bytes.push_back(static_cast<uint8_t>(c >> 8));
            m_bytes.push_back(static_cast<uint8_t>(c));
        }
    }

    std::vector<uint8_t> m_bytes;
};
