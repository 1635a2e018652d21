// How the wizard names a discovered drive.
#pragma once

#include <QString>

namespace zd {
struct DriveEntry;
} // namespace zd

namespace zd::ui {

// A disk's caption, a volume's display name.
QString EntryName(const DriveEntry& entry);

// The entry's name with its device path after it, "Samsung SSD 870 EVO 1TB
// (/dev/sda)", where devices are named by path and the name does not hold
// it already: two disks of one model then still look different.
QString ListedName(const DriveEntry& entry);

} // namespace zd::ui
