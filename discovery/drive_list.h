// Discovered drives: one entry per physical disk or logical volume, kept in
// discovery order at stable addresses until the list is cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device_identity.h"
#include "platform/text.h"

namespace zd {

// Entry kinds; the reverse of the device record's kinds, never compared
// with them.
inline constexpr int32_t kEntryPhysicalDisk = 2;
inline constexpr int32_t kEntryLogicalVolume = 1;

// Every field reads as empty text or 0 unless discovery sets it.
struct DriveEntry {
    FixedText deviceName{}; // passed to OpenDevice for a physical disk
    FixedText sizeText{};
    int32_t bytesPerSector = 0;
    FixedText caption{}; // model for a disk; the volume's name for a volume
    int32_t entryKind = 0;
    FixedText displayName{}; // volumes: label " - " caption
    FixedText mediaType{};
    FixedText interfaceType{};
    FixedText fileSystem{};
    // What tells the drive from any other, shown before a wipe and checked
    // again before its first write; a volume's carries its disk's model
    // and serial where the system tells them.
    platform::DeviceIdentity identity;
};

class DriveList {
public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // The entry stays at this address until Clear.
    const DriveEntry& at(std::size_t index) const { return *entries_.at(index); }
    void Append(std::unique_ptr<DriveEntry> entry) { entries_.push_back(std::move(entry)); }
    void Clear() { entries_.clear(); }

private:
    std::vector<std::unique_ptr<DriveEntry>> entries_;
};

// The process-wide list of the current visit of the drive page.
extern DriveList g_driveList;

void ClearDriveList();

} // namespace zd
