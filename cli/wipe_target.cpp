#include "wipe_target.h"

#include "discovery/discovery.h"
#include "engine/device_access.h"
#include "platform/mount_points.h"
#include "platform/system_volume.h"
#include "platform/text.h"

namespace zd::cli {

namespace {

// Opens through the system's backend and keeps its words when it refuses.
class ExplainingBackend final : public platform::DeviceBackend {
public:
    std::optional<platform::DeviceTarget> Classify(const std::filesystem::path& name) const override
    {
        return platform::SystemDeviceBackend().Classify(name);
    }
    std::unique_ptr<platform::BlockDevice> Open(const platform::DeviceTarget& target) const override
    {
        return platform::SystemDeviceBackend().OpenExplained(target, whyNot_);
    }
    const std::string& whyNot() const { return whyNot_; }

private:
    mutable std::string whyNot_;
};

std::string CannotOpen(const std::filesystem::path& path)
{
    return "cannot open " + PathToUtf8(path) +
           " for wiping (it must be a block device or disk image file of at least 512 bytes that this user may "
           "open for writing)";
}

// The target as discovery lists it: a disk with its model, a volume with its
// label. Disk image files are not listed.
std::optional<DriveEntry> DiscoveredEntry(const DriveList& drives, const std::filesystem::path& target)
{
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const std::filesystem::path name(std::u16string(FixedTextView(drives.at(i).deviceName)));
        std::error_code error;
        if (name == target || std::filesystem::canonical(name, error) == target)
            return drives.at(i);
    }
    return std::nullopt;
}

} // namespace

TargetChecks::TargetChecks(bool force) : forceUnknownSystem(force), unknownSystem(system.Unknown()) {}

const DriveList& TargetChecks::Discovered(int32_t kind) const
{
    std::optional<DriveList>& drives = kind == LogicalVolume ? volumes_ : disks_;
    if (!drives) {
        drives.emplace();
        if (kind == LogicalVolume)
            DiscoverLogicalVolumes(*drives);
        else
            DiscoverPhysicalDisks(*drives);
    }
    return *drives;
}

WipeTarget CheckWipeTarget(const std::string& given, const std::filesystem::path& path, const TargetChecks& checks)
{
    WipeTarget target;
    target.given = given;
    target.path = path;
    const auto classified = platform::SystemDeviceBackend().Classify(path);
    if (!classified) {
        target.refusal = CannotOpen(path);
        return target;
    }
    target.path = classified->path;
    target.imageFile = classified->imageFile;
    const std::string refusing = "refusing to wipe " + PathToUtf8(target.path) + ": ";
    if (!target.imageFile) {
        if (const auto conflict = checks.system.Conflict(target.path)) {
            target.refusal = refusing + "it holds the running system (" + *conflict + ")";
            return target;
        }
        if (const auto& unknown = checks.unknownSystem) {
            if (!checks.forceUnknownSystem) {
                target.refusal = refusing + "the drive of the running system cannot be determined (" + *unknown +
                                 "), so any drive may hold it; give --force-unknown-system to wipe it all the same";
                return target;
            }
            target.unknownSystem = *unknown;
        }
    }
    // The checks above read the path; what is opened is checked again.
    ExplainingBackend backend;
    auto device = std::make_unique<DeviceRecord>();
    if (!OpenDevice(*device, target.path, backend)) {
        target.refusal = backend.whyNot().empty() ? CannotOpen(target.path) : refusing + backend.whyNot();
        return target;
    }
    target.path = device->devicePath;
    target.entry = DiscoveredEntry(checks.Discovered(device->kind), target.path);
    target.mountPoints = platform::MountPointsOf(target.path);
    target.device = std::move(device);
    return target;
}

} // namespace zd::cli
