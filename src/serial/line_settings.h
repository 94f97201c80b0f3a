#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The four fixed choice lists of the communication settings. Labels are UTF-8 and are shown
// exactly as written; each carries the number the port device takes.
struct SettingChoice {
    std::string_view label;
    int value;
};

struct SettingList {
    std::span<const SettingChoice> choices;
    std::string_view defaultLabel;
};

extern const SettingList kBaudList;      // value: bits per second
extern const SettingList kParityList;    // value: 0 none, 1 odd, 2 even, 3 mark, 4 space
extern const SettingList kDataBitsList;  // value: 5..8
extern const SettingList kStopBitsList;  // value: 0 one, 1 one and a half, 2 two

// The value of the choice whose label equals `label` exactly; -1 when none does.
int LookUpSetting(const SettingList& list, std::string_view label);

enum class FlowControl : uint8_t { None, RtsCts, XonXoff };

// The line settings a port is opened with. The defaults beyond the five lists are what a
// port always had: no flow control, DTR and RTS on.
struct LineSettings {
    uint32_t baudRate = 9600;
    int parity = 0;
    int stopBits = 0;
    int byteSize = 8;
    FlowControl flow = FlowControl::None;
    bool dtr = true;
    bool rts = true;
};
