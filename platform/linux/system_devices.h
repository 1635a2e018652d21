// Which block devices the running system lives on, worked out from what the
// kernel shows under a root directory: "/" for the running system, a fixture
// tree in tests. It reads <root>/proc/self/mountinfo, <root>/proc/self/exe,
// <root>/proc/swaps, <root>/sys/block, <root>/sys/fs/btrfs,
// <root>/run/udev/data and <root>/dev.
//
// The system needs the devices of its root file system, of /boot,
// /boot/efi, /usr and /var, of a live system's medium, of the file this
// program runs from and of its swap space. Through an overlay the devices
// under its lower and upper directories count, through btrfs every device of
// the file system, through ZFS every member of the pool. Each of them is
// needed whole with every device it is built on (slaves, a loop device's
// backing device, or the device that holds its backing file). A device is
// refused when writing it would write any of that: when it is one of them,
// is built on one of them, or holds one (the disk of a partition the system
// uses; the other partitions of that disk stay free).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "block_stack.h"

namespace zd::platform::linux_os {

// Per device that a write may reach or the system needs: which parts of it
// (the partition it is reached through, or 0 for the whole device), each
// with what the system keeps there.
using DeviceFootprint = std::map<dev_t, std::map<dev_t, std::string>>;

class SystemDevices {
public:
    // `extra` are devices that count as holding the system volume as well.
    explicit SystemDevices(const std::filesystem::path& root, const std::vector<dev_t>& extra = {});

    // Empty when the devices of the root file system were found; otherwise
    // why not. What was found of the system's other devices is refused
    // either way.
    const std::string& Unknown() const { return unknown_; }

    // Why writing the device would destroy part of the running system ("the
    // root file system is on it", "it is built on /dev/sda2, which holds
    // the file system at /boot"); nothing when it would not.
    std::optional<std::string> Conflict(dev_t device) const;

    // Whether the root file system (or an extra system volume) is on the
    // device itself.
    bool HoldsRoot(dev_t device) const;

private:
    BlockStack stack_;
    std::string unknown_;
    std::vector<dev_t> root_;
    DeviceFootprint needed_;
};

// The running system's devices, with the test system volume
// (ZD_TEST_SYSTEM_VOLUME) as an extra one.
SystemDevices RunningSystemDevices();

} // namespace zd::platform::linux_os
