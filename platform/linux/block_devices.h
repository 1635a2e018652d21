// What sysfs and the mount table say about block devices, by device number.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mountinfo.h"

namespace zd::platform::linux_os {

// The device number of a block device node; nothing for anything else.
std::optional<dev_t> BlockDeviceNumber(const std::filesystem::path& node);

// The device's directory in sysfs (/sys/dev/block/MAJOR:MINOR).
std::filesystem::path SysfsDeviceDir(dev_t device);

// The kernel's name of the device ("sda2"); nothing for a device sysfs does
// not list.
std::optional<std::string> KernelName(dev_t device);

// "/dev/sda2" for the kernel's name; "block device 8:2" without one.
std::string NodeName(dev_t device, const std::optional<std::string>& kernelName);
std::string NodeName(dev_t device);

bool IsPartition(dev_t device);

struct Partition {
    int number;
    dev_t device;
};

// The partitions of a whole disk as sysfs lists them, by number.
std::vector<Partition> PartitionsOf(dev_t disk);

// The block device that a mount's file system lives on. File systems such as
// btrfs report an anonymous device number; their source names the device.
std::optional<dev_t> MountedDevice(const MountEntry& mount);

// The mount table's entries for the device and, when asked, its partitions,
// in table order.
std::vector<MountEntry> MountsOn(dev_t device, bool withPartitions);

} // namespace zd::platform::linux_os
