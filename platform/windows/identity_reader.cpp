// Identities of Windows drives, read through the same WMI objects that
// discovery lists, and of disk image files.
#include <windows.h>

#include <algorithm>

#include "platform/drive_source.h"
#include "platform/identity_reader.h"
#include "platform/text.h"
#include "platform/windows_drive_name.h"

namespace zd::platform {

namespace {

std::u16string Upper(std::u16string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; });
    return text;
}

std::optional<DeviceIdentity> ImageFileIdentity(const std::filesystem::path& file)
{
    const HANDLE handle = CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information);
    CloseHandle(handle);
    if (!known)
        return std::nullopt;
    std::error_code error;
    const std::string path = Utf16ToUtf8(std::filesystem::absolute(file, error).lexically_normal().u16string());
    DeviceIdentity identity;
    identity.devicePath = path;
    identity.transport = "FILE";
    identity.sizeBytes = uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    identity.backingFile = BackingFile{path, information.dwVolumeSerialNumber,
                                       uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow, 0};
    return identity;
}

} // namespace

std::optional<DeviceIdentity> ReadDeviceIdentity(const std::filesystem::path& device)
{
    // An existing file named by an absolute path is a disk image, as the
    // device backend decides.
    const DWORD attributes = GetFileAttributesW(device.c_str());
    if (device.is_absolute() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ImageFileIdentity(device);
    const auto target = ClassifyWindowsDriveName(device.u16string());
    const auto source = MakeSystemDriveSource();
    if (!target || !source)
        return std::nullopt;
    const bool disk = target->kind == PhysicalDisk;
    const std::u16string wanted = Upper(target->path.u16string());
    std::optional<DeviceIdentity> found;
    source->Enumerate(disk ? DriveQuery::PhysicalDisks : DriveQuery::LogicalVolumes, [&](DriveObject& object) {
        const std::u16string name = object.ReadText(kPropertyName).value_or(u"");
        if (!found && !name.empty() && Upper(disk ? name : u"\\\\.\\" + name) == wanted)
            found = object.ReadIdentity();
    });
    return found;
}

} // namespace zd::platform
