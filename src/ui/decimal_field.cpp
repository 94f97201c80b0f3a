#include "ui/decimal_field.h"

namespace {

// Tab to carriage return, the Unicode space, line and paragraph separators, and NEL.
bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

}  // namespace

bool ParseUInt32(std::u16string_view text, uint32_t& value) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == u'+') text.remove_prefix(1);
    if (text.empty()) return false;
    uint64_t v = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
        if (v > 0xFFFFFFFFu) return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}
