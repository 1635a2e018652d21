// How WMI's drive objects become identities, on objects made up by the
// test with the properties Windows reports.
#include "platform/wmi_identity.h"

#include <gtest/gtest.h>

#include "tests/discovery/fake_drive_source.h"

namespace zd::platform {
namespace {

TEST(WmiIdentity, ADiskTakesItsPropertiesTrimmed)
{
    test::FakeDriveObject disk;
    disk.texts = {{u"Name", u"\\\\.\\PHYSICALDRIVE1"},
                  {u"Model", u"Samsung SSD 970 EVO Plus 1TB"},
                  {u"SerialNumber", u"0025_385B_71B1_2345.     "},
                  {u"FirmwareRevision", u"2B2QEXM7"},
                  {u"InterfaceType", u"SCSI"},
                  {u"PNPDeviceID", u"SCSI\\DISK&VEN_NVME&PROD_SAMSUNG_SSD_970\\5&2B1D5A4&0&000000"},
                  {u"Size", u"1000202273280"}};
    disk.integers = {{u"BytesPerSector", 512}};
    const DeviceIdentity identity = WmiDiskIdentity(disk);
    EXPECT_EQ(identity.devicePath, "\\\\.\\PHYSICALDRIVE1");
    EXPECT_EQ(identity.model, "Samsung SSD 970 EVO Plus 1TB");
    EXPECT_EQ(identity.serial, "0025_385B_71B1_2345.");
    EXPECT_EQ(identity.firmware, "2B2QEXM7");
    EXPECT_EQ(identity.transport, "NVME");
    EXPECT_EQ(identity.logicalSectorSize, 512u);
    EXPECT_EQ(identity.sizeBytes, 1000202273280u);
    EXPECT_EQ(identity.deviceNumber, 0u);

    // What WMI leaves out stays empty.
    test::FakeDriveObject silent;
    const DeviceIdentity nothing = WmiDiskIdentity(silent);
    EXPECT_EQ(nothing.devicePath + nothing.serial + nothing.transport, "");
    EXPECT_EQ(nothing.sizeBytes, 0u);
    EXPECT_EQ(nothing.logicalSectorSize, 0u);

    test::FakeDriveObject volume;
    volume.texts = {{u"Name", u"E:"}, {u"Size", u"8004304896"}, {u"VolumeSerialNumber", u"1A2B3C4D"}};
    const DeviceIdentity e = WmiVolumeIdentity(volume);
    EXPECT_EQ(e.devicePath, "\\\\.\\E:");
    EXPECT_EQ(e.sizeBytes, 8004304896u);
    EXPECT_EQ(e.serial, "") << "a file system's serial names no drive";
}

TEST(WmiIdentity, TransportFromInterfaceAndHardwareId)
{
    EXPECT_EQ(WmiTransport(u"USB", u"USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C53000123&0"), "USB");
    EXPECT_EQ(WmiTransport(u"IDE", u"SCSI\\DISK&VEN_&PROD_SAMSUNG_SSD_860\\4&1A2B&0&000000"), "ATA");
    EXPECT_EQ(WmiTransport(u"SCSI", u"SCSI\\DISK&VEN_SEAGATE&PROD_ST4000NM0023\\5&1&0"), "SCSI");
    EXPECT_EQ(WmiTransport(u"SCSI", u"SD\\VID_03&OID_5344&PID_SC32G"), "MMC");
    EXPECT_EQ(WmiTransport(u"", u""), "");
}

} // namespace
} // namespace zd::platform
