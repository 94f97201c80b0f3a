#include "serial/port_trace.h"

#include <gtest/gtest.h>

#include <fstream>

#include "test/fake_sysfs.h"

namespace fs = std::filesystem;

namespace {

// Device nodes and by-id links in a scratch directory, sysfs beside them; the nodes are
// plain files, as only their names and links matter.
class PortTraceTest : public ::testing::Test {
protected:
    PortTraceTest() {
        fs::create_directories(dev / "serial/by-id");
        sysfs.SetAttributes("usb1/1-2",
                            {{"idVendor", "0403"}, {"idProduct", "6001"}, {"serial", "A502"}});
        sysfs.SetAttributes("usb1/1-3",
                            {{"idVendor", "0403"}, {"idProduct", "6001"}, {"serial", "B7"}});
    }
    ~PortTraceTest() override { fs::remove_all(dev); }

    // Adapter `serial` appears as `name`, with its by-id link when `linked`.
    void Plug(const std::string& name, const std::string& serial, bool linked = true) {
        std::ofstream(dev / name).put('\0');
        const std::string usb = serial == "A502" ? "usb1/1-2" : "usb1/1-3";
        sysfs.RemoveTty(name);
        sysfs.AddTty(name, usb + "/" + name + "-" + std::to_string(++plugs),
                     "usb-serial/drivers/ftdi_sio");
        if (linked) fs::create_symlink(dev / name, ById(serial));
    }
    void Unplug(const std::string& name, const std::string& serial) {
        fs::remove(dev / name);
        fs::remove(ById(serial));
        sysfs.RemoveTty(name);
    }
    fs::path ById(const std::string& serial) const {
        return dev / "serial/by-id" / ("usb-FTDI_FT232R_USB_UART_" + serial + "-if00-port0");
    }
    std::string Node(const std::string& name) const { return (dev / name).string(); }
    PortTrace Trace(const std::string& name) {
        return TracePort(Node(name), dev / "serial/by-id", sysfs.Root());
    }
    std::string Find(const PortTrace& trace) { return FindPortAgain(trace, sysfs.Root()); }

    FakeSysfs sysfs;
    fs::path dev = sysfs.Root().string() + "-dev";
    int plugs = 0;
};

TEST_F(PortTraceTest, AnAdapterIsFoundByItsLinkUnderItsNewNameAndNoOtherIsTakenForIt) {
    Plug("ttyUSB0", "A502");
    const PortTrace trace = Trace("ttyUSB0");
    EXPECT_EQ(trace.link, ById("A502").string());
    EXPECT_EQ(Find(trace), Node("ttyUSB0")) << "still there";

    Unplug("ttyUSB0", "A502");
    EXPECT_EQ(Find(trace), "");
    Plug("ttyUSB0", "B7");  // another adapter takes the name
    EXPECT_EQ(Find(trace), "");
    Plug("ttyUSB1", "A502");  // the old node was still held
    EXPECT_EQ(Find(trace), Node("ttyUSB1"));
}

TEST_F(PortTraceTest, WithoutALinkThePathIsWatchedAndTheDeviceMustBeTheSame) {
    Plug("ttyUSB0", "A502", false);
    const PortTrace trace = Trace("ttyUSB0");
    EXPECT_EQ(trace.link, "");
    Unplug("ttyUSB0", "A502");
    EXPECT_EQ(Find(trace), "");
    Plug("ttyUSB0", "B7", false);
    EXPECT_EQ(Find(trace), "") << "another adapter at the same name";
    Unplug("ttyUSB0", "B7");
    Plug("ttyUSB0", "A502", false);
    EXPECT_EQ(Find(trace), Node("ttyUSB0"));
}

TEST_F(PortTraceTest, APortThatIsALinkItselfIsWatchedByThatName) {
    Plug("pts-3", "A502", false);
    const fs::path chosen = dev / "my-board";
    fs::create_symlink(dev / "pts-3", chosen);
    const PortTrace trace = TracePort(chosen.string(), dev / "serial/by-id", sysfs.Root());
    Unplug("pts-3", "A502");
    EXPECT_EQ(Find(trace), "") << "a dangling link";
    Plug("pts-3", "A502", false);
    EXPECT_EQ(Find(trace), chosen.string());
    EXPECT_EQ(Find(TracePort("/nonexistent/ttyUSB9", dev / "serial/by-id", sysfs.Root())), "");
}

}  // namespace
