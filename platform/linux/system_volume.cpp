#include "platform/system_volume.h"

#include <cstdlib>

#include "block_devices.h"
#include "platform/text.h"
#include "system_devices.h"

namespace zd::platform {

bool IsOperatingSystemVolume(std::u16string_view caption)
{
    const auto device = linux_os::BlockDeviceNumber(Utf16ToUtf8(caption));
    return device && linux_os::RunningSystemDevices().HoldsRoot(*device);
}

std::optional<std::string> RunningSystemConflict(const std::filesystem::path& device)
{
    const auto number = linux_os::BlockDeviceNumber(device);
    if (!number)
        return std::nullopt;
    return linux_os::RunningSystemDevices().Conflict(*number);
}

std::optional<std::string> UnknownSystemVolume()
{
    if (std::getenv(kTestUnknownSystemVariable))
        return "a test has made it so";
    const std::string unknown = linux_os::RunningSystemDevices().Unknown();
    return unknown.empty() ? std::nullopt : std::optional(unknown);
}

std::u16string VolumeLogName(std::u16string_view caption)
{
    const std::filesystem::path path(Utf16ToUtf8(caption));
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return Utf8ToUtf16((error ? path : resolved).filename().string());
}

} // namespace zd::platform
