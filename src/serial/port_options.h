#pragma once

#include <cstdint>
#include <string>

#include "receive/text_decoder.h"
#include "serial/line_settings.h"
#include "serial/serial_port.h"

// What a text send ends with.
enum class LineEnding : uint8_t { None, Cr, Lf, CrLf };

// What the advanced settings window sets beyond the main window's five lists. The defaults
// keep the main window as it always was.
struct PortOptions {
    FlowControl flow = FlowControl::None;
    bool dtrAtOpen = true;
    bool rtsAtOpen = true;
    uint32_t customBaud = 0;  // 0: the main window's baud list holds
    ModemLine pulseLine = ModemLine::Dtr;
    uint32_t pulseMs = 100;
    uint32_t breakMs = 250;
    bool autoReconnect = false;
    bool rememberSettings = false;
    LineEnding lineEnding = LineEnding::None;
    uint32_t charDelayMs = 0;  // between the bytes of one send; 0: as fast as the line takes them
    bool echo = false;         // sends also shown in the receive area
    TextEncoding textEncoding = TextEncoding::Bytes;  // how received text reads
    std::string logDirectory;  // where the daily log goes; empty: where it always went
    bool operator==(const PortOptions&) const = default;
};

// Pulse and break lengths the window accepts, in milliseconds.
constexpr uint32_t kMinControlMs = 1;
constexpr uint32_t kMaxControlMs = 5000;
constexpr uint32_t kMaxCharDelayMs = 1000;
