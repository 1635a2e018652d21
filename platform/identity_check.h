// Whether the device about to be written is still the one the user
// confirmed. Pure, so it is built and tested on every host.
#pragma once

#include <cstdint>
#include <string>

#include "device_identity.h"

namespace zd::platform {

// A Linux device number (st_rdev, st_dev) as "major:minor" ("8:16");
// empty for 0, which no device has.
std::string DeviceNumberText(uint64_t deviceNumber);

// Empty when `now` is the device described by `confirmed`. Otherwise every
// difference, as lower-case clauses joined by "; " without a final full stop,
// for a sentence such as "Nothing was written: <clauses>.":
//   "it is another device (8:16 instead of 8:0)" - by device number, or by
//       device path where the system has no numbers (Windows, image files);
//       as every check below, only where `confirmed` knows the value;
//   "the size changed from 67108864 to 134217728 bytes";
//   "the model changed from A to B", "the serial number changed from X to Y",
//       "the WWN changed from X to Y", "the serial number X is no longer
//       reported";
//   for a loop device or image file (`confirmed.backingFile` set):
//       "the loop device now reads /tmp/b.img instead of /tmp/a.img",
//       "/tmp/a.img is another file now (inode 12 on 0:44 instead of inode 11
//       on 0:44)", "the loop device now starts at byte 4096 of its backing
//       file instead of byte 0", "the loop device no longer reads /tmp/a.img".
// Firmware, transport, sector sizes and rotation are not compared: they
// name no other drive.
std::string DescribeIdentityChange(const DeviceIdentity& confirmed, const DeviceIdentity& now);

} // namespace zd::platform
