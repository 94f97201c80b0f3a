#include "serial/port_discovery.h"

#include <gtest/gtest.h>

#include "test/fake_sysfs.h"

namespace {

TEST(DiscoverPorts, KeepsRealPortsInNaturalOrder) {
    FakeSysfs sysfs;
    sysfs.AddTty("ttyUSB0", "usb/ttyUSB0");
    sysfs.AddTty("ttyS10", "s10", "", 4);
    sysfs.AddTty("ttyACM0", "acm");
    sysfs.AddTty("ttyS0", "s0", "", 4);  // serial8250 with a UART
    sysfs.AddTty("ttyS1", "s1", "", 0);  // serial8250 placeholder
    sysfs.AddTty("ttyS2", "s2", "", 4);
    sysfs.AddVirtualTty("tty3");         // virtual console
    sysfs.AddVirtualTty("ptmx");
    EXPECT_EQ(DiscoverPorts(sysfs.Root()),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10",
                                        "/dev/ttyUSB0"}));
}

TEST(DiscoverPorts, NoTtyClassMeansNoPorts) { EXPECT_TRUE(DiscoverPorts(FakeSysfs().Root()).empty()); }

TEST(NaturalLess, NumbersCompareByValue) {
    EXPECT_TRUE(NaturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(NaturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(NaturalLess("ttyS9", "ttyUSB0"));
    EXPECT_TRUE(NaturalLess("ttyS", "ttyS0"));
    EXPECT_FALSE(NaturalLess("ttyS1", "ttyS1"));
    EXPECT_TRUE(NaturalLess("ttyS01x", "ttyS1y"));
}

}  // namespace
