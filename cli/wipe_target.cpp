#include "wipe_target.h"

#include <set>

#include "discovery/discovery.h"
#include "engine/device_access.h"
#include "platform/firmware/command_issuer.h"
#include "platform/firmware/hidden_areas.h"
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

std::filesystem::path TargetPath(const std::string& target)
{
#ifdef _WIN32
    return Utf8ToPath(target);
#else
    return std::filesystem::absolute(target).lexically_normal();
#endif
}

// The device a name stands for, links resolved, to find one named twice.
std::filesystem::path CanonicalPath(const std::string& given)
{
    const std::filesystem::path path = TargetPath(given);
    const auto classified = platform::SystemDeviceBackend().Classify(path);
    return classified ? classified->path : path;
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
    if (!target.imageFile && target.device->kind == PhysicalDisk)
        target.hidden = AskHiddenSectors(target.path);
    return target;
}

CheckedTargets CheckTargets(const std::vector<std::string>& given, bool forceUnknownSystem)
{
    CheckedTargets checked;
    std::set<std::filesystem::path> named;
    const TargetChecks checks(forceUnknownSystem);
    for (const std::string& name : given) {
        if (name.empty()) {
            checked.refused.push_back({name, {}, "no target named: give a block device or a disk image file"});
            continue;
        }
        const std::filesystem::path canonicalPath = CanonicalPath(name);
        if (!named.insert(canonicalPath).second) {
            const std::string canonical = PathToUtf8(canonicalPath);
            checked.refused.push_back({name, canonical, canonical + " is named more than once"});
            continue;
        }
        WipeTarget target = CheckWipeTarget(name, TargetPath(name), checks);
        if (target.refused())
            checked.refused.push_back({name, PathToUtf8(target.path), target.refusal});
        else
            checked.accepted.push_back(std::move(target));
    }
    return checked;
}

std::optional<platform::HiddenSectors> AskHiddenSectors(const std::filesystem::path& disk)
{
    std::string ignored;
    const auto issuer =
        platform::firmware::OpenCommandIssuer(disk, &ignored, platform::firmware::IssuerAccess::Queries);
    const auto areas = issuer ? platform::firmware::ReadHiddenAreas(*issuer) : std::nullopt;
    if (!areas || areas->hpaSectors() + areas->dcoHiddenSectors() == 0)
        return std::nullopt;
    const uint64_t hpa = areas->hpaSectors(), dco = areas->dcoHiddenSectors();
    return platform::HiddenSectors{hpa, dco, hpa + dco};
}

std::u16string LogDriveName(const WipeTarget& target)
{
    if (target.device->kind == LogicalVolume)
        return platform::VolumeLogName(PathToUtf16(target.path));
    if (target.entry && !FixedTextView(target.entry->caption).empty())
        return std::u16string(FixedTextView(target.entry->caption));
    return PathToUtf16(target.path.filename());
}

std::optional<platform::DeviceIdentity> ShownIdentity(const WipeTarget& target)
{
    auto identity = target.entry && !target.entry->identity.devicePath.empty() ? std::optional(target.entry->identity)
                                                                               : ReadOpenedIdentity(*target.device);
    if (identity)
        identity->hiddenSectors = target.hidden;
    return identity;
}

std::string ExposeHiddenSectors(WipeTarget& target)
{
    if (!target.hidden || target.hidden->hostProtectedArea == 0)
        return {};
    std::string error;
    const auto issuer = platform::firmware::OpenCommandIssuer(target.path, &error);
    const auto areas = issuer ? platform::firmware::ReadHiddenAreas(*issuer) : std::nullopt;
    if (!areas)
        return error.empty() ? "the drive no longer tells its native size" : error;
    if (std::string refused = platform::firmware::ExposeHostProtectedArea(*issuer, *areas); !refused.empty())
        return refused;
    DeviceRecord& device = *target.device;
    const uint64_t before = device.sectorCount;
    const auto length = platform::firmware::RereadCapacity(target.path)
                            ? device.handle->Length(static_cast<platform::DeviceKind>(device.kind))
                            : std::nullopt;
    if (length && *length / kSectorBytes > before) {
        device.sectorCount = *length / kSectorBytes;
        // The size grew on purpose: the identity checked before the first
        // write is the drive as it is now.
        if (target.entry)
            target.entry->identity.sizeBytes = *length;
        const uint64_t gained = (*length / kSectorBytes - before) * kSectorBytes;
        const uint64_t sectorBytes = target.entry && target.entry->identity.logicalSectorSize
                                         ? target.entry->identity.logicalSectorSize
                                         : kSectorBytes;
        const uint64_t reached = std::min(target.hidden->hostProtectedArea, gained / sectorBytes);
        target.hidden->notReached -= reached;
        if (reached == target.hidden->hostProtectedArea)
            return {};
    }
    return "the drive took SET MAX ADDRESS, but the system still shows " + std::to_string(device.sectorCount) +
           " sectors of 512 bytes";
}

} // namespace zd::cli
