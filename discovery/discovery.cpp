#include "discovery.h"

#include "drive_rules.h"

namespace zd {

namespace {

template <class MakeEntry>
void Discover(platform::DriveSource& source, platform::DriveQuery query, DriveList& list, MakeEntry makeEntry)
{
    source.Enumerate(query, [&](platform::DriveObject& object) {
        if (auto entry = makeEntry(object))
            list.Append(std::move(entry));
    });
}

} // namespace

void DiscoverPhysicalDisks(platform::DriveSource& source, DriveList& list)
{
    Discover(source, platform::DriveQuery::PhysicalDisks, list, PhysicalDiskEntry);
}

void DiscoverLogicalVolumes(platform::DriveSource& source, DriveList& list)
{
    Discover(source, platform::DriveQuery::LogicalVolumes, list, LogicalVolumeEntry);
}

void DiscoverPhysicalDisks(DriveList& list)
{
    if (const auto source = platform::MakeSystemDriveSource())
        DiscoverPhysicalDisks(*source, list);
}

void DiscoverLogicalVolumes(DriveList& list)
{
    if (const auto source = platform::MakeSystemDriveSource())
        DiscoverLogicalVolumes(*source, list);
}

} // namespace zd
