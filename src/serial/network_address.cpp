#include "serial/network_address.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::string_view kRfc2217Scheme = "rfc2217://";
constexpr std::string_view kTcpScheme = "tcp://";

// Letters, digits and the marks host names and addresses use; nothing a shell, a URL or a
// settings file would read differently.
bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '-' || c == '_' || c == ':' || c == '%';
}

}  // namespace

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path) {
    NetworkAddress address;
    if (path.starts_with(kRfc2217Scheme)) {
        path.remove_prefix(kRfc2217Scheme.size());
    } else if (path.starts_with(kTcpScheme)) {
        address.kind = NetworkKind::RawTcp;
        path.remove_prefix(kTcpScheme.size());
    } else {
        return std::nullopt;
    }
    const size_t colon = path.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view host = path.substr(0, colon);
    const std::string_view port = path.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        return std::nullopt;  // an IPv6 address needs its brackets to tell it from the port
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar)) return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
        return std::nullopt;
    address.host = host;
    address.port = static_cast<uint16_t>(value);
    return address;
}

std::string NetworkPath(const NetworkAddress& address) {
    std::string path(address.kind == NetworkKind::RawTcp ? kTcpScheme : kRfc2217Scheme);
    const bool v6 = address.host.find(':') != std::string::npos;
    path += v6 ? "[" + address.host + "]" : address.host;
    return path + ":" + std::to_string(address.port);
}
