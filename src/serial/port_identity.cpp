#include "serial/port_identity.h"

#include <cctype>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    return value;
}

void Join(std::string& text, const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += " — ";
    text += part;
}

std::string UsbIdentity(const fs::path& usbDevice) {
    std::string text;
    Join(text, ReadAttribute(usbDevice / "product"));
    Join(text, ReadAttribute(usbDevice / "manufacturer"));
    Join(text, ReadAttribute(usbDevice / "serial"));
    Join(text, ReadAttribute(usbDevice / "idVendor") + ":" + ReadAttribute(usbDevice / "idProduct"));
    return text;
}

}  // namespace

std::string PortIdentity(const fs::path& sysfsRoot, const std::string& port) {
    const fs::path name = fs::path(port).filename();
    std::error_code ec;
    const fs::path device = fs::canonical(sysfsRoot / "class" / "tty" / name / "device", ec);
    if (ec) return {};
    const fs::path top = fs::weakly_canonical(sysfsRoot / "devices", ec);
    // The nearest USB device above the tty is the adapter.
    for (fs::path dir = device; dir.has_relative_path() && dir != top; dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec)) return UsbIdentity(dir);
    }
    // Newer kernels put serial-base port and controller devices between a tty and its UART;
    // their drivers say nothing about the hardware.
    for (fs::path dir = device; dir.has_relative_path() && dir != top; dir = dir.parent_path()) {
        const fs::path driver = fs::read_symlink(dir / "driver", ec);
        if (ec) continue;
        if (driver.parent_path().parent_path().filename() != "serial-base") return driver.filename().string();
    }
    return {};
}
