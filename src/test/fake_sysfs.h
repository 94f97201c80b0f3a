#pragma once

// A sysfs tree in a fresh temporary directory, shaped as real kernels shape it, for finding
// and describing ports without real ones. Removed when destroyed.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>

class FakeSysfs {
public:
    FakeSysfs() {
        static std::atomic<int> serial{0};
        m_root = std::filesystem::temp_directory_path() /
                 ("corvala-sysfs-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / "devices");
    }
    ~FakeSysfs() { std::filesystem::remove_all(m_root); }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    const std::filesystem::path& Root() const { return m_root; }

    // tty `name` backed by the device directory `device` (relative to devices/), bound to
    // the driver "BUS/drivers/NAME" when one is given, with a `type` file when `type` >= 0.
    void AddTty(const std::string& name, const std::string& device, const std::string& driver = "",
                int type = -1) {
        const std::filesystem::path dir = m_root / "class/tty" / name;
        std::filesystem::create_directories(dir);
        std::filesystem::create_directories(m_root / "devices" / device);
        if (!driver.empty()) BindDriver(device, driver);
        std::filesystem::create_directory_symlink(m_root / "devices" / device, dir / "device");
        if (type >= 0) std::ofstream(dir / "type") << type << "\n";
    }
    // A tty no device backs, as a virtual console.
    void AddVirtualTty(const std::string& name) { std::filesystem::create_directories(m_root / "class/tty" / name); }
    void RemoveTty(const std::string& name) { std::filesystem::remove_all(m_root / "class/tty" / name); }

    void BindDriver(const std::string& device, const std::string& driver) {
        std::filesystem::create_directories(m_root / "devices" / device);
        std::filesystem::create_directories(m_root / "bus" / driver);
        std::filesystem::create_directory_symlink(m_root / "bus" / driver, m_root / "devices" / device / "driver");
    }
    // Attribute files of the device directory `device`, one value a line.
    void SetAttributes(const std::string& device,
                       std::initializer_list<std::pair<const char*, const char*>> values) {
        std::filesystem::create_directories(m_root / "devices" / device);
        for (const auto& [name, value] : values) std::ofstream(m_root / "devices" / device / name) << value << "\n";
    }

private:
    std::filesystem::path m_root;
};
