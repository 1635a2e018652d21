#include "platform/local_time.h"

namespace zd::platform {

LocalTime ToLocalTime(std::time_t when)
{
    LocalTime local;
    localtime_r(&when, &local.fields);
    local.utcOffsetSeconds = local.fields.tm_gmtoff;
    return local;
}

} // namespace zd::platform
