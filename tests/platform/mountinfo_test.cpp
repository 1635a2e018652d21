#include "platform/linux/mountinfo.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zd::platform::linux_os {
namespace {

TEST(MountInfo, ReadsDeviceMountPointTypeAndSource)
{
    std::istringstream in("27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
                          "36 27 8:17 / /media/usb\\040stick rw,nosuid master:3 shared:9 - vfat /dev/sdb1 rw\n"
                          "37 27 0:25 / /run/user/0 rw - tmpfs tmpfs rw\n");
    const auto mounts = ParseMountInfo(in);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].major, 254u);
    EXPECT_EQ(mounts[0].minor, 0u);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fsType, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/vda");
    EXPECT_EQ(mounts[1].major, 8u);
    EXPECT_EQ(mounts[1].minor, 17u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/usb stick") << "escapes are decoded, optional fields skipped";
    EXPECT_EQ(mounts[1].fsType, "vfat");
    EXPECT_EQ(mounts[2].source, "tmpfs");
}

TEST(MountInfo, DecodesEveryEscapeTheKernelWrites)
{
    EXPECT_EQ(DecodeMountField("a\\040b\\011c\\012d\\134e"), "a b\tc\nd\\e");
    EXPECT_EQ(DecodeMountField("trailing\\04"), "trailing\\04") << "an incomplete escape stays as it is";
    EXPECT_EQ(DecodeMountField("\\999"), "\\999");
}

TEST(MountInfo, SkipsMalformedLines)
{
    std::istringstream in("garbage\n"
                          "40 27 8:1 / /mnt rw - ext4\n"              // no source
                          "41 27 8:1 / /mnt rw ext4 /dev/sda1 rw\n"   // no separator
                          "42 27 x:y / /mnt rw - ext4 /dev/sda1 rw\n" // bad device number
                          "43 27 8:2 / /boot rw - ext4 /dev/sda2 rw\n");
    const auto mounts = ParseMountInfo(in);
    ASSERT_EQ(mounts.size(), 1u);
    EXPECT_EQ(mounts[0].mountPoint, "/boot");
}

} // namespace
} // namespace zd::platform::linux_os
