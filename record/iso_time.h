// Moments as an erasure record writes them: ISO 8601 local time to the
// millisecond with the UTC offset, "2025-03-14T09:26:53.589+01:00".
#pragma once

#include <chrono>
#include <string>

namespace zd::record {

std::string IsoTime(std::chrono::system_clock::time_point when);

} // namespace zd::record
