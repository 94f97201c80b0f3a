#include "serial/network_address.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkAddress, ReadsWhatANetworkPortIsCalled) {
    struct Case {
        const char* path;
        NetworkKind kind;
        const char* host;
        uint16_t port;
    };
    for (const Case& c : {Case{"rfc2217://lab-rack3:2001", NetworkKind::Rfc2217, "lab-rack3", 2001},
                          Case{"tcp://10.0.0.7:4001", NetworkKind::RawTcp, "10.0.0.7", 4001},
                          Case{"rfc2217://[::1]:65535", NetworkKind::Rfc2217, "::1", 65535},
                          Case{"tcp://[fe80::1%eth0]:1", NetworkKind::RawTcp, "fe80::1%eth0", 1}}) {
        SCOPED_TRACE(c.path);
        const auto address = ParseNetworkAddress(c.path);
        ASSERT_TRUE(address);
        EXPECT_EQ(*address, (NetworkAddress{c.kind, c.host, c.port}));
        EXPECT_EQ(NetworkPath(*address), c.path);
    }
}

TEST(NetworkAddress, RefusesWhatIsNoNetworkPort) {
    for (const char* path :
         {"/dev/ttyUSB0", "rfc2217://", "rfc2217://host", "rfc2217://host:", "rfc2217://:2001",
          "tcp://host:0", "tcp://host:65536", "tcp://host:20x1", "tcp://host:-1", "tcp://::1:80",
          "tcp://a b:80", "tcp://host;rm:80", "telnet://host:23", "RFC2217://host:1", "tcp://[]:80"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(ParseNetworkAddress(path));
    }
}

}  // namespace
