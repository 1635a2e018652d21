// Reads what identifies a device from the running system, for showing it
// before a wipe and for checking right before the first write that the
// opened device is still the one shown (identity_check.h).
#pragma once

#include <filesystem>
#include <optional>

#include "device_identity.h"

namespace zd::platform {

// The identity of a block device, a Windows drive or a disk image file, read
// the way discovery reads it, so that both agree for the same device:
// - Linux, a block device node (any name of it, /dev/disk/by-id/... too):
//   by its device number, from sysfs and the udev database; devicePath is
//   the kernel's node name ("/dev/sda"); a partition carries its disk's model,
//   serial, WWN, firmware and transport.
// - Windows, "\\.\PHYSICALDRIVEn" or a volume ("E:", "\\.\E:"): from WMI's
//   Win32_DiskDrive or Win32_LogicalDisk object of that name.
// - A disk image file (an existing regular file): it is its own backing
//   file. devicePath and backingFile->path are its absolute path, sizeBytes
//   its length, backingFile->device and ->inode the file system's numbers
//   for it (st_dev and st_ino; on Windows the volume serial number and the
//   file index), offset 0, transport "FILE", deviceNumber 0.
// Nothing for a path that names none of these or that cannot be examined.
std::optional<DeviceIdentity> ReadDeviceIdentity(const std::filesystem::path& device);

} // namespace zd::platform
