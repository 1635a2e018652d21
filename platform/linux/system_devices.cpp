#include "system_devices.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "block_devices.h"
#include "mountinfo.h"
#include "platform/system_volume.h"
#include "udev_database.h"
#include "volume_probe.h"

namespace zd::platform::linux_os {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxDepth = 16;
constexpr std::string_view kDeletedMark = " (deleted)";

bool IsUnder(const std::string& path, const std::string& mountPoint)
{
    if (mountPoint == "/")
        return path.starts_with('/');
    return path.starts_with(mountPoint) && (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The directories an overlay is made of: its lower layers (separated by
// ':', a ':' in a name escaped with '\') and its upper directory.
std::vector<std::string> OverlayDirectories(const std::string& superOptions)
{
    std::vector<std::string> directories;
    std::istringstream options(superOptions);
    std::string option;
    while (std::getline(options, option, ',')) {
        const auto equals = option.find('=');
        const std::string key = option.substr(0, equals);
        if (equals == std::string::npos ||
            (key != "lowerdir" && key != "upperdir" && key != "lowerdir+" && key != "datadir+"))
            continue;
        const std::string value = DecodeMountField(std::string_view(option).substr(equals + 1));
        std::string directory;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                directory += value[++i];
            } else if (value[i] == ':') {
                directories.push_back(std::exchange(directory, {}));
            } else {
                directory += value[i];
            }
        }
        directories.push_back(directory);
    }
    std::erase(directories, std::string());
    return directories;
}

// The mount table under the root, and the devices each mount lies on.
class MountTable {
public:
    explicit MountTable(const BlockStack& stack)
        : stack_(stack), mounts_(ReadMountInfo(stack.root() / "proc/self/mountinfo"))
    {
    }

    // The topmost mount at the point.
    const MountEntry* At(const std::string& point) const
    {
        const auto found = std::find_if(mounts_.rbegin(), mounts_.rend(),
                                        [&](const MountEntry& mount) { return mount.mountPoint == point; });
        return found == mounts_.rend() ? nullptr : &*found;
    }

    // Every mount at the point or below it.
    std::vector<const MountEntry*> AtOrUnder(const std::string& point) const
    {
        std::vector<const MountEntry*> found;
        for (const MountEntry& mount : mounts_)
            if (IsUnder(mount.mountPoint, point))
                found.push_back(&mount);
        return found;
    }

    // The topmost of the deepest mounts that the path lies under.
    const MountEntry* Holding(const std::string& path) const
    {
        const MountEntry* holding = nullptr;
        for (const MountEntry& mount : mounts_)
            if (IsUnder(path, mount.mountPoint) && (!holding || mount.mountPoint.size() >= holding->mountPoint.size()))
                holding = &mount;
        return holding;
    }

    std::vector<dev_t> DevicesHolding(const std::string& path, int depth = 0) const
    {
        const MountEntry* mount = Holding(path);
        return mount ? DevicesOf(*mount, depth) : std::vector<dev_t>{};
    }

    std::vector<dev_t> DevicesOf(const MountEntry& mount, int depth = 0) const
    {
        if (depth > kMaxDepth)
            return {};
        if (mount.fsType == "overlay") {
            std::vector<dev_t> devices;
            for (const std::string& directory : OverlayDirectories(mount.superOptions)) {
                const MountEntry* under = Holding(directory);
                if (under && under != &mount)
                    for (dev_t device : DevicesOf(*under, depth + 1))
                        devices.push_back(device);
            }
            return devices;
        }
        if (mount.fsType == "zfs")
            return PoolMembers(mount.source.substr(0, mount.source.find('/')));
        // File systems such as btrfs report an anonymous device number;
        // their source names a device.
        const auto device =
            mount.major != 0 ? std::optional(makedev(mount.major, mount.minor)) : stack_.NodeDevice(mount.source);
        if (!device)
            return {};
        if (mount.fsType == "btrfs")
            return BtrfsDevices(*device);
        return {*device};
    }

private:
    // Every device of the btrfs file system that the member belongs to.
    std::vector<dev_t> BtrfsDevices(dev_t member) const
    {
        const auto name = stack_.KernelName(member);
        std::error_code error;
        for (fs::directory_iterator it(stack_.root() / "sys/fs/btrfs", error), end; !error && it != end;
             it.increment(error)) {
            std::vector<dev_t> devices;
            bool holdsMember = false;
            std::error_code inner;
            for (fs::directory_iterator device(it->path() / "devices", inner), last; !inner && device != last;
                 device.increment(inner)) {
                const std::string deviceName = device->path().filename().string();
                holdsMember = holdsMember || deviceName == name;
                const auto found = stack_.ByName().find(deviceName);
                if (found != stack_.ByName().end())
                    devices.push_back(found->second);
            }
            if (holdsMember)
                return devices;
        }
        return {member};
    }

    // The devices whose ZFS label names the pool, as udev recorded them or,
    // where udev keeps no record, as their superblocks say.
    std::vector<dev_t> PoolMembers(const std::string& pool) const
    {
        std::vector<dev_t> members;
        for (const auto& [name, device] : stack_.ByName()) {
            const UdevProperties udev(stack_.root(), major(device), minor(device));
            std::string type = udev.Get("ID_FS_TYPE");
            std::string label = udev.Get("ID_FS_LABEL");
            if (udev.empty())
                if (const auto probe = ProbeVolume(stack_.root() / "dev" / name)) {
                    type = probe->type;
                    label = probe->label;
                }
            if (type == "zfs_member" && label == pool)
                members.push_back(device);
        }
        return members;
    }

    const BlockStack& stack_;
    std::vector<MountEntry> mounts_;
};

// Adds what a write to the device reaches: the device, everything it is
// built on, and the disk of a partition (as far as that partition goes).
// `nearestFirst` gets each device when it is first reached.
void AddFootprint(const BlockStack& stack, dev_t device, dev_t through, const std::string& role,
                  DeviceFootprint& footprint, std::vector<dev_t>* nearestFirst = nullptr, int depth = 0)
{
    auto& parts = footprint[device];
    if (nearestFirst && parts.empty())
        nearestFirst->push_back(device);
    if (!parts.emplace(through, role).second || depth > kMaxDepth)
        return;
    for (dev_t lower : stack.Lower(device))
        AddFootprint(stack, lower, 0, role, footprint, nearestFirst, depth + 1);
    if (const auto disk = stack.DiskOf(device))
        AddFootprint(stack, *disk, device, role, footprint, nearestFirst, depth + 1);
}

// Marks the device as needed whole, with the file systems that hold the
// backing files of the loop devices it is built on.
void Need(const BlockStack& stack, const MountTable& mounts, dev_t device, const std::string& role,
          DeviceFootprint& needed, int depth = 0)
{
    if (depth > kMaxDepth || needed[device].contains(0))
        return;
    DeviceFootprint own;
    AddFootprint(stack, device, 0, role, own);
    for (const auto& [reached, parts] : own)
        needed[reached].insert(parts.begin(), parts.end());
    for (const auto& [reached, parts] : own)
        if (const auto file = stack.BackingFile(reached))
            for (dev_t holder : mounts.DevicesHolding(*file))
                Need(stack, mounts, holder, role, needed, depth + 1);
}

// The path a symbolic link in proc points to, without the mark of a
// removed file.
std::string ProcLink(const fs::path& link)
{
    std::error_code error;
    std::string target = fs::read_symlink(link, error).string();
    if (target.ends_with(kDeletedMark))
        target.resize(target.size() - kDeletedMark.size());
    return target;
}

} // namespace

SystemDevices::SystemDevices(const fs::path& root, const std::vector<dev_t>& extra) : stack_(root)
{
    const MountTable mounts(stack_);
    const auto need = [&](const std::vector<dev_t>& devices, const std::string& role) {
        for (dev_t device : devices)
            Need(stack_, mounts, device, role, needed_);
    };

    const MountEntry* rootMount = mounts.At("/");
    if (rootMount)
        root_ = mounts.DevicesOf(*rootMount);
    // A root in memory (a system booted from its initramfs, as a boot
    // medium is) holds no disk: the drives it needs are found below.
    const bool rootInMemory =
        rootMount && (rootMount->fsType == "rootfs" || rootMount->fsType == "tmpfs" || rootMount->fsType == "ramfs");
    if (root_.empty() && !rootInMemory)
        unknown_ = rootMount ? "the root file system (" + rootMount->fsType + " from " + rootMount->source +
                                   ") lies on no disk that can be told"
                             : "no root file system is listed";
    need(root_, "the root file system");
    for (const char* point : {"/boot", "/boot/efi", "/usr", "/var"})
        if (const MountEntry* mount = mounts.At(point))
            need(mounts.DevicesOf(*mount), std::string("the file system at ") + point);
    // A live system mounts its medium, and every other medium of its own
    // that it comes across, under /run/live.
    for (const char* point : {"/run/live", "/cdrom", "/lib/live/mount/medium"})
        for (const MountEntry* mount : mounts.AtOrUnder(point))
            need(mounts.DevicesOf(*mount), "the live system's medium");
    need(mounts.DevicesHolding(ProcLink(stack_.root() / "proc/self/exe")), "the file system this program runs from");

    for (const SwapEntry& swap : ReadSwaps(stack_.root() / "proc/swaps")) {
        if (swap.type == "partition") {
            if (const auto device = stack_.NodeDevice(swap.file))
                need({*device}, "swap space");
        } else {
            need(mounts.DevicesHolding(swap.file), "swap space");
        }
    }

    for (dev_t device : extra)
        root_.push_back(device);
    need(extra, "the system volume");
}

std::optional<std::string> SystemDevices::Conflict(dev_t device) const
{
    DeviceFootprint written;
    std::vector<dev_t> nearestFirst;
    AddFootprint(stack_, device, 0, {}, written, &nearestFirst);
    // The nearest device the system needs says most plainly what is at stake.
    for (dev_t reached : nearestFirst) {
        const auto needed = needed_.find(reached);
        if (needed == needed_.end())
            continue;
        for (const auto& writtenPart : written.at(reached))
            for (const auto& [neededPart, role] : needed->second)
                if (writtenPart.first == 0 || neededPart == 0 || writtenPart.first == neededPart)
                    return reached == device ? role + " is on it"
                                             : "it is built on " + stack_.NodeName(reached) + ", which holds " + role;
    }
    return std::nullopt;
}

bool SystemDevices::HoldsRoot(dev_t device) const
{
    return std::find(root_.begin(), root_.end(), device) != root_.end();
}

SystemDevices RunningSystemDevices()
{
    std::vector<dev_t> extra;
    if (const char* name = std::getenv(kTestSystemVolumeVariable))
        if (const auto device = BlockDeviceNumber(name))
            extra.push_back(*device);
    return SystemDevices("/", extra);
}

} // namespace zd::platform::linux_os
