// Where a device and its partitions are mounted, for showing the user what a
// wipe would take away.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zd::platform {

// Mount points of the file systems on the device itself and on its
// partitions, in the order the system lists them; empty for a disk image
// file or an unmounted device.
std::vector<std::string> MountPointsOf(const std::filesystem::path& device);

} // namespace zd::platform
