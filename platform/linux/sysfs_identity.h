// What identifies a block device, read from sysfs and the udev database
// under a root directory: "/" for the running system, a fixture tree in
// tests (<root>/sys, <root>/run/udev/data and, for loop devices, <root>/dev).
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/device_identity.h"
#include "sysfs_block.h"

namespace zd::platform::linux_os {

// The identity of a disk (`device` is `disk`) or of one of its partitions,
// which carries its disk's model, serial, WWN, firmware, transport, sector
// sizes and loop backing file. sysfs is asked first and the udev database
// fills what it leaves open, since udev's record is only as fresh as its
// last event.
DeviceIdentity ReadSysfsIdentity(const std::filesystem::path& root, const SysfsDisk& disk,
                                 const SysfsBlockDevice& device);

// The same for the disk or partition of this kernel name ("sda",
// "loop3p1"); nothing when sysfs under the root lists none.
std::optional<DeviceIdentity> ReadSysfsIdentity(const std::filesystem::path& root, std::string_view kernelName);

// The identity of what `status` describes (an fstat of an opened device or
// image file; `path` is the name it was opened by): a block device by its
// device number, an image file as its own backing file.
std::optional<DeviceIdentity> ReadIdentityOf(const std::filesystem::path& path, const struct stat& status);

} // namespace zd::platform::linux_os
