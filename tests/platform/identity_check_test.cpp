// Whether a device is still the one confirmed, on identities made up by the
// test; on a real loop device in identity_loop_test.cpp.
#include "platform/identity_check.h"

#include <gtest/gtest.h>

namespace zd::platform {
namespace {

DeviceIdentity SataDisk()
{
    DeviceIdentity disk;
    disk.devicePath = "/dev/sdb";
    disk.deviceNumber = 0x810; // 8:16
    disk.model = "Samsung SSD 860 EVO 500GB";
    disk.serial = "S3Z1NB0K123456X";
    disk.wwn = "0x5002538e40a1b2c3";
    disk.firmware = "RVT04B6Q";
    disk.transport = "SATA";
    disk.sizeBytes = 500107862016;
    return disk;
}

DeviceIdentity LoopDevice()
{
    DeviceIdentity loop;
    loop.devicePath = "/dev/loop3";
    loop.deviceNumber = 0x703; // 7:3
    loop.transport = "LOOP";
    loop.sizeBytes = 67108864;
    loop.backingFile = BackingFile{"/tmp/a.img", 0x2c, 11, 0}; // on 0:44
    return loop;
}

TEST(IdentityCheck, DeviceNumbersReadAsMajorAndMinor)
{
    EXPECT_EQ(DeviceNumberText(0x800), "8:0");
    EXPECT_EQ(DeviceNumberText(0x10301), "259:1");
    EXPECT_EQ(DeviceNumberText(0x100800), "8:256") << "minors above 255 live in the high bits";
    EXPECT_EQ(DeviceNumberText(0), "");
}

TEST(IdentityCheck, TheSameDriveUnderAnotherNameOrWithNewFirmwareIsUnchanged)
{
    DeviceIdentity now = SataDisk();
    now.devicePath = "/dev/disk/by-id/ata-Samsung_SSD_860_EVO_500GB_S3Z1NB0K123456X";
    now.firmware = "RVT05B6Q";
    now.rotational = false;
    EXPECT_EQ(DescribeIdentityChange(SataDisk(), now), "");

    // What was not known when the user confirmed is not held against the
    // device now.
    DeviceIdentity unknown = SataDisk();
    unknown.serial.clear();
    unknown.wwn.clear();
    EXPECT_EQ(DescribeIdentityChange(unknown, SataDisk()), "");
    EXPECT_EQ(DescribeIdentityChange(DeviceIdentity{}, SataDisk()), "");
}

TEST(IdentityCheck, AnotherDiskUnderTheSameNameIsNamedByWhatDiffers)
{
    DeviceIdentity swapped = SataDisk();
    swapped.serial = "S3Z1NB0K999999Z";
    swapped.wwn.clear();
    EXPECT_EQ(DescribeIdentityChange(SataDisk(), swapped),
              "the serial number changed from S3Z1NB0K123456X to S3Z1NB0K999999Z; "
              "the WWN 0x5002538e40a1b2c3 is no longer reported");

    DeviceIdentity other = SataDisk();
    other.deviceNumber = 0x800;
    other.sizeBytes = 250059350016;
    other.model = "Crucial MX500";
    EXPECT_EQ(DescribeIdentityChange(SataDisk(), other),
              "it is another device (8:0 instead of 8:16); the size changed from 500107862016 to 250059350016 "
              "bytes; the model changed from Samsung SSD 860 EVO 500GB to Crucial MX500");

    // Without device numbers (Windows), the device path tells.
    DeviceIdentity first = SataDisk(), second = SataDisk();
    first.deviceNumber = second.deviceNumber = 0;
    first.devicePath = "\\\\.\\PHYSICALDRIVE1";
    second.devicePath = "\\\\.\\PHYSICALDRIVE2";
    EXPECT_EQ(DescribeIdentityChange(first, second),
              "it is another device (\\\\.\\PHYSICALDRIVE2 instead of \\\\.\\PHYSICALDRIVE1)");
}

TEST(IdentityCheck, ALoopDeviceMustReadTheSameFileFromTheSameByte)
{
    DeviceIdentity renamed = LoopDevice();
    renamed.backingFile->path = "/tmp/b.img";
    renamed.backingFile->inode = 12;
    EXPECT_EQ(DescribeIdentityChange(LoopDevice(), renamed),
              "the loop device now reads /tmp/b.img instead of /tmp/a.img");

    DeviceIdentity replaced = LoopDevice();
    replaced.backingFile->inode = 12;
    replaced.backingFile->offset = 4096;
    EXPECT_EQ(DescribeIdentityChange(LoopDevice(), replaced),
              "/tmp/a.img is another file now (inode 12 on 0:44 instead of inode 11 on 0:44); "
              "the loop device now starts at byte 4096 of its backing file instead of byte 0");

    DeviceIdentity detached = LoopDevice();
    detached.backingFile.reset();
    detached.sizeBytes = 0;
    EXPECT_EQ(DescribeIdentityChange(LoopDevice(), detached),
              "the size changed from 67108864 to 0 bytes; the loop device no longer reads /tmp/a.img");
}

} // namespace
} // namespace zd::platform
