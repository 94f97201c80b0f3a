#include "serial/line_settings.h"

namespace {

constexpr SettingChoice kBaud[] = {
    {"110", 110},       {"300", 300},     {"600", 600},     {"1200", 1200},   {"2400", 2400},
    {"4800", 4800},     {"9600", 9600},   {"14400", 14400}, {"19200", 19200}, {"38400", 38400},
    {"56000", 56000},   {"57600", 57600}, {"115200", 115200},
};
constexpr SettingChoice kParity[] = {
    {"None", 0}, {"奇校验", 1}, {"偶校验", 2}, {"Mark", 3}, {"Space", 4},
};
constexpr SettingChoice kDataBits[] = {{"5位", 5}, {"6位", 6}, {"7位", 7}, {"8位", 8}};
constexpr SettingChoice kStopBits[] = {{"1位", 0}, {"1.5位", 1}, {"2位", 2}};

}  // namespace

const SettingList kBaudList{kBaud, "9600"};
const SettingList kParityList{kParity, "None"};
const SettingList kDataBitsList{kDataBits, "8位"};
const SettingList kStopBitsList{kStopBits, "1位"};

int LookUpSetting(const SettingList& list, std::string_view label) {
    for (const SettingChoice& choice : list.choices) {
        if (choice.label == label) return choice.value;
    }
    return -1;
}
