#include "certificate_text.h"

#include <cstdio>

namespace zd::record {

namespace {

constexpr std::string_view kDash = "\u2014";

std::string OneDecimal(double value, const char* unit)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    return text;
}

} // namespace

std::string GroupedNumber(uint64_t value)
{
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string SizeText(uint64_t bytes)
{
    const char* units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    for (value /= 1024; value >= 1024 && unit + 1 < std::size(units); value /= 1024)
        ++unit;
    std::string text = GroupedNumber(bytes) + " bytes";
    if (bytes >= 1024)
        text += " (" + OneDecimal(value, units[unit]) + ")";
    return text;
}

std::string ThroughputText(const std::optional<uint64_t>& bytesPerSecond)
{
    if (!bytesPerSecond)
        return std::string(kDash);
    return OneDecimal(static_cast<double>(*bytesPerSecond) / (1024.0 * 1024.0), "MiB/s");
}

std::string MomentText(std::string_view iso, bool timeOnly)
{
    // "2025-03-14T09:26:53.589+01:00": date, time and offset at fixed places.
    if (iso.size() < 19)
        return iso.empty() ? std::string(kDash) : std::string(iso);
    const std::string time(iso.substr(11, 8));
    if (timeOnly)
        return time;
    const std::size_t offset = iso.find_first_of("+-Z", 19);
    return std::string(iso.substr(0, 10)) + " " + time +
           (offset == std::string_view::npos ? "" : " " + std::string(iso.substr(offset)));
}

std::string PassResultText(PassResult result)
{
    switch (result) {
    case PassResult::Completed:
        return "Completed";
    case PassResult::Cancelled:
        return "Cancelled";
    case PassResult::Failed:
        return "Failed";
    case PassResult::NotStarted:
        break;
    }
    return "Not started";
}

std::string YesNo(const std::optional<bool>& value) { return value ? (*value ? "Yes" : "No") : std::string(kDash); }

std::string OrDash(std::string_view text) { return text.empty() ? std::string(kDash) : std::string(text); }

} // namespace zd::record
