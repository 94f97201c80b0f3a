// Fuzz target: any trigger text of up to two characters against any received chunk. The
// stamp goes in front of the first occurrence of the padded, upper-cased trigger and
// nowhere else; without one the chunk is untouched.
#include <cstdlib>

#include "fuzz_input.h"
#include "receive/chunk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const std::u16string trigger = FuzzUtf16(data + 1, 2 * (data[0] % 3));
    const std::string original(reinterpret_cast<const char*>(data) + 5, size - 5);

    std::string needle(2 - std::min<size_t>(trigger.size(), 2), '0');
    bool printable = true;
    for (char16_t c : trigger) {
        printable = printable && c <= 0xFF;
        needle += static_cast<char>(c >= u'a' && c <= u'z' ? c - 32 : c);
    }
    const size_t at = printable ? original.find(needle) : std::string::npos;

    const UtcTime t{2026, 12, 8, 23, 59, 59, 999};
    const std::string stamp = FormatStamp(t);
    std::string chunk = original;
    const bool stamped = StampAtTrigger(chunk, trigger, [&] { return t; });
    if (stamped != (at != std::string::npos)) std::abort();
    const std::string expected = stamped ? std::string(original).insert(at, stamp) : original;
    if (chunk != expected) std::abort();
    return 0;
}
