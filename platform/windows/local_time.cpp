#include <time.h>

#include "platform/local_time.h"

namespace zd::platform {

LocalTime ToLocalTime(std::time_t when)
{
    LocalTime local;
    localtime_s(&local.fields, &when);
    // The local fields read as if they were UTC, less the moment itself.
    std::tm fields = local.fields;
    local.utcOffsetSeconds = static_cast<long>(_mkgmtime(&fields) - when);
    return local;
}

} // namespace zd::platform
