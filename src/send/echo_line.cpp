#include "send/echo_line.h"

#include "receive/chunk.h"

namespace {

constexpr std::string_view kMarker = "TX> ";

}  // namespace

std::string EchoLine(std::span<const uint8_t> bytes, bool hex, bool lineOpen, const UtcTime* stamp) {
    std::string line = stamp ? FormatStamp(*stamp) : lineOpen ? "\r\n" : "";
    line += kMarker;
    const std::string chunk = BuildChunk(bytes, hex);
    for (size_t i = 0; i < chunk.size(); ++i) {
        line += chunk[i];
        if (chunk[i] == '\n' && i + 1 < chunk.size()) line += kMarker;
    }
    if (line.back() != '\n') line += "\r\n";
    return line;
}
