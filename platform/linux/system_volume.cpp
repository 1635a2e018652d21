#include "platform/system_volume.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>

#include "engine/text.h"
#include "mountinfo.h"

namespace zd::platform {

namespace {

std::optional<dev_t> BlockDeviceNumber(const std::filesystem::path& path)
{
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::nullopt;
    return info.st_rdev;
}

std::filesystem::path SysfsDir(dev_t device)
{
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::optional<dev_t> ReadDeviceNumber(const std::filesystem::path& devFile)
{
    std::ifstream in(devFile);
    unsigned majorNumber = 0, minorNumber = 0;
    char colon = 0;
    if (!(in >> majorNumber >> colon >> minorNumber) || colon != ':')
        return std::nullopt;
    return makedev(majorNumber, minorNumber);
}

// The device of the file system mounted at "/" (the topmost such mount).
std::optional<dev_t> RootDevice()
{
    std::optional<dev_t> root;
    for (const auto& mount : linux_os::ReadMountInfo()) {
        if (mount.mountPoint != "/")
            continue;
        if (mount.major != 0)
            root = makedev(mount.major, mount.minor);
        else if (const auto source = BlockDeviceNumber(mount.source))
            root = source; // file systems such as btrfs report an anonymous device
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
    const auto dir = std::filesystem::canonical(SysfsDir(device), error);
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
