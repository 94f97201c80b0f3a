#include "ui/port_monitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <string_view>

PortMonitor::PortMonitor(QObject* parent) : QObject(parent) {
    m_udev = udev_new();
    if (!m_udev) return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PortMonitor::OnReadable);
}

PortMonitor::~PortMonitor() {
    m_notifier.reset();
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
}

void PortMonitor::OnReadable() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        changed = changed || (action && (std::string_view(action) == "add" || std::string_view(action) == "remove"));
        udev_device_unref(device);
    }
    if (changed) emit portsChanged();
}
