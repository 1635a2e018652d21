// Drive objects of a Linux system, read from sysfs, the mount table and the
// devices' superblocks under a root directory: "/" for the running system,
// a fixture tree in tests (<root>/sys, <root>/proc/self/mountinfo and, for
// labels, <root>/dev).
#pragma once

#include <filesystem>

#include "platform/drive_source.h"

namespace zd::platform::linux_os {

class SysfsDriveSource final : public DriveSource {
public:
    explicit SysfsDriveSource(std::filesystem::path root = "/");

    // Physical disks: every whole disk but RAM disks and detached loop
    // devices, by kernel name. Logical volumes: every mounted block device,
    // once, in the order of its first mount.
    void Enumerate(DriveQuery query, const std::function<void(DriveObject&)>& visit) override;

private:
    void EnumerateDisks(const std::function<void(DriveObject&)>& visit);
    void EnumerateVolumes(const std::function<void(DriveObject&)>& visit);

    std::filesystem::path root_;
};

} // namespace zd::platform::linux_os
