// Raw block devices (and disk image files) on Linux.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/block_device.h"

namespace zd::platform::linux_os {

// A partition, or a device that itself holds a mounted file system, is a
// logical volume; any other block device is a physical disk. A regular file
// is taken as a disk image, a physical disk that needs no preparing. Names
// that are relative or denote anything else are refused.
std::optional<DeviceTarget> ClassifyDevicePath(const std::filesystem::path& name);

std::unique_ptr<BlockDevice> OpenDevicePath(const DeviceTarget& target);

} // namespace zd::platform::linux_os
