// Windows: the system time turned into local time by the zone's rules in force now; the offset is
// the difference between the two.
#include "system/local_time.h"

#include <windows.h>

namespace r462xe {

LocalTime local_time_now() {
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    FILETIME local{};
    SYSTEMTIME shown{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &shown)) return {};
    auto ticks = [](const FILETIME& time) {
        return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                      time.dwLowDateTime);
    };
    constexpr long long kTicksPerMinute = 60LL * 10'000'000;
    // Rounded to whole minutes, as zones are.
    const long long difference = ticks(local) - ticks(utc);
    const long long minutes =
        (difference + (difference < 0 ? -kTicksPerMinute : kTicksPerMinute) / 2) / kTicksPerMinute;
    return {.year = shown.wYear,
            .month = shown.wMonth,
            .day = shown.wDay,
            .hour = shown.wHour,
            .minute = shown.wMinute,
            .second = shown.wSecond,
            .utc_offset_minutes = static_cast<int>(minutes)};
}

}  // namespace r462xe
