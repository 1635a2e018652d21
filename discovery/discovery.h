// Enumerates the drives of the system into a drive list.
#pragma once

#include "drive_list.h"
#include "platform/drive_source.h"

namespace zd {

// Append one entry per physical disk (entry kind 2) or per mounted logical
// volume (entry kind 1) that is kept, in the order the system reports them.
// They never fail loudly: a failure leaves fewer entries, possibly none.
void DiscoverPhysicalDisks(DriveList& list = g_driveList);
void DiscoverLogicalVolumes(DriveList& list = g_driveList);

// The same, reading the objects from the given source instead of the
// running system.
void DiscoverPhysicalDisks(platform::DriveSource& source, DriveList& list = g_driveList);
void DiscoverLogicalVolumes(platform::DriveSource& source, DriveList& list = g_driveList);

} // namespace zd
