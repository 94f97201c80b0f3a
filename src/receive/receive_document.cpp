#include "receive/receive_document.h"

#include <algorithm>
#include <cstring>

uint8_t* TextStore::Slot(size_t i) const {
    const size_t byte = m_wide ? 2 * i : i;
    return m_blocks[byte / kBlockBytes].get() + byte % kBlockBytes;
}

char16_t TextStore::At(size_t i) const {
    const uint8_t* p = Slot(i);
    return m_wide ? static_cast<char16_t>(p[0] | p[1] << 8) : p[0];
}

void TextStore::AppendLatin1(std::string_view text) {
    if (m_wide) {
        std::u16string wide(text.size(), u'\0');
        for (size_t i = 0; i < text.size(); ++i) wide[i] = static_cast<uint8_t>(text[i]);
        AppendUtf16(wide);
        return;
    }
    while (!text.empty()) {
        if (m_size % kBlockBytes == 0 && m_size / kBlockBytes == m_blocks.size()) {
            m_blocks.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlockBytes));
        }
        const size_t room = kBlockBytes - m_size % kBlockBytes;
        const size_t n = std::min(room, text.size());
        std::memcpy(Slot(m_size), text.data(), n);
        m_size += n;
        text.remove_prefix(n);
    }
}

void TextStore::AppendUtf16(std::u16string_view text) {
    for (char16_t c : text) {
        if ((2 * m_size) % kBlockBytes == 0 && 2 * m_size / kBlockBytes == m_blocks.size()) {
            m_blocks.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlockBytes));
        }
        uint8_t* p = Slot(m_size++);
        p[0] = static_cast<uint8_t>(c);
        p[1] = static_cast<uint8_t>(c >> 8);
    }
}

std::u16string TextStore::Mid(size_t pos, size_t count) const {
    pos = std::min(pos, m_size);
    count = std::min(count, m_size - pos);
    std::u16string out(count, u'\0');
    for (size_t i = 0; i < count; ++i) out[i] = At(pos + i);
    return out;
}

namespace {

bool IsLatin1(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 0xFF; });
}

std::shared_ptr<TextStore> StoreOf(std::u16string_view text) {
    auto store = std::make_shared<TextStore>(!IsLatin1(text));
    if (store->Wide()) {
        store->AppendUtf16(text);
    } else {
        std::string narrow(text.size(), '\0');
        for (size_t i = 0; i < text.size(); ++i) narrow[i] = static_cast<char>(text[i]);
        store->AppendLatin1(narrow);
    }
    return store;
}

}  // namespace

ReceiveText ReceiveText::FromUtf16(std::u16string_view text) {
    auto store = StoreOf(text);
    const size_t size = store->Size();
    return {std::move(store), size};
}

ReceiveText ReceiveText::FromLatin1(std::string_view text) {
    auto store = std::make_shared<TextStore>(false);
    store->AppendLatin1(text);
    return {std::move(store), text.size()};
}

std::u16string ReceiveText::Mid(size_t pos, size_t count) const {
    if (!m_store || pos >= m_length) return {};
    return m_store->Mid(pos, std::min(count, m_length - pos));
}

bool ReceiveText::operator==(const ReceiveText& other) const {
    if (m_length != other.m_length) return false;
    if (m_store == other.m_store || m_length == 0) return true;
    for (size_t i = 0; i < m_length; ++i) {
        if (m_store->At(i) != other.m_store->At(i)) return false;
    }
    return true;
}

ReceiveDocument::ReceiveDocument() : m_store(std::make_shared<TextStore>(false)), m_lineStarts{0} {}

size_t ReceiveDocument::MemoryBytes() const {
    return m_store->MemoryBytes() + m_lineStarts.capacity() * sizeof(uint64_t);
}

void ReceiveDocument::AppendLatin1(std::string_view text) {
    const size_t from = m_store->Size();
    m_store->AppendLatin1(text);
    IndexFrom(from);
}

void ReceiveDocument::SetText(const ReceiveText& text) {
    if (text.m_store == m_store && text.m_length == m_store->Size()) return;
    m_store = StoreOf(text.ToUtf16());
    m_lineStarts.assign(1, 0);
    IndexFrom(0);
}

void ReceiveDocument::Replace(size_t pos, size_t count, std::u16string_view text) {
    pos = std::min(pos, Size());
    count = std::min(count, Size() - pos);
    if (pos == Size() && IsLatin1(text) && !m_store->Wide()) {
        std::string narrow(text.begin(), text.end());
        AppendLatin1(narrow);
        return;
    }
    std::u16string all = Mid(0, pos);
    all += text;
    all += Mid(pos + count, Size());
    m_store = StoreOf(all);
    m_lineStarts.assign(1, 0);
    IndexFrom(0);
}

void ReceiveDocument::IndexFrom(size_t from) {
    const size_t size = m_store->Size();
    for (size_t i = from; i < size; ++i) {
        const char16_t c = m_store->At(i);
        if (c == u'\n' && i > 0 && m_store->At(i - 1) == u'\r' && m_lineStarts.back() == i) {
            m_lineStarts.back() = i + 1;  // "\r\n" is one break, also across two appends
        } else if (c == u'\n' || c == u'\r') {
            m_lineStarts.push_back(i + 1);
        }
    }
}

size_t ReceiveDocument::LineLength(size_t line) const {
    const size_t start = m_lineStarts[line];
    if (line + 1 == m_lineStarts.size()) return Size() - start;
    const size_t next = m_lineStarts[line + 1];
    const bool crlf = next >= start + 2 && At(next - 1) == u'\n' && At(next - 2) == u'\r';
    return next - start - (crlf ? 2 : 1);
}

size_t ReceiveDocument::LineOf(size_t pos) const {
    auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), pos);
    return static_cast<size_t>(it - m_lineStarts.begin()) - 1;
}
