#include "platform/system_volume.h"

#include <cstdlib>
#include <optional>
#include <set>

#include "block_devices.h"
#include "platform/text.h"

namespace zd::platform {

namespace {

using namespace linux_os;

// The device of the file system mounted at "/" (the topmost such mount).
std::optional<dev_t> RootDevice()
{
    std::optional<dev_t> root;
    for (const auto& mount : ReadMountInfo()) {
        if (mount.mountPoint == "/")
            root = MountedDevice(mount);
    }
    return root;
}

std::optional<dev_t> TestSystemVolume()
{
    const char* name = std::getenv(kTestSystemVolumeVariable);
    return name ? BlockDeviceNumber(name) : std::nullopt;
}

// Adds the device, the disk it is a partition of and the devices it is
// built from (device-mapper and RAID members), recursively.
void AddWithUnderlyingDevices(dev_t device, std::set<dev_t>& devices)
{
    if (!devices.insert(device).second)
        return;
    std::error_code error;
    const auto dir = std::filesystem::canonical(SysfsDeviceDir(device), error);
    if (error)
        return;
    if (std::filesystem::exists(dir / "partition"))
        if (const auto disk = ReadDeviceNumber(dir.parent_path() / "dev"))
            AddWithUnderlyingDevices(*disk, devices);
    for (const auto& member : std::filesystem::directory_iterator(dir / "slaves", error))
        if (const auto number = ReadDeviceNumber(member.path() / "dev"))
            AddWithUnderlyingDevices(*number, devices);
}

std::set<dev_t> SystemDevices()
{
    std::set<dev_t> devices;
    for (const auto& root : {RootDevice(), TestSystemVolume()})
        if (root)
            AddWithUnderlyingDevices(*root, devices);
    return devices;
}

} // namespace

bool IsOperatingSystemVolume(std::u16string_view caption)
{
    const auto device = BlockDeviceNumber(Utf16ToUtf8(caption));
    return device && (device == RootDevice() || device == TestSystemVolume());
}

bool HoldsRunningSystem(const std::filesystem::path& device)
{
    const auto number = BlockDeviceNumber(device);
    return number && SystemDevices().contains(*number);
}

std::u16string VolumeLogName(std::u16string_view caption)
{
    const std::filesystem::path path(Utf16ToUtf8(caption));
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return Utf8ToUtf16((error ? path : resolved).filename().string());
}

} // namespace zd::platform
