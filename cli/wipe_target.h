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
#include "platform/system_volume.h"

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
    std::string given;                    // as the user gave it
    std::filesystem::path path;           // the device or image file itself, links resolved
    bool imageFile = false;               // a regular file standing in for a disk
    std::unique_ptr<DeviceRecord> device; // open, and claimed where the system allows
    std::optional<DriveEntry> entry;      // as discovery lists it; image files are not listed
    std::vector<std::string> mountPoints; // where it, or a partition of it, is mounted
    std::string unknownSystem;            // why the system's drive is unknown, when the check was forced
    std::string refusal;                  // why it must not be wiped; empty when it may

    bool refused() const { return !refusal.empty(); }
};

// Resolves `path` (the given target, made absolute) to the device itself and
// checks it: refused when it holds the running system, when that system's
// drive cannot be determined (unless forced; image files need no force),
// when it cannot be opened, or when another program holds it. Otherwise it
// is opened and claimed until the record is closed.
WipeTarget CheckWipeTarget(const std::string& given, const std::filesystem::path& path, const TargetChecks& checks);

} // namespace zd::cli
