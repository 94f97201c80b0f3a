#include "serial/port_discovery.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("corvala-sysfs-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "devices");
    }
    void TearDown() override { fs::remove_all(root); }

    // A tty; with a device link when `real`, with a `type` file when `type` >= 0.
    void AddTty(const std::string& name, bool real, int type = -1) {
        fs::path dir = root / "class" / "tty" / name;
        fs::create_directories(dir);
        if (real) {
            fs::create_directories(root / "devices" / name);
            fs::create_directory_symlink(root / "devices" / name, dir / "device");
        }
        if (type >= 0) std::ofstream(dir / "type") << type << "\n";
    }

    fs::path root;
};

TEST_F(FakeSysfs, KeepsRealPortsInNaturalOrder) {
    AddTty("ttyUSB0", true);
    AddTty("ttyS10", true, 4);
    AddTty("ttyACM0", true);
    AddTty("ttyS0", true, 4);   // serial8250 with a UART
    AddTty("ttyS1", true, 0);   // serial8250 placeholder
    AddTty("ttyS2", true, 4);
    AddTty("tty3", false);      // virtual console
    AddTty("ptmx", false);
    EXPECT_EQ(DiscoverPorts(root),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10",
                                        "/dev/ttyUSB0"}));
}

TEST_F(FakeSysfs, NoTtyClassMeansNoPorts) { EXPECT_TRUE(DiscoverPorts(root).empty()); }

TEST(NaturalLess, NumbersCompareByValue) {
    EXPECT_TRUE(NaturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(NaturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(NaturalLess("ttyS9", "ttyUSB0"));
    EXPECT_TRUE(NaturalLess("ttyS", "ttyS0"));
    EXPECT_FALSE(NaturalLess("ttyS1", "ttyS1"));
    EXPECT_TRUE(NaturalLess("ttyS01x", "ttyS1y"));
}

}  // namespace
