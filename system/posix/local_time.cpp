// POSIX: localtime_r() with the zone's offset that the C library keeps beside it.
#include "system/local_time.h"

#include <ctime>

namespace r462xe {

LocalTime local_time_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return {};
    return {.year = local.tm_year + 1900,
            .month = local.tm_mon + 1,
            .day = local.tm_mday,
            .hour = local.tm_hour,
            .minute = local.tm_min,
            .second = local.tm_sec,
            .utc_offset_minutes = static_cast<int>(local.tm_gmtoff / 60)};
}

}  // namespace r462xe
