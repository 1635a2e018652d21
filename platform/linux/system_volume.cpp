#include "platform/system_volume.h"

#include <cstdlib>

#include "block_devices.h"
#include "platform/text.h"
#include "system_devices.h"

namespace zd::platform {

struct SystemDrives::Snapshot {
    linux_os::SystemDevices devices = linux_os::RunningSystemDevices();
    std::optional<std::string> unknown;
};

SystemDrives::SystemDrives() : snapshot_(std::make_unique<Snapshot>())
{
    if (std::getenv(kTestUnknownSystemVariable))
        snapshot_->unknown = "a test has made it so";
    else if (!snapshot_->devices.Unknown().empty())
        snapshot_->unknown = snapshot_->devices.Unknown();
}

SystemDrives::~SystemDrives() = default;
SystemDrives::SystemDrives(SystemDrives&&) noexcept = default;
SystemDrives& SystemDrives::operator=(SystemDrives&&) noexcept = default;

bool SystemDrives::IsOperatingSystemVolume(std::u16string_view caption) const
{
    const auto device = linux_os::BlockDeviceNumber(Utf16ToUtf8(caption));
    return device && snapshot_->devices.HoldsRoot(*device);
}

std::optional<std::string> SystemDrives::Conflict(const std::filesystem::path& device) const
{
    const auto number = linux_os::BlockDeviceNumber(device);
    if (!number)
        return std::nullopt;
    return snapshot_->devices.Conflict(*number);
}

const std::optional<std::string>& SystemDrives::Unknown() const { return snapshot_->unknown; }

std::u16string VolumeLogName(std::u16string_view caption)
{
    const std::filesystem::path path(Utf16ToUtf8(caption));
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return Utf8ToUtf16((error ? path : resolved).filename().string());
}

} // namespace zd::platform
