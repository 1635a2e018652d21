#include "drive_size.h"

#include <cstdio>

#include "platform/text.h"

namespace zd {

namespace {

std::u16string FormatUnits(float value, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s", static_cast<double>(value), unit);
    return Utf8ToUtf16(text);
}

} // namespace

std::u16string FormatDriveSize(uint64_t bytes)
{
    // Single precision on purpose: sizes just above a unit round onto it
    // (1,073,741,888 bytes converts to exactly 2^30 and reads "1024.00 MB").
    const float size = static_cast<float>(bytes);
    if (const float gib = size * (1.0f / 1073741824.0f); gib > 1.0f)
        return FormatUnits(gib, "GB");
    if (const float mib = size * (1.0f / 1048576.0f); mib > 1.0f)
        return FormatUnits(mib, "MB");
    if (const float kib = size * (1.0f / 1024.0f); kib > 1.0f)
        return FormatUnits(kib, "KB");
    return {};
}

} // namespace zd
