#include "platform/mount_points.h"

#include "platform/block_device.h"

namespace zd::platform {

// A volume named by its drive letter is mounted at that letter's root; what
// a physical disk holds is listed by drive discovery.
std::vector<std::string> MountPointsOf(const std::filesystem::path& device)
{
    const auto target = SystemDeviceBackend().Classify(device);
    if (!target || target->imageFile || target->kind != LogicalVolume)
        return {};
    return {device.string() + "\\"};
}

} // namespace zd::platform
