// The system information of an SMBIOS table.
#pragma once

#include <cstdint>
#include <span>

#include "platform/host_info.h"

namespace zd::platform {

// Sets the system vendor, product and serial from the table's System
// Information structure (type 1); leaves them when the table has none or
// ends inside it.
void ReadSmbiosSystemInformation(std::span<const uint8_t> table, HostInfo& host);

} // namespace zd::platform
