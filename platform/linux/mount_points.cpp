#include "platform/mount_points.h"

#include <set>

#include "block_devices.h"

namespace zd::platform {

std::vector<std::string> MountPointsOf(const std::filesystem::path& device)
{
    using namespace linux_os;
    const auto number = BlockDeviceNumber(device);
    if (!number)
        return {};
    std::set<dev_t> devices{*number};
    for (const Partition& partition : PartitionsOf(*number))
        devices.insert(partition.device);
    std::vector<std::string> points;
    for (const auto& mount : ReadMountInfo()) {
        const auto mounted = MountedDevice(mount);
        if (mounted && devices.contains(*mounted))
            points.push_back(mount.mountPoint);
    }
    return points;
}

} // namespace zd::platform
