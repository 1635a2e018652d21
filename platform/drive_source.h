// Where drive discovery reads its objects from: the system's list of physical
// disks and of mounted logical volumes, each object with named properties.
// Windows answers through WMI, Linux from sysfs and the mount table, tests
// from objects of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device_identity.h"

namespace zd::platform {

enum class DriveQuery {
    PhysicalDisks,  // the properties of Win32_DiskDrive
    LogicalVolumes, // the properties of Win32_LogicalDisk
};

// Property names, as WMI spells them.
inline constexpr std::u16string_view kPropertyName = u"Name";
inline constexpr std::u16string_view kPropertyCaption = u"Caption";
inline constexpr std::u16string_view kPropertySize = u"Size";
inline constexpr std::u16string_view kPropertyBytesPerSector = u"BytesPerSector";
inline constexpr std::u16string_view kPropertyMediaType = u"MediaType";
inline constexpr std::u16string_view kPropertyInterfaceType = u"InterfaceType";
inline constexpr std::u16string_view kPropertyVolumeName = u"VolumeName";
inline constexpr std::u16string_view kPropertyFileSystem = u"FileSystem";

// One disk or volume of a query. Every read is answered on its own, so a
// property that cannot be read does not spoil the others.
class DriveObject {
public:
    virtual ~DriveObject() = default;

    // The property's text; empty for a null value; nullopt when the property
    // could not be read.
    virtual std::optional<std::u16string> ReadText(std::u16string_view property) = 0;

    // The property's integer value; nullopt when it could not be read or is
    // null.
    virtual std::optional<int64_t> ReadInteger(std::u16string_view property) = 0;

    // Whether the drive is an optical drive. Windows asks by the caption
    // read from the object, as a root path.
    virtual bool IsOpticalDrive(std::u16string_view caption) = 0;

    // What tells this disk or volume from any other, as ReadDeviceIdentity
    // reads it for the same device (identity_reader.h); a volume carries the
    // drive facts (model, serial, ...) of the disk it lives on where the
    // system tells them. Facts the system does not tell stay empty.
    virtual DeviceIdentity ReadIdentity() = 0;
};

class DriveSource {
public:
    virtual ~DriveSource() = default;

    // Hands every object of the query to `visit`, in the order the system
    // reports them; the object is valid only during the call. Failures end
    // the enumeration early and silently.
    virtual void Enumerate(DriveQuery query, const std::function<void(DriveObject&)>& visit) = 0;
};

// The running system's drives: WMI on Windows, sysfs and
// /proc/self/mountinfo on Linux.
std::unique_ptr<DriveSource> MakeSystemDriveSource();

} // namespace zd::platform
