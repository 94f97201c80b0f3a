// Feeds whatever a server might send, cut into pieces by the input itself: the codec must
// neither crash nor make more data than it was given, and pieces must not change the result.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "serial/telnet_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t step = 1 + data[0] % 16;
    std::vector<uint8_t> whole, wholeOut, pieces, piecesOut;
    telnet::Codec once, cut;
    std::vector<uint8_t> offer;
    once.Offer(offer);
    cut.Offer(offer);
    once.Receive({data + 1, size - 1}, whole, wholeOut);
    for (size_t at = 1; at < size; at += step)
        cut.Receive({data + at, std::min(step, size - at)}, pieces, piecesOut);
    if (whole.size() > size || whole != pieces || wholeOut != piecesOut) abort();
    if (once.Negotiated() != cut.Negotiated() || once.ModemState() != cut.ModemState()) abort();
    return 0;
}
