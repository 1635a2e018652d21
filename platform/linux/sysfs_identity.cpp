#include "sysfs_identity.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "block_devices.h"
#include "platform/identity_reader.h"
#include "platform/text.h"
#include "scsi_vpd.h"
#include "sysfs_disk.h"
#include "udev_database.h"
#include "unique_fd.h"

namespace zd::platform {

namespace linux_os {

namespace {

namespace fs = std::filesystem;

std::string Attribute(const fs::path& file) { return ReadAttribute(file).value_or(""); }

template <class Number> std::optional<Number> ReadNumber(const fs::path& file)
{
    const auto text = ReadAttribute(file);
    return text ? ParseNumber<Number>(*text) : std::nullopt;
}

// The first value a source knows, as valid UTF-8: drives report bytes.
std::string FirstKnown(std::initializer_list<std::string> values)
{
    for (const std::string& value : values)
        if (!value.empty())
            return Utf16ToUtf8(Utf8ToUtf16(value));
    return {};
}

// A SCSI disk's "naa." name is a WWN; an NVMe namespace's "eui." and
// "uuid." names stand for one. T10 vendor names and the NVMe fallback made
// of vendor, serial and model are no WWN.
std::string WwidAsWwn(const std::string& wwid)
{
    if (wwid.starts_with("naa.")) {
        std::string hex = wwid.substr(4);
        std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return std::tolower(c); });
        return "0x" + hex;
    }
    return wwid.starts_with("eui.") || wwid.starts_with("uuid.") ? wwid : std::string();
}

std::optional<BackingFile> LoopBackingFile(const fs::path& root, const SysfsDisk& disk)
{
    const auto path = ReadAttribute(disk.directory / "loop/backing_file");
    if (!path)
        return std::nullopt;
    BackingFile file;
    file.path = *path;
    file.offset = ReadNumber<uint64_t>(disk.directory / "loop/offset").value_or(0);
    // The driver names the file it holds open, even one renamed or replaced
    // since; only a user who may not open the device gets the file that
    // bears the name now.
    const UniqueFd device(::open((root / "dev" / disk.name).c_str(), O_RDONLY | O_CLOEXEC));
    loop_info64 info{};
    struct stat status {};
    if (device.valid() && ::ioctl(device.get(), LOOP_GET_STATUS64, &info) == 0) {
        file.device = info.lo_device;
        file.inode = info.lo_inode;
    } else if (::stat((root / fs::path(file.path).relative_path()).c_str(), &status) == 0) {
        file.device = status.st_dev;
        file.inode = status.st_ino;
    }
    return file;
}

} // namespace

DeviceIdentity ReadSysfsIdentity(const fs::path& root, const SysfsDisk& disk, const SysfsBlockDevice& device)
{
    DeviceIdentity identity;
    identity.devicePath = "/dev/" + device.name;
    std::replace(identity.devicePath.begin(), identity.devicePath.end(), '!', '/'); // "cciss!c0d0"
    if (device.major != 0)
        identity.deviceNumber = makedev(device.major, device.minor);
    identity.sizeBytes = ReadSizeInBytes(device.directory).value_or(0);

    const fs::path queue = disk.directory / "queue";
    identity.logicalSectorSize = ReadNumber<uint32_t>(queue / "logical_block_size").value_or(0);
    identity.physicalSectorSize = ReadNumber<uint32_t>(queue / "physical_block_size").value_or(0);
    if (const auto rotational = ReadNumber<unsigned>(queue / "rotational"))
        identity.rotational = *rotational != 0;

    const fs::path devicesRoot = root / "sys/devices";
    identity.transport = DiskTransport(disk, devicesRoot);
    identity.backingFile = LoopBackingFile(root, disk);

    // NVMe controllers and MMC cards name their serial and firmware in
    // attributes, SCSI and SATA disks in vital product data, virtio disks
    // in the block device; a USB stick's serial is its USB device's.
    const fs::path drive = disk.directory / "device";
    const UdevProperties udev(root, disk.major, disk.minor);
    identity.model = FirstKnown({DiskModel(disk), udev.GetEncoded("ID_MODEL_ENC"), udev.Get("ID_MODEL")});
    identity.serial = FirstKnown({Attribute(drive / "serial"), Attribute(disk.directory / "serial"),
                                  VpdSerialNumber(ReadRawAttribute(drive / "vpd_pg80").value_or("")),
                                  UsbSerial(disk, devicesRoot), udev.Get("ID_SERIAL_SHORT")});
    identity.wwn = FirstKnown({VpdWorldWideName(ReadRawAttribute(drive / "vpd_pg83").value_or("")),
                               WwidAsWwn(Attribute(drive / "wwid")), WwidAsWwn(Attribute(disk.directory / "wwid")),
                               udev.Get("ID_WWN_WITH_EXTENSION"), udev.Get("ID_WWN")});
    identity.firmware = FirstKnown({Attribute(drive / "rev"), Attribute(drive / "firmware_rev"),
                                    Attribute(drive / "fwrev"), udev.Get("ID_REVISION")});
    return identity;
}

std::optional<DeviceIdentity> ReadSysfsIdentity(const fs::path& root, std::string_view kernelName)
{
    // Parent devices are compared with canonical paths under the root.
    std::error_code error;
    fs::path base = fs::weakly_canonical(root, error);
    if (error)
        base = root;
    for (const auto& disk : ListSysfsDisks(base)) {
        if (disk.name == kernelName)
            return ReadSysfsIdentity(base, disk, disk);
        for (const auto& partition : disk.partitions)
            if (partition.name == kernelName)
                return ReadSysfsIdentity(base, disk, partition);
    }
    return std::nullopt;
}

} // namespace linux_os

namespace {

DeviceIdentity ImageFileIdentity(const std::filesystem::path& file, const struct stat& status)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::canonical(file, error);
    if (error)
        path = std::filesystem::absolute(file, error);
    DeviceIdentity identity;
    identity.devicePath = path.string();
    identity.transport = "FILE";
    identity.sizeBytes = static_cast<uint64_t>(status.st_size);
    identity.backingFile = BackingFile{path.string(), status.st_dev, status.st_ino, 0};
    return identity;
}

} // namespace

std::optional<DeviceIdentity> linux_os::ReadIdentityOf(const std::filesystem::path& path, const struct stat& status)
{
    if (S_ISREG(status.st_mode))
        return ImageFileIdentity(path, status);
    if (!S_ISBLK(status.st_mode))
        return std::nullopt;
    const auto name = linux_os::KernelName(status.st_rdev);
    if (!name)
        return std::nullopt;
    return linux_os::ReadSysfsIdentity("/", *name);
}

std::optional<DeviceIdentity> ReadDeviceIdentity(const std::filesystem::path& device)
{
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0)
        return std::nullopt;
    return linux_os::ReadIdentityOf(device, status);
}

} // namespace zd::platform
