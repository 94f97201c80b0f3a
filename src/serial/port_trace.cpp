#include "serial/port_trace.h"

#include "serial/port_identity.h"

namespace fs = std::filesystem;

PortTrace TracePort(const std::string& path, const fs::path& byIdDir, const fs::path& sysfsRoot) {
    std::error_code ec;
    const fs::path node = fs::canonical(path, ec);
    PortTrace trace{path, {}, PortIdentity(sysfsRoot, ec ? path : node.string())};
    if (ec) return trace;
    for (const fs::directory_entry& entry : fs::directory_iterator(byIdDir, ec)) {
        if (fs::canonical(entry.path(), ec) == node) {
            trace.link = entry.path().string();
            break;
        }
    }
    return trace;
}

std::string FindPortAgain(const PortTrace& trace, const fs::path& sysfsRoot) {
    std::error_code ec;
    const fs::path node = fs::canonical(trace.link.empty() ? trace.path : trace.link, ec);
    if (ec || PortIdentity(sysfsRoot, node.string()) != trace.identity) return {};
    return trace.link.empty() ? trace.path : node.string();
}
