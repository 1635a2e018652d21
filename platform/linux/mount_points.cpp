#include "platform/mount_points.h"

#include "block_devices.h"

namespace zd::platform {

std::vector<std::string> MountPointsOf(const std::filesystem::path& device)
{
    const auto number = linux_os::BlockDeviceNumber(device);
    if (!number)
        return {};
    std::vector<std::string> points;
    for (const auto& mount : linux_os::MountsOn(*number, true))
        points.push_back(mount.mountPoint);
    return points;
}

} // namespace zd::platform
