// How WMI's drive objects describe a device identity. Pure over the drive
// object seam, so it is built and tested on every host, not only on Windows.
#pragma once

#include <string>
#include <string_view>

#include "device_identity.h"
#include "drive_source.h"

namespace zd::platform {

// Further property names of Win32_DiskDrive.
inline constexpr std::u16string_view kPropertyModel = u"Model";
inline constexpr std::u16string_view kPropertySerialNumber = u"SerialNumber";
inline constexpr std::u16string_view kPropertyFirmwareRevision = u"FirmwareRevision";
inline constexpr std::u16string_view kPropertyPnpDeviceId = u"PNPDeviceID";

// A Win32_DiskDrive object: devicePath from Name ("\\.\PHYSICALDRIVE1"),
// model, serial, firmware, logical sector size (BytesPerSector), size
// (Size) and the transport. WMI names no WWN, device number, rotation or
// physical sector size; those stay empty.
DeviceIdentity WmiDiskIdentity(DriveObject& disk);

// A Win32_LogicalDisk object: devicePath "\\.\" and its Name ("\\.\E:"), and
// its size. WMI does not tie the volume to its disk here.
DeviceIdentity WmiVolumeIdentity(DriveObject& volume);

// The transport as discovery on Linux names it, from InterfaceType and the
// bus that PNPDeviceID begins with: "NVME", "USB", "MMC", "ATA" (WMI's
// "IDE": any ATA disk, SATA ones included), "SCSI" (SAS and RAID disks
// too), "IEEE1394"; empty when neither tells.
std::string WmiTransport(std::u16string_view interfaceType, std::u16string_view pnpDeviceId);

} // namespace zd::platform
