#include "sysfs_drive_source.h"

#include <charconv>
#include <map>
#include <set>
#include <utility>

#include "mountinfo.h"
#include "platform/text.h"
#include "sysfs_disk.h"
#include "sysfs_identity.h"
#include "volume_probe.h"

namespace zd::platform {

namespace linux_os {

namespace {

namespace fs = std::filesystem;

std::u16string DeviceNode(const std::string& name) { return Utf8ToUtf16("/dev/" + name); }

std::optional<std::u16string> SizeText(const fs::path& directory)
{
    const auto bytes = ReadSizeInBytes(directory);
    if (!bytes)
        return std::nullopt;
    return Utf8ToUtf16(std::to_string(*bytes));
}

class DiskObject final : public DriveObject {
public:
    DiskObject(const SysfsDisk& disk, const fs::path& root, const fs::path& devicesRoot)
        : disk_(disk), root_(root), devicesRoot_(devicesRoot)
    {
    }

    std::optional<std::u16string> ReadText(std::u16string_view property) override
    {
        if (property == kPropertyName)
            return DeviceNode(disk_.name);
        if (property == kPropertyCaption)
            return Utf8ToUtf16(DiskCaption(disk_));
        if (property == kPropertySize)
            return SizeText(disk_.directory);
        if (property == kPropertyMediaType)
            return IsRemovableDisk(disk_, devicesRoot_) ? u"Removable Media" : u"Fixed hard disk media";
        if (property == kPropertyInterfaceType)
            return Utf8ToUtf16(DiskTransport(disk_, devicesRoot_));
        return std::nullopt;
    }

    std::optional<int64_t> ReadInteger(std::u16string_view property) override
    {
        if (property != kPropertyBytesPerSector)
            return std::nullopt;
        const auto text = ReadAttribute(disk_.directory / "queue/logical_block_size");
        int64_t value = 0;
        if (!text || std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc())
            return std::nullopt;
        return value;
    }

    bool IsOpticalDrive(std::u16string_view) override { return IsOpticalDisk(disk_); }

    DeviceIdentity ReadIdentity() override { return ReadSysfsIdentity(root_, disk_, disk_); }

private:
    const SysfsDisk& disk_;
    const fs::path& root_;
    const fs::path& devicesRoot_;
};

class VolumeObject final : public DriveObject {
public:
    VolumeObject(const SysfsDisk& disk, const SysfsBlockDevice& volume, const MountEntry& mount, const fs::path& root)
        : disk_(disk), volume_(volume), mount_(mount), root_(root)
    {
    }

    std::optional<std::u16string> ReadText(std::u16string_view property) override
    {
        if (property == kPropertyName || property == kPropertyCaption)
            return DeviceNode(volume_.name);
        if (property == kPropertyVolumeName) {
            // A device libblkid cannot read counts as an unreadable label.
            if (const auto& probe = Probe())
                return Utf8ToUtf16(probe->label);
            return std::nullopt;
        }
        if (property == kPropertySize)
            return SizeText(volume_.directory);
        if (property == kPropertyFileSystem) {
            // The superblock names what a generic mount type such as
            // "fuseblk" hides.
            const auto& probe = Probe();
            return Utf8ToUtf16(probe ? probe->type : mount_.fsType);
        }
        return std::nullopt;
    }

    std::optional<int64_t> ReadInteger(std::u16string_view property) override
    {
        if (property != kPropertyMediaType)
            return std::nullopt;
        return IsRemovableDisk(disk_, root_ / "sys/devices") ? 11 : 12;
    }

    bool IsOpticalDrive(std::u16string_view) override { return IsOpticalDisk(disk_); }

    DeviceIdentity ReadIdentity() override { return ReadSysfsIdentity(root_, disk_, volume_); }

private:
    const std::optional<VolumeProbe>& Probe()
    {
        if (!probed_) {
            probe_ = ProbeVolume(root_ / "dev" / volume_.name);
            probed_ = true;
        }
        return probe_;
    }

    const SysfsDisk& disk_;
    const SysfsBlockDevice& volume_;
    const MountEntry& mount_;
    const fs::path& root_;
    bool probed_ = false;
    std::optional<VolumeProbe> probe_;
};

// A disk, or one of its partitions, with the disk it belongs to.
struct BlockDeviceRef {
    const SysfsDisk* disk;
    const SysfsBlockDevice* device;
};

class BlockDeviceIndex {
public:
    explicit BlockDeviceIndex(const std::vector<SysfsDisk>& disks)
    {
        for (const auto& disk : disks) {
            Add(disk, disk);
            for (const auto& partition : disk.partitions)
                Add(disk, partition);
        }
    }

    // The mounted device by its number, or, for file systems that report
    // an anonymous number (btrfs), by the device node it was mounted from.
    std::optional<BlockDeviceRef> Find(const MountEntry& mount, const fs::path& root) const
    {
        if (mount.major != 0) {
            const auto found = byNumber_.find({mount.major, mount.minor});
            return found == byNumber_.end() ? std::nullopt : std::optional(found->second);
        }
        if (mount.source.rfind("/dev/", 0) != 0)
            return std::nullopt;
        std::error_code error;
        const auto node = fs::canonical(root / fs::path(mount.source).relative_path(), error);
        if (error)
            return std::nullopt;
        const auto found = byName_.find(node.filename().string());
        return found == byName_.end() ? std::nullopt : std::optional(found->second);
    }

private:
    void Add(const SysfsDisk& disk, const SysfsBlockDevice& device)
    {
        if (device.major != 0)
            byNumber_.emplace(std::pair(device.major, device.minor), BlockDeviceRef{&disk, &device});
        byName_.emplace(device.name, BlockDeviceRef{&disk, &device});
    }

    std::map<std::pair<unsigned, unsigned>, BlockDeviceRef> byNumber_;
    std::map<std::string, BlockDeviceRef> byName_;
};

} // namespace

SysfsDriveSource::SysfsDriveSource(std::filesystem::path root)
{
    // Parent devices are compared with canonical paths under the root.
    std::error_code error;
    root_ = fs::weakly_canonical(root, error);
    if (error)
        root_ = std::move(root);
}

void SysfsDriveSource::Enumerate(DriveQuery query, const std::function<void(DriveObject&)>& visit)
{
    if (query == DriveQuery::PhysicalDisks)
        EnumerateDisks(visit);
    else
        EnumerateVolumes(visit);
}

void SysfsDriveSource::EnumerateDisks(const std::function<void(DriveObject&)>& visit)
{
    const fs::path devicesRoot = root_ / "sys/devices";
    for (const auto& disk : ListSysfsDisks(root_)) {
        if (!IsListedDisk(disk))
            continue;
        DiskObject object(disk, root_, devicesRoot);
        visit(object);
    }
}

void SysfsDriveSource::EnumerateVolumes(const std::function<void(DriveObject&)>& visit)
{
    const auto disks = ListSysfsDisks(root_);
    const BlockDeviceIndex index(disks);
    std::set<std::string> seen;
    for (const auto& mount : ReadMountInfo(root_ / "proc/self/mountinfo")) {
        const auto found = index.Find(mount, root_);
        if (!found || !seen.insert(found->device->name).second)
            continue;
        VolumeObject object(*found->disk, *found->device, mount, root_);
        visit(object);
    }
}

} // namespace linux_os

std::unique_ptr<DriveSource> MakeSystemDriveSource() { return std::make_unique<linux_os::SysfsDriveSource>(); }

} // namespace zd::platform
