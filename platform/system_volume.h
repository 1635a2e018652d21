// Which drives hold the running operating system, and how a volume is named
// in its run log. The wizard and the command-line tool refuse to wipe the
// system this program runs on.
//
// Tests point the notion of the system volume at a device they own with the
// environment variable ZD_TEST_SYSTEM_VOLUME (a device name). That device is
// treated as holding the system *in addition to* the real one, which stays
// refused whatever the variable says.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zd::platform {

inline constexpr const char* kTestSystemVolumeVariable = "ZD_TEST_SYSTEM_VOLUME";

// Whether a logical volume, named by its caption, holds the operating
// system: on Windows the volume of the Windows directory ("C:"), on Linux the
// volume mounted at "/".
bool IsOperatingSystemVolume(std::u16string_view caption);

// Whether wiping the named device would destroy the running system: it is
// the system volume, a disk or volume beneath it (the disk of its partition,
// the members of its device-mapper or RAID device), or a disk that holds one
// of those.
bool HoldsRunningSystem(const std::filesystem::path& device);

// The drive part of a logical volume's run log name: its drive letter on
// Windows ("E" for "E:"), its kernel name on Linux ("sdb1" for "/dev/sdb1").
std::u16string VolumeLogName(std::u16string_view caption);

} // namespace zd::platform
