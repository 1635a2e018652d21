// The local time of a moment and the local time zone's offset from UTC at
// that moment.
#pragma once

#include <ctime>

namespace zd::platform {

struct LocalTime {
    std::tm fields{};
    long utcOffsetSeconds = 0; // east of UTC is positive
};

LocalTime ToLocalTime(std::time_t when);

} // namespace zd::platform
