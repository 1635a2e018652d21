// The texts and the percentage the progress page shows.
#pragma once

#include <QString>
#include <cstdint>
#include <ctime>
#include <optional>

namespace zd::ui {

// Sectors done of the total in whole percent: divided first, then
// multiplied, in double precision, truncated toward zero (29 of 100 is 28).
// 0 when the total is 0.
int32_t ProgressPercent(uint64_t sectorsDone, uint64_t sectorTotal);

// "28 %", with a blank before the sign.
QString PercentText(int32_t percent);

// "%d / %d Pass completed..." with passes done and pass count.
QString PassText(int32_t passesDone, int32_t passCount);

// Hours (as many digits as they need, at least two), minutes and seconds:
// "100:02:03". A negative span (the clock set back) reads as 0.
QString ElapsedText(int64_t seconds);

// The sector count followed by the size in the drive list's units:
// "131072 (64.00 MB)"; the count alone for a size the list shows no unit for.
QString SectorCountText(uint64_t sectors);

// Megabytes (of 1,048,576 bytes, as the drive list counts) per second:
// "187.25 MB/s"; "--" while unknown.
QString SpeedText(std::optional<double> bytesPerSecond);

// As the elapsed time; "--:--:--" while unknown.
QString TimeLeftText(std::optional<int64_t> seconds);

// The local time of day, "%H:%M:%S"; empty when it cannot be formatted.
QString ClockText(std::time_t when);

} // namespace zd::ui
