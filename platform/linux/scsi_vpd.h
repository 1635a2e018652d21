// The pages of SCSI vital product data that name a drive, as sysfs shows
// them (device/vpd_pg80, device/vpd_pg83; libata answers them for SATA
// disks too, and page 0x89 with the ATA drive's own identity).
#pragma once

#include <string>
#include <string_view>

namespace zd::platform::linux_os {

// The unit serial number of page 0x80 without its padding; empty when the
// bytes are no such page or hold no serial.
std::string VpdSerialNumber(std::string_view page);

// The logical unit's world wide name from page 0x83: its NAA designator as
// "0x" and lower-case hex (as udev's ID_WWN), else its EUI-64 as "eui." and
// hex; empty when it has neither. Designators of target ports (a SAS disk's
// port addresses) name no drive and are passed over.
std::string VpdWorldWideName(std::string_view page);

// The ATA drive's model number from page 0x89 (ATA information): all of
// its 40 characters, where the SCSI model that libata makes of it keeps 16.
// Empty when the bytes are no such page or hold no model.
std::string VpdAtaModel(std::string_view page);

} // namespace zd::platform::linux_os
