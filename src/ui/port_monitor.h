#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Says when a tty is added or removed, from udev's events. Where no udev daemon runs (a
// container) nothing is ever said; the port list's rescan on drop-down still holds.
// Window thread only.
class PortMonitor : public QObject {
    Q_OBJECT
public:
    explicit PortMonitor(QObject* parent = nullptr);
    ~PortMonitor() override;

signals:
    void portsChanged();

private:
    void OnReadable();

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
