// How one object of a drive query becomes a drive entry, or is discarded.
#pragma once

#include <memory>

#include "drive_list.h"
#include "platform/drive_source.h"

namespace zd {

// An entry of kind 2, or null for an optical drive or a disk without a size.
std::unique_ptr<DriveEntry> PhysicalDiskEntry(platform::DriveObject& disk);

// An entry of kind 1, or null for an optical drive or a volume without a
// size (a drive without media).
std::unique_ptr<DriveEntry> LogicalVolumeEntry(platform::DriveObject& volume);

} // namespace zd
