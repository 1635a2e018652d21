// Which drives hold the running operating system, and how a volume is named
// in its run log. The wizard and the command-line tool refuse to wipe the
// system this program runs on.
//
// Tests point the notion of the system volume at a device they own with the
// environment variable ZD_TEST_SYSTEM_VOLUME (a device name). That device is
// treated as holding the system *in addition to* the real one, which stays
// refused whatever the variable says. With ZD_TEST_UNKNOWN_SYSTEM_VOLUME set,
// the system volume counts as undetermined; what is known stays refused.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zd::platform {

inline constexpr const char* kTestSystemVolumeVariable = "ZD_TEST_SYSTEM_VOLUME";
inline constexpr const char* kTestUnknownSystemVariable = "ZD_TEST_UNKNOWN_SYSTEM_VOLUME";

// The drives of the running system, worked out once when made: a listing
// or a command asks one view about every drive instead of walking the
// system's devices again for each.
class SystemDrives {
public:
    SystemDrives();
    ~SystemDrives();
    SystemDrives(SystemDrives&&) noexcept;
    SystemDrives& operator=(SystemDrives&&) noexcept;

    // Whether a logical volume, named by its caption, holds the operating
    // system: on Windows the volume of the Windows directory ("C:"), on
    // Linux the volume mounted at "/".
    bool IsOperatingSystemVolume(std::u16string_view caption) const;

    // Why wiping the named device would destroy the running system, in
    // words for the user ("the root file system is on it"); nothing when it
    // would not, or when the name denotes no device. On Linux: it is a
    // device the system needs (the devices of "/", /boot, /boot/efi, /usr,
    // /var, a live system's medium, this program's file system, swap), a
    // device built on one of them (device-mapper, RAID, a loop device over
    // one), or a disk that holds one.
    std::optional<std::string> Conflict(const std::filesystem::path& device) const;

    bool Holds(const std::filesystem::path& device) const { return Conflict(device).has_value(); }

    // Why the drives of the running system cannot be determined (a root file
    // system on the network, say); nothing when they can. Then no drive can
    // be known to be free of the system.
    const std::optional<std::string>& Unknown() const;

private:
    struct Snapshot;
    std::unique_ptr<Snapshot> snapshot_;
};

// The drive part of a logical volume's run log name: its drive letter on
// Windows ("E" for "E:"), its kernel name on Linux ("sdb1" for "/dev/sdb1").
std::u16string VolumeLogName(std::u16string_view caption);

} // namespace zd::platform
