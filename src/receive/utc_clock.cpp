#include "receive/utc_clock.h"

#include <chrono>

UtcTime SystemUtcNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto days = floor<std::chrono::days>(now);
    const year_month_day ymd{days};
    const hh_mm_ss hms{floor<milliseconds>(now - days)};
    return {static_cast<int>(ymd.year()),          static_cast<int>(unsigned(ymd.month())),
            static_cast<int>(unsigned(ymd.day())), static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()),
            static_cast<int>(hms.subseconds().count())};
}
