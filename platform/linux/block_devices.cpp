#include "block_devices.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>

namespace zd::platform::linux_os {

namespace {

// Reads a sysfs "dev" file ("MAJOR:MINOR").
std::optional<dev_t> ReadDeviceNumber(const std::filesystem::path& devFile)
{
    std::ifstream in(devFile);
    unsigned majorNumber = 0, minorNumber = 0;
    char colon = 0;
    if (!(in >> majorNumber >> colon >> minorNumber) || colon != ':')
        return std::nullopt;
    return makedev(majorNumber, minorNumber);
}

} // namespace

std::optional<dev_t> BlockDeviceNumber(const std::filesystem::path& node)
{
    struct stat info {};
    if (!node.is_absolute() || ::stat(node.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::nullopt;
    return info.st_rdev;
}

std::filesystem::path SysfsDeviceDir(dev_t device)
{
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::optional<std::string> KernelName(dev_t device)
{
    std::error_code error;
    const auto directory = std::filesystem::read_symlink(SysfsDeviceDir(device), error);
    return error ? std::nullopt : std::optional(directory.filename().string());
}

std::string NodeName(dev_t device, const std::optional<std::string>& kernelName)
{
    if (kernelName)
        return "/dev/" + *kernelName;
    return "block device " + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::string NodeName(dev_t device) { return NodeName(device, KernelName(device)); }

bool IsPartition(dev_t device) { return std::filesystem::exists(SysfsDeviceDir(device) / "partition"); }

std::vector<Partition> PartitionsOf(dev_t disk)
{
    std::vector<Partition> partitions;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SysfsDeviceDir(disk), error)) {
        std::ifstream file(entry.path() / "partition");
        int number = 0;
        if (!(file >> number))
            continue;
        if (const auto device = ReadDeviceNumber(entry.path() / "dev"))
            partitions.push_back({number, *device});
    }
    std::sort(partitions.begin(), partitions.end(),
              [](const Partition& a, const Partition& b) { return a.number < b.number; });
    return partitions;
}

std::optional<dev_t> MountedDevice(const MountEntry& mount)
{
    if (mount.major != 0)
        return makedev(mount.major, mount.minor);
    return BlockDeviceNumber(mount.source);
}

std::vector<MountEntry> MountsOn(dev_t device, bool withPartitions)
{
    std::set<dev_t> devices{device};
    if (withPartitions)
        for (const Partition& partition : PartitionsOf(device))
            devices.insert(partition.device);
    auto mounts = ReadMountInfo();
    std::erase_if(mounts, [&](const MountEntry& mount) {
        const auto mounted = MountedDevice(mount);
        return !mounted || !devices.contains(*mounted);
    });
    return mounts;
}

} // namespace zd::platform::linux_os
