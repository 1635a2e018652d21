#include "windows_drive_name.h"

#include <string>

namespace zd::platform {

namespace {

constexpr std::u16string_view kDeviceNamespace = u"\\\\.\\";

bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

} // namespace

std::optional<DeviceTarget> ClassifyWindowsDriveName(std::u16string_view name)
{
    if (!name.empty() && IsAsciiDigit(name.back()))
        return DeviceTarget{PhysicalDisk, std::filesystem::path(std::u16string(name))};
    if (name.size() >= 2 && IsAsciiLetter(name[name.size() - 2])) {
        const std::u16string path = name.starts_with(kDeviceNamespace)
                                        ? std::u16string(name)
                                        : std::u16string(kDeviceNamespace) + std::u16string(name);
        return DeviceTarget{LogicalVolume, std::filesystem::path(path)};
    }
    return std::nullopt;
}

bool IsWindowsDeviceName(std::u16string_view name)
{
    return name.starts_with(kDeviceNamespace) || (name.size() == 2 && IsAsciiLetter(name[0]) && name[1] == u':');
}

std::u16string WindowsDirectoryVolume(std::u16string_view windowsDirectory)
{
    const auto colon = windowsDirectory.find(u':');
    if (colon == std::u16string_view::npos)
        return {};
    return std::u16string(windowsDirectory.substr(0, colon + 1));
}

} // namespace zd::platform
