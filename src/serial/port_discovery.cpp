#include "serial/port_discovery.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// 8250-family drivers register every possible port; those without a UART report type 0.
bool IsPlaceholder(const fs::path& ttyDir) {
    std::ifstream type(ttyDir / "type");
    int value = -1;
    return type >> value && value == 0;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            std::string_view da = a.substr(i, ei - i), db = b.substr(j, ej - j);
            while (da.size() > 1 && da.front() == '0') da.remove_prefix(1);
            while (db.size() > 1 && db.front() == '0') db.remove_prefix(1);
            if (da.size() != db.size()) return da.size() < db.size();
            if (da != db) return da < db;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> DiscoverPorts(const fs::path& sysfsRoot) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysfsRoot / "class" / "tty", ec)) {
        const fs::path dir = entry.path();
        if (!fs::exists(dir / "device", ec) || IsPlaceholder(dir)) continue;
        names.push_back(dir.filename().string());
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    for (std::string& name : names) name.insert(0, "/dev/");
    return names;
}
