#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/port_options.h"

// What "记住设置" brings back at the next start: the port, the line settings, the display
// and send options and the advanced options, as the main window holds them. The line
// settings are the values the main window's lists carry.
struct RememberedSettings {
    std::string port;
    std::vector<std::string> networkPorts;  // added to the port list by hand
    uint32_t baud = 0;
    int parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    bool hexShow = false;
    bool timestamp = false;
    bool charTimestamp = false;
    std::string trigger;  // at most two hex digits
    bool wrap = false;
    bool hexSend = false;
    bool cycle = false;
    uint32_t interval = 0;
    PortOptions options;
    bool operator==(const RememberedSettings&) const = default;
};

// ~/.config/corvala/corvala.conf, or under $XDG_CONFIG_HOME.
QString SettingsFile();

// Puts what `file` remembers over `settings`, which hold the start-up state. Nothing
// changes where the file does not exist or does not ask to be remembered. False when the
// file cannot be read or makes no sense (then nothing changes), or when one of its values
// does not fit (that one keeps the start-up value; the others are taken).
bool LoadSettings(const QString& file, RememberedSettings& settings);

// Writes all of `settings` while they ask to be remembered. Otherwise the file only says
// that they are not, and a user who never asked gets no file at all. False when the file
// cannot be written.
bool SaveSettings(const QString& file, const RememberedSettings& settings);
