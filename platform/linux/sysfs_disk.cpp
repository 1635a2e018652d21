#include "sysfs_disk.h"

#include <algorithm>
#include <array>
#include <vector>

#include "scsi_vpd.h"

namespace zd::platform::linux_os {

namespace {

namespace fs = std::filesystem;

bool IsScsiHostName(const std::string& name)
{
    return name.size() > 4 && name.starts_with("host") &&
           std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The devices the disk hangs from, nearest first, up to <root>/sys/devices.
std::vector<fs::path> ParentDevices(const SysfsDisk& disk, const fs::path& devicesRoot)
{
    std::vector<fs::path> parents;
    std::error_code error;
    fs::path device = fs::canonical(disk.directory / "device", error);
    if (error)
        return parents;
    const std::string& top = devicesRoot.native();
    while (device.native().size() > top.size() && device.native().starts_with(top) &&
           device.native()[top.size()] == '/') {
        parents.push_back(device);
        device = device.parent_path();
    }
    return parents;
}

std::string Subsystem(const fs::path& device)
{
    std::error_code error;
    return fs::read_symlink(device / "subsystem", error).filename().string();
}

std::string ScsiHostTransport(const fs::path& host)
{
    std::error_code error;
    if (fs::exists(host / "fc_host", error))
        return "FC";
    if (fs::exists(host / "sas_host", error))
        return "SAS";
    if (fs::exists(host / "iscsi_host", error))
        return "ISCSI";
    const std::string driver = ReadAttribute(host / "scsi_host" / host.filename() / "proc_name").value_or("");
    if (driver.starts_with("ahci") || driver.starts_with("sata"))
        return "SATA";
    if (driver.starts_with("ata"))
        return "ATA";
    return "SCSI";
}

} // namespace

bool IsListedDisk(const SysfsDisk& disk)
{
    if (disk.name.starts_with("ram") || disk.name.starts_with("zram"))
        return false;
    if (disk.name.starts_with("loop"))
        return ReadAttribute(disk.directory / "loop/backing_file").has_value();
    return true;
}

std::string DiskCaption(const SysfsDisk& disk)
{
    if (disk.name.starts_with("loop")) {
        if (const auto backing = ReadAttribute(disk.directory / "loop/backing_file"))
            return "Loop device " + fs::path(*backing).filename().string();
    }
    const std::string model = DiskModel(disk);
    return model.empty() ? disk.name : model;
}

std::string DiskModel(const SysfsDisk& disk)
{
    if (disk.name.starts_with("mmcblk"))
        return ReadAttribute(disk.directory / "device/name").value_or("");
    const std::string model = ReadAttribute(disk.directory / "device/model").value_or("");
    if (model.empty())
        return model;
    // libata puts "ATA" where the vendor goes; it names no maker. Its SCSI
    // model keeps 16 characters of the drive's 40.
    const std::string vendor = ReadAttribute(disk.directory / "device/vendor").value_or("");
    if (vendor == "ATA") {
        const std::string ataModel = VpdAtaModel(ReadRawAttribute(disk.directory / "device/vpd_pg89").value_or(""));
        return ataModel.empty() ? model : ataModel;
    }
    if (vendor.empty() || model.starts_with(vendor))
        return model;
    return vendor + " " + model;
}

std::string UsbSerial(const SysfsDisk& disk, const fs::path& devicesRoot)
{
    // The nearest USB parent with a vendor id is the device; its interface
    // lies below, its hubs (whose "serial" names a bus) above.
    std::error_code error;
    for (const auto& parent : ParentDevices(disk, devicesRoot)) {
        if (Subsystem(parent) == "usb" && fs::exists(parent / "idVendor", error))
            return ReadAttribute(parent / "serial").value_or("");
    }
    return {};
}

std::string DiskTransport(const SysfsDisk& disk, const fs::path& devicesRoot)
{
    if (disk.name.starts_with("loop"))
        return "LOOP";
    if (disk.name.starts_with("nvme"))
        return "NVME";
    if (disk.name.starts_with("vd"))
        return "VIRTIO";
    const auto parents = ParentDevices(disk, devicesRoot);
    if (std::any_of(parents.begin(), parents.end(), [](const fs::path& p) { return Subsystem(p) == "usb"; }))
        return "USB";
    if (disk.name.starts_with("mmcblk"))
        return "MMC";
    const auto host = std::find_if(parents.begin(), parents.end(),
                                   [](const fs::path& p) { return IsScsiHostName(p.filename().string()); });
    return host == parents.end() ? std::string() : ScsiHostTransport(*host);
}

bool IsRemovableDisk(const SysfsDisk& disk, const fs::path& devicesRoot)
{
    if (ReadAttribute(disk.directory / "removable") == "1")
        return true;
    static constexpr std::array<std::string_view, 5> kHotplugSubsystems = {"usb", "ieee1394", "pcmcia", "mmc", "ccw"};
    for (const auto& parent : ParentDevices(disk, devicesRoot)) {
        if (ReadAttribute(parent / "removable") == "removable")
            return true;
        const std::string subsystem = Subsystem(parent);
        if (std::find(kHotplugSubsystems.begin(), kHotplugSubsystems.end(), subsystem) != kHotplugSubsystems.end())
            return true;
    }
    return false;
}

bool IsOpticalDisk(const SysfsDisk& disk)
{
    return disk.name.starts_with("sr") || ReadAttribute(disk.directory / "device/type") == "5";
}

} // namespace zd::platform::linux_os
