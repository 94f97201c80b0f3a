#include "serial/port_identity.h"

#include <gtest/gtest.h>

#include "test/fake_sysfs.h"

namespace {

// The shapes real kernels give: a USB adapter's tty two levels below the USB device, an ACM
// tty one level below, and a UART behind serial-base port and controller devices.
TEST(PortIdentity, UsbAdaptersByTheirStringsOthersByTheirDriver) {
    FakeSysfs sysfs;
    sysfs.SetAttributes("usb1/1-2", {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                                     {"product", "FT232R USB UART"}, {"serial", "A50285BI\n"}});
    sysfs.AddTty("ttyUSB0", "usb1/1-2/1-2:1.0/ttyUSB0", "usb-serial/drivers/ftdi_sio");
    sysfs.SetAttributes("usb1/1-3", {{"idVendor", "2e8a"}, {"idProduct", "000a"}, {"product", "Pico"}});
    sysfs.AddTty("ttyACM0", "usb1/1-3/1-3:1.0", "usb/drivers/cdc_acm");
    sysfs.BindDriver("pnp0/00:00", "pnp/drivers/serial");
    sysfs.BindDriver("pnp0/00:00/00:00:0", "serial-base/drivers/ctrl");
    sysfs.AddTty("ttyS0", "pnp0/00:00/00:00:0/00:00:0.0", "serial-base/drivers/port");
    sysfs.AddTty("ttyS1", "platform/serial8250", "platform/drivers/serial8250");
    struct Case {
        const char* port;
        const char* identity;
    };
    for (const Case& c : {
             Case{"/dev/ttyUSB0", "FT232R USB UART — FTDI — A50285BI — 0403:6001"},
             Case{"/dev/ttyACM0", "Pico — 2e8a:000a"},  // no manufacturer or serial number
             Case{"/dev/ttyS0", "serial"},
             Case{"/dev/ttyS1", "serial8250"},
             Case{"/dev/pts/3", ""},
             Case{"/dev/ttyS9", ""},
         }) {
        EXPECT_EQ(PortIdentity(sysfs.Root(), c.port), c.identity) << c.port;
    }
}

}  // namespace
