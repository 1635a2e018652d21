#include "wmi_identity.h"

#include <algorithm>

#include "text.h"

namespace zd::platform {

namespace {

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

// WMI pads some texts (ATA serial numbers) with blanks.
std::string Text(DriveObject& object, std::u16string_view property)
{
    return TrimSpaces(Utf16ToUtf8(object.ReadText(property).value_or(u"")));
}

uint64_t Size(DriveObject& object)
{
    const auto text = object.ReadText(kPropertySize);
    return text ? ParseDecimal(*text).value_or(0) : 0;
}

} // namespace

std::string WmiTransport(std::u16string_view interfaceType, std::u16string_view pnpDeviceId)
{
    const std::string interface = Upper(Utf16ToUtf8(interfaceType));
    const std::string pnp = Upper(Utf16ToUtf8(pnpDeviceId));
    // NVMe disks answer as SCSI; their hardware id names the bus.
    if (pnp.starts_with("NVME\\") || pnp.find("VEN_NVME") != std::string::npos)
        return "NVME";
    if (interface == "USB" || pnp.starts_with("USBSTOR\\") || pnp.starts_with("USB\\"))
        return "USB";
    if (pnp.starts_with("SD\\") || pnp.starts_with("SDBUS\\"))
        return "MMC";
    if (interface == "IDE")
        return "ATA";
    if (interface == "1394")
        return "IEEE1394";
    if (interface == "SCSI")
        return "SCSI";
    return {};
}

DeviceIdentity WmiDiskIdentity(DriveObject& disk)
{
    DeviceIdentity identity;
    identity.devicePath = Text(disk, kPropertyName);
    identity.model = Text(disk, kPropertyModel);
    identity.serial = Text(disk, kPropertySerialNumber);
    identity.firmware = Text(disk, kPropertyFirmwareRevision);
    identity.transport = WmiTransport(disk.ReadText(kPropertyInterfaceType).value_or(u""),
                                      disk.ReadText(kPropertyPnpDeviceId).value_or(u""));
    if (const auto bytesPerSector = disk.ReadInteger(kPropertyBytesPerSector);
        bytesPerSector && *bytesPerSector > 0 && *bytesPerSector <= UINT32_MAX)
        identity.logicalSectorSize = static_cast<uint32_t>(*bytesPerSector);
    identity.sizeBytes = Size(disk);
    return identity;
}

DeviceIdentity WmiVolumeIdentity(DriveObject& volume)
{
    DeviceIdentity identity;
    if (const std::string name = Text(volume, kPropertyName); !name.empty())
        identity.devicePath = "\\\\.\\" + name;
    identity.sizeBytes = Size(volume);
    return identity;
}

} // namespace zd::platform
