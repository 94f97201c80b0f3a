#pragma once

#include <QObject>
#include <QTimer>
#include <filesystem>
#include <string>
#include <utility>

#include "serial/port_trace.h"

class PortMonitor;

// Watches for the device of an open port that went away to come back, and says where it
// is. udev's word that a tty was added makes it look at once; it also looks every 500 ms,
// for machines where no udev runs and for a device that a prober (ModemManager) holds for a
// moment after it appears, when no further event comes. Looking is a few stat calls; between
// looks nothing runs. Window thread only.
class PortReconnect : public QObject {
    Q_OBJECT

public:
    PortReconnect(PortMonitor& monitor, std::filesystem::path byIdDir,
                  std::filesystem::path sysfsRoot);

    // Notes how to find the device of the port just opened at `path` again.
    void Trace(const std::string& path);
    // Looks for the traced device until Stop, telling deviceBack each time it is there.
    void Wait();
    void Stop();
    bool Waiting() const { return m_rescan.isActive(); }
    // The device is back but would not open: true the first time in a wait, so that is told
    // once while the looking goes on.
    bool FirstRefusal() { return !std::exchange(m_refused, true); }

signals:
    // The device is at `path`; the receiver tries to open it and stops the wait if it could.
    void deviceBack(const std::string& path);

private:
    void Look();

    std::filesystem::path m_byIdDir;
    std::filesystem::path m_sysfsRoot;
    PortTrace m_trace;
    QTimer m_rescan;
    bool m_refused = false;  // in this wait
};
