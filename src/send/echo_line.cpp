#include "send/echo_line.h"

#include "receive/chunk.h"

namespace {

constexpr std::string_view kMarker = "TX> ";

}  // namespace

std::string EchoLine(std::span<const uint8_t> bytes, bool hex, bool lineOpen, const UtcTime* stamp) {
    std::string line = stamp ? FormatStamp(*stamp) : lineOpen ? "\r\n" : "";
    line += kMarker;
    const std::string chunk = BuildChunk(bytes, hex);
    // Line ends as the receive area reads them: CR LF, a lone LF, a lone CR.
    bool ended = false;
    for (size_t i = 0; i < chunk.size(); ++i) {
        line += chunk[i];
        ended = chunk[i] == '\n' || (chunk[i] == '\r' && (i + 1 == chunk.size() || chunk[i + 1] != '\n'));
        if (ended && i + 1 < chunk.size()) line += kMarker;
    }
    if (!ended) line += "\r\n";
    return line;
}
