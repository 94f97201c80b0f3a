#include "app/port_reconnect.h"

#include "ui/port_monitor.h"

PortReconnect::PortReconnect(PortMonitor& monitor, std::filesystem::path byIdDir,
                             std::filesystem::path sysfsRoot)
    : m_byIdDir(std::move(byIdDir)), m_sysfsRoot(std::move(sysfsRoot)) {
    m_rescan.setInterval(500);
    connect(&m_rescan, &QTimer::timeout, this, &PortReconnect::Look);
    connect(&monitor, &PortMonitor::portsChanged, this, &PortReconnect::Look);
}

void PortReconnect::Trace(const std::string& path) {
    m_trace = TracePort(path, m_byIdDir, m_sysfsRoot);
}

void PortReconnect::Wait() {
    m_refused = false;
    m_rescan.start();
}

void PortReconnect::Stop() { m_rescan.stop(); }

void PortReconnect::Look() {
    if (!Waiting()) return;
    const std::string path = FindPortAgain(m_trace, m_sysfsRoot);
    if (!path.empty()) emit deviceBack(path);
}
