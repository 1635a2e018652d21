// Raw block devices (and disk image files) on Linux.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/block_device.h"

namespace zd::platform::linux_os {

// A partition, or a device that itself holds a mounted file system, is a
// logical volume; any other block device is a physical disk. A regular file
// is taken as a disk image, a physical disk that needs no preparing. Names
// that are relative or denote anything else are refused. The target's path
// is the canonical one, symbolic links resolved.
std::optional<DeviceTarget> ClassifyDevicePath(const std::filesystem::path& name);

// Opens the target once and checks what was opened: a block device that the
// running system needs is refused (whatever the path named when it was
// classified); an image file is locked, an idle block device claimed
// exclusively, until the device is closed; a device another program holds
// is refused. When refused, *whyNot says why in words for the user.
std::unique_ptr<BlockDevice> OpenDevicePath(const DeviceTarget& target, std::string* whyNot = nullptr);

// For tests: called with the path right before OpenDevicePath opens it, so a
// test can change what the path names after it was classified.
void SetBeforeOpenHook(std::function<void(const std::filesystem::path&)> hook);

} // namespace zd::platform::linux_os
