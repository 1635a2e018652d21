// The file system on a device, as libblkid reads it from its superblock.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zd::platform::linux_os {

struct VolumeProbe {
    std::string label; // empty when the file system has none
    std::string type;  // "ext4", "vfat", ...
};

// nullopt when the device cannot be opened or holds no file system that
// libblkid knows. Only reads.
std::optional<VolumeProbe> ProbeVolume(const std::filesystem::path& device);

} // namespace zd::platform::linux_os
