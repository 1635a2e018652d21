// How Windows drive names map to raw device paths. Pure, so it is built and
// tested on every host, not only on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "block_device.h"

namespace zd::platform {

// A name ending in a digit is a physical disk path ("\\.\PHYSICALDRIVE0") and
// is opened unchanged; a name whose second-to-last character is a letter is a
// volume ("C:") and is opened as "\\.\C:" (one already in that form is
// opened unchanged). Anything else is refused.
std::optional<DeviceTarget> ClassifyWindowsDriveName(std::u16string_view name);

// Whether a name denotes a device rather than a file: a drive letter with
// its colon ("E:"), or a path in the device namespace ("\\.\...").
bool IsWindowsDeviceName(std::u16string_view name);

// The volume of a Windows directory as a caption: its text up to and
// including the first ':' ("C:" for "C:\\Windows"), or empty without one.
std::u16string WindowsDirectoryVolume(std::u16string_view windowsDirectory);

} // namespace zd::platform
