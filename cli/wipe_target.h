// One wipe target, resolved and checked before anything is written: the
// device or image file it names, opened and claimed, or why it must not be
// wiped. A command with several targets checks each one this way.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "platform/device_identity.h"
#include "platform/system_volume.h"
#include "refusal.h"

namespace zd::cli {

// What the checks of every target share, found once for the command.
class TargetChecks {
public:
    explicit TargetChecks(bool forceUnknownSystem);

    // The drives of the running system, as they were when the checks began.
    const platform::SystemDrives system;
    // Wipe devices even when the drive of the running system cannot be
    // determined, so that none can be known to be free of it.
    const bool forceUnknownSystem;
    // Why that drive cannot be determined, when it cannot.
    const std::optional<std::string> unknownSystem;

    // The disks or the volumes as discovery lists them, discovered at the
    // first target that needs them.
    const DriveList& Discovered(int32_t kind) const;

private:
    mutable std::optional<DriveList> disks_;
    mutable std::optional<DriveList> volumes_;
};

struct WipeTarget {
    std::string given;                             // as the user gave it
    std::filesystem::path path;                    // the device or image file itself, links resolved
    bool imageFile = false;                        // a regular file standing in for a disk
    std::unique_ptr<DeviceRecord> device;          // open, and claimed where the system allows
    std::optional<DriveEntry> entry;               // as discovery lists it; image files are not listed
    std::vector<std::string> mountPoints;          // where it, or a partition of it, is mounted
    std::string unknownSystem;                     // why the system's drive is unknown, when the check was forced
    std::optional<platform::HiddenSectors> hidden; // what an ATA drive hides, when it told
    std::string refusal;                           // why it must not be wiped; empty when it may

    bool refused() const { return !refusal.empty(); }
};

// Resolves `path` (the given target, made absolute) to the device itself and
// checks it: refused when it holds the running system, when that system's
// drive cannot be determined (unless forced; image files need no force),
// when it cannot be opened, or when another program holds it. Otherwise it
// is opened and claimed until the record is closed.
WipeTarget CheckWipeTarget(const std::string& given, const std::filesystem::path& path, const TargetChecks& checks);

// What was given, checked before anything is written: the targets to work
// on, and those refused.
struct CheckedTargets {
    std::vector<WipeTarget> accepted;
    std::vector<Refusal> refused;
};

// Checks every target given as CheckWipeTarget does, and refuses one named
// twice (by any of its names) or not at all. Windows names drives ("E:",
// "\\.\PHYSICALDRIVE1"); elsewhere a relative name is taken from the
// current directory.
CheckedTargets CheckTargets(const std::vector<std::string>& given, bool forceUnknownSystem);

// What an ATA disk hides in a host protected area and a configuration
// overlay, asked through ATA PASS-THROUGH; nothing for a disk that hides
// nothing or does not answer (any other kind of disk).
std::optional<platform::HiddenSectors> AskHiddenSectors(const std::filesystem::path& disk);

// How the log names the drive: a disk by its model, a volume by its short
// name, an image file by its file name.
std::u16string LogDriveName(const WipeTarget& target);

// What the user was shown of the drive: discovery's identity, or for a disk
// image what the opened file tells of itself.
std::optional<platform::DeviceIdentity> ShownIdentity(const WipeTarget& target);

// Removes the drive's host protected area until its next power cycle (SET
// MAX ADDRESS, volatile) and has the system see the whole drive, before the
// first write; the target's size and hidden sectors follow. Empty when done,
// else why the area stays hidden.
std::string ExposeHiddenSectors(WipeTarget& target);

} // namespace zd::cli
