#include "device_users.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "block_devices.h"
#include "mountinfo.h"
#include "sysfs_block.h"

namespace zd::platform::linux_os {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kProcessesNamed = 10;

bool IsNumber(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether what a link in /proc/<pid> points to lies on the file system.
bool OnFileSystem(const fs::path& link, dev_t fileSystem)
{
    struct stat info {};
    return ::stat(link.c_str(), &info) == 0 && info.st_dev == fileSystem;
}

// A line of /proc/<pid>/maps: "start-end perms offset MAJOR:MINOR inode
// path", the device in hexadecimal.
bool MapsFileOn(const std::string& line, dev_t fileSystem)
{
    std::istringstream fields(line);
    std::string range, permissions, offset, device;
    unsigned long inode = 0;
    if (!(fields >> range >> permissions >> offset >> device >> inode) || inode == 0)
        return false;
    unsigned majorNumber = 0, minorNumber = 0;
    char colon = 0;
    std::istringstream number(device);
    return (number >> std::hex >> majorNumber >> colon >> minorNumber) && colon == ':' &&
           makedev(majorNumber, minorNumber) == fileSystem;
}

bool UsesFileSystem(const fs::path& process, dev_t fileSystem)
{
    for (const char* link : {"cwd", "root", "exe"})
        if (OnFileSystem(process / link, fileSystem))
            return true;
    std::error_code error;
    for (fs::directory_iterator it(process / "fd", error), end; !error && it != end; it.increment(error))
        if (OnFileSystem(it->path(), fileSystem))
            return true;
    std::ifstream maps(process / "maps");
    std::string line;
    while (std::getline(maps, line))
        if (MapsFileOn(line, fileSystem))
            return true;
    return false;
}

std::vector<dev_t> SwapPartitions()
{
    std::vector<dev_t> devices;
    for (const SwapEntry& swap : ReadSwaps())
        if (const auto device = BlockDeviceNumber(swap.file))
            devices.push_back(*device);
    return devices;
}

} // namespace

std::vector<ProcessUse> ProcessesUsing(dev_t fileSystem, const fs::path& proc)
{
    std::vector<ProcessUse> users;
    std::error_code error;
    for (fs::directory_iterator it(proc, error), end; !error && it != end; it.increment(error)) {
        const std::string pid = it->path().filename().string();
        if (IsNumber(pid) && UsesFileSystem(it->path(), fileSystem))
            users.push_back({std::stoi(pid), ReadAttribute(it->path() / "comm").value_or("?")});
    }
    std::sort(users.begin(), users.end(), [](const ProcessUse& a, const ProcessUse& b) { return a.pid < b.pid; });
    return users;
}

std::string DescribeProcesses(const std::vector<ProcessUse>& processes)
{
    std::string text;
    for (std::size_t i = 0; i < processes.size() && i < kProcessesNamed; ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(processes[i].pid) + " (" + processes[i].command + ")";
    if (processes.size() > kProcessesNamed)
        text += " and " + std::to_string(processes.size() - kProcessesNamed) + " more";
    return text;
}

std::string DescribeDeviceUse(dev_t device)
{
    std::vector<dev_t> devices{device};
    for (const Partition& partition : PartitionsOf(device))
        devices.push_back(partition.device);
    const auto mounts = ReadMountInfo();
    const auto swaps = SwapPartitions();
    std::string uses;
    const auto add = [&uses](const std::string& use) { uses += (uses.empty() ? "" : "; ") + use; };
    for (dev_t part : devices) {
        const std::string name = NodeName(part);
        for (const MountEntry& mount : mounts)
            if (MountedDevice(mount) == part)
                add(name + " is mounted at " + mount.mountPoint);
        std::error_code error;
        for (fs::directory_iterator it(SysfsDeviceDir(part) / "holders", error), end; !error && it != end;
             it.increment(error))
            add("/dev/" + it->path().filename().string() + " is built on " + name);
        if (std::find(swaps.begin(), swaps.end(), part) != swaps.end())
            add(name + " is swap space");
    }
    return uses.empty() ? "another program holds it exclusively (another wipe of it, perhaps)" : uses;
}

} // namespace zd::platform::linux_os
