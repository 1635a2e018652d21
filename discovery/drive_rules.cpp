#include "drive_rules.h"

#include <limits>

#include "drive_size.h"

namespace zd {

namespace {

using platform::DriveObject;

// A property that cannot be read leaves the field as created: empty.
void ReadInto(DriveObject& object, std::u16string_view property, FixedText& field)
{
    if (const auto text = object.ReadText(property))
        SetFixedText(field, *text);
}

// The decimal text of the size; 0 when it is missing, null or not a number
// that fits in 64 bits.
uint64_t ReadSize(DriveObject& object)
{
    const auto text = object.ReadText(platform::kPropertySize);
    return text ? ParseDecimal(*text).value_or(0) : 0;
}

std::u16string_view VolumeMediaType(int64_t code)
{
    switch (code) {
    case 0:
        return u"Unknown";
    case 11:
        return u"Removable media";
    case 12:
        return u"Fixed Hard Disk Media";
    default:
        return {};
    }
}

} // namespace

std::unique_ptr<DriveEntry> PhysicalDiskEntry(DriveObject& disk)
{
    auto entry = std::make_unique<DriveEntry>();
    ReadInto(disk, platform::kPropertyCaption, entry->caption);
    if (disk.IsOpticalDrive(FixedTextView(entry->caption)))
        return nullptr;
    ReadInto(disk, platform::kPropertyName, entry->deviceName);
    const uint64_t size = ReadSize(disk);
    if (size == 0)
        return nullptr;
    SetFixedText(entry->sizeText, FormatDriveSize(size));
    const auto bytesPerSector = disk.ReadInteger(platform::kPropertyBytesPerSector);
    if (bytesPerSector && *bytesPerSector > 0 && *bytesPerSector <= std::numeric_limits<int32_t>::max())
        entry->bytesPerSector = static_cast<int32_t>(*bytesPerSector);
    ReadInto(disk, platform::kPropertyMediaType, entry->mediaType);
    ReadInto(disk, platform::kPropertyInterfaceType, entry->interfaceType);
    entry->identity = disk.ReadIdentity();
    entry->entryKind = kEntryPhysicalDisk;
    return entry;
}

std::unique_ptr<DriveEntry> LogicalVolumeEntry(DriveObject& volume)
{
    auto entry = std::make_unique<DriveEntry>();
    ReadInto(volume, platform::kPropertyCaption, entry->caption);
    const std::u16string_view caption = FixedTextView(entry->caption);
    if (volume.IsOpticalDrive(caption))
        return nullptr;
    ReadInto(volume, platform::kPropertyName, entry->deviceName);
    if (auto label = volume.ReadText(platform::kPropertyVolumeName)) {
        if (label->empty())
            *label = u"Local Disk";
        SetFixedText(entry->displayName, *label + u" - " + std::u16string(caption));
    } else {
        SetFixedText(entry->displayName, caption);
    }
    const uint64_t size = ReadSize(volume);
    if (size == 0)
        return nullptr;
    SetFixedText(entry->sizeText, FormatDriveSize(size));
    if (const auto code = volume.ReadInteger(platform::kPropertyMediaType))
        SetFixedText(entry->mediaType, VolumeMediaType(*code));
    ReadInto(volume, platform::kPropertyFileSystem, entry->fileSystem);
    entry->identity = volume.ReadIdentity();
    entry->entryKind = kEntryLogicalVolume;
    return entry;
}

} // namespace zd
