#include "iso_time.h"

#include <cstdio>
#include <cstdlib>

#include "platform/local_time.h"

namespace zd::record {

std::string IsoTime(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(when);
    const auto millis = duration_cast<milliseconds>(when - seconds).count();
    const platform::LocalTime local = platform::ToLocalTime(system_clock::to_time_t(seconds));
    const std::tm& t = local.fields;
    const int offsetMinutes = static_cast<int>(std::labs(local.utcOffsetSeconds) / 60);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(millis),
                  local.utcOffsetSeconds < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

} // namespace zd::record
