#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A port that a serial server on the network offers, named like a path:
// "rfc2217://HOST:PORT" (Telnet with Com Port Control) or "tcp://HOST:PORT" (raw bytes).
// HOST is a name, an IPv4 address or a bracketed IPv6 address ("[::1]").
enum class NetworkKind : uint8_t { Rfc2217, RawTcp };

struct NetworkAddress {
    NetworkKind kind = NetworkKind::Rfc2217;
    std::string host;  // without brackets
    uint16_t port = 0;
    bool operator==(const NetworkAddress&) const = default;
};

// The address `path` names; nullopt for anything else (a device path, a malformed address).
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path);
// The path that names `address`, as ParseNetworkAddress reads it.
std::string NetworkPath(const NetworkAddress& address);
