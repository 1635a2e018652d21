// What sysfs tells about a whole disk: its caption, how it is attached,
// whether it can be unplugged and whether it is an optical drive.
#pragma once

#include <filesystem>
#include <string>

#include "sysfs_block.h"

namespace zd::platform::linux_os {

// RAM disks and loop devices without a backing file are no drives to pick.
bool IsListedDisk(const SysfsDisk& disk);

// The model, after the vendor when sysfs names one; "Loop device" and the
// backing file's name for a loop device; otherwise the kernel name.
std::string DiskCaption(const SysfsDisk& disk);

// The model as the drive reports it, after its vendor where that names a
// maker (SCSI and USB disks); the card's name for an MMC/SD card; empty
// when sysfs tells none.
std::string DiskModel(const SysfsDisk& disk);

// The serial number of the USB device the disk sits on; empty for a disk
// that is not on USB or a device without one.
std::string UsbSerial(const SysfsDisk& disk, const std::filesystem::path& devicesRoot);

// The transport in capitals, as lsblk names it ("SATA", "USB", "NVME",
// "SCSI", "VIRTIO", "MMC", "LOOP"); empty when it cannot be told.
// `devicesRoot` is <root>/sys/devices, where the walk up the parents stops.
std::string DiskTransport(const SysfsDisk& disk, const std::filesystem::path& devicesRoot);

// Whether the disk has removable media or sits on a hot-pluggable parent.
bool IsRemovableDisk(const SysfsDisk& disk, const std::filesystem::path& devicesRoot);

// SCSI peripheral type 5 (CD/DVD) or an "sr" name.
bool IsOpticalDisk(const SysfsDisk& disk);

} // namespace zd::platform::linux_os
