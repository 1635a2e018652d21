#include "platform/mount_points.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>

#include "mountinfo.h"

namespace zd::platform {

namespace {

std::filesystem::path SysfsDir(dev_t device)
{
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The device and the partitions that sysfs lists beneath it.
std::set<dev_t> DeviceAndPartitions(dev_t device)
{
    std::set<dev_t> devices{device};
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SysfsDir(device), error)) {
        if (!std::filesystem::exists(entry.path() / "partition"))
            continue;
        std::ifstream in(entry.path() / "dev");
        unsigned majorNumber = 0, minorNumber = 0;
        char colon = 0;
        if (in >> majorNumber >> colon >> minorNumber && colon == ':')
            devices.insert(makedev(majorNumber, minorNumber));
    }
    return devices;
}

std::optional<dev_t> BlockDeviceNumber(const std::string& path)
{
    struct stat info {};
    if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::nullopt;
    return info.st_rdev;
}

} // namespace

std::vector<std::string> MountPointsOf(const std::filesystem::path& device)
{
    const auto number = BlockDeviceNumber(device.string());
    if (!number)
        return {};
    const auto devices = DeviceAndPartitions(*number);
    std::vector<std::string> points;
    for (const auto& mount : linux_os::ReadMountInfo()) {
        // File systems such as btrfs report an anonymous device; their
        // source names the block device.
        const auto mounted = mount.major != 0 ? std::optional<dev_t>(makedev(mount.major, mount.minor))
                                              : BlockDeviceNumber(mount.source);
        if (mounted && devices.count(*mounted))
            points.push_back(mount.mountPoint);
    }
    return points;
}

} // namespace zd::platform
