#include "platform/system_volume.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdlib>
#include <cwctype>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/windows_drive_name.h"

namespace zd::platform {

namespace {

std::u16string WindowsVolume()
{
    wchar_t directory[MAX_PATH] = {};
    if (GetWindowsDirectoryW(directory, MAX_PATH) == 0)
        return {};
    return WindowsDirectoryVolume(reinterpret_cast<const char16_t*>(directory));
}

std::u16string TestSystemVolume()
{
    const char* name = std::getenv(kTestSystemVolumeVariable);
    return name ? Utf8ToUtf16(name) : std::u16string();
}

std::u16string Upper(std::u16string text)
{
    for (auto& c : text)
        c = static_cast<char16_t>(std::towupper(c));
    return text;
}

// The physical disks that the volume's extents lie on, as device paths.
std::vector<std::u16string> DisksOfVolume(const std::u16string& volume)
{
    std::vector<std::u16string> disks;
    const std::u16string path = u"\\\\.\\" + volume;
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return disks;
    std::vector<unsigned char> buffer(sizeof(VOLUME_DISK_EXTENTS) + 31 * sizeof(DISK_EXTENT));
    DWORD returned = 0;
    if (DeviceIoControl(handle, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &returned, nullptr)) {
        const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
        for (DWORD i = 0; i < extents->NumberOfDiskExtents; ++i)
            disks.push_back(u"\\\\.\\PHYSICALDRIVE" + Utf8ToUtf16(std::to_string(extents->Extents[i].DiskNumber)));
    }
    CloseHandle(handle);
    return disks;
}

} // namespace

struct SystemDrives::Snapshot {
    std::u16string windowsVolume = WindowsVolume();
    std::u16string testVolume = TestSystemVolume();
    // The disks under each of those volumes, in upper case.
    std::vector<std::pair<std::u16string, std::vector<std::u16string>>> disks;
    std::optional<std::string> unknown;
};

SystemDrives::SystemDrives() : snapshot_(std::make_unique<Snapshot>())
{
    for (const auto& volume : {snapshot_->windowsVolume, snapshot_->testVolume}) {
        if (volume.empty())
            continue;
        std::vector<std::u16string> disks;
        for (const auto& disk : DisksOfVolume(volume))
            disks.push_back(Upper(disk));
        snapshot_->disks.emplace_back(volume, std::move(disks));
    }
    if (std::getenv(kTestUnknownSystemVariable))
        snapshot_->unknown = "a test has made it so";
    else if (snapshot_->windowsVolume.empty())
        snapshot_->unknown = "the Windows directory cannot be read";
}

SystemDrives::~SystemDrives() = default;
SystemDrives::SystemDrives(SystemDrives&&) noexcept = default;
SystemDrives& SystemDrives::operator=(SystemDrives&&) noexcept = default;

bool SystemDrives::IsOperatingSystemVolume(std::u16string_view caption) const
{
    return caption == snapshot_->windowsVolume || (!snapshot_->testVolume.empty() && caption == snapshot_->testVolume);
}

std::optional<std::string> SystemDrives::Conflict(const std::filesystem::path& device) const
{
    const std::u16string name = device.u16string();
    if (IsOperatingSystemVolume(name))
        return "it is the volume of the Windows directory";
    for (const auto& [volume, disks] : snapshot_->disks)
        for (const auto& disk : disks)
            if (disk == Upper(name))
                return "the volume " + Utf16ToUtf8(volume) + " is on it";
    return std::nullopt;
}

const std::optional<std::string>& SystemDrives::Unknown() const { return snapshot_->unknown; }

std::u16string VolumeLogName(std::u16string_view caption) { return std::u16string(caption.substr(0, 1)); }

} // namespace zd::platform
