// The Linux host facts that come from files, read under a root directory
// ("/" for the running system, a fixture tree in tests).
#pragma once

#include <filesystem>

#include "platform/host_info.h"

namespace zd::platform::linux_os {

// The OS name from <root>/etc/os-release (or <root>/usr/lib/os-release),
// the machine id from <root>/etc/machine-id and the firmware's system
// information from <root>/sys/class/dmi/id. Other fields stay empty.
HostInfo ReadHostFiles(const std::filesystem::path& root);

} // namespace zd::platform::linux_os
