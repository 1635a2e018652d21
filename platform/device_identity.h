// What identifies a drive, as the system describes it: shown to the user
// before a wipe, read again from the opened device right before the first
// write, and written into the erasure record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zd::platform {

// A loop device's backing file and where the device starts in it.
struct BackingFile {
    std::string path;
    uint64_t device = 0; // st_dev of the file
    uint64_t inode = 0;
    uint64_t offset = 0; // bytes
};

// Sectors an ATA drive hides from the system, as it told them when the
// drive was checked for a wipe.
struct HiddenSectors {
    uint64_t hostProtectedArea = 0;    // below the drive's native maximum (HPA)
    uint64_t configurationOverlay = 0; // beyond it, set by a configuration overlay (DCO)
    uint64_t notReached = 0;           // of them, what the wipe did not overwrite
};

// Texts are UTF-8 as the system reports them, without surrounding blanks;
// empty when the system does not tell.
struct DeviceIdentity {
    std::string devicePath;    // canonical node: "/dev/sda", "\\.\PHYSICALDRIVE1"
    uint64_t deviceNumber = 0; // st_rdev on Linux; 0 where the system has none
    std::string model;
    std::string serial;
    std::string wwn; // WWN, or NVMe EUI-64/NGUID, when the drive reports one
    std::string firmware;
    std::string transport; // "SATA", "SAS", "NVME", "USB", "MMC", "VIRTIO", "LOOP", ...
    std::optional<bool> rotational;
    uint32_t logicalSectorSize = 0;
    uint32_t physicalSectorSize = 0;
    uint64_t sizeBytes = 0;
    std::optional<BackingFile> backingFile;     // loop devices only
    std::optional<HiddenSectors> hiddenSectors; // ATA drives that told; nothing elsewhere
};

} // namespace zd::platform
