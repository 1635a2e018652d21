// The Linux source on fixture trees of sysfs, the udev database and the
// mount table: a SATA disk with two partitions and vital product data, an
// NVMe disk, a USB stick, an optical drive, attached and detached loop
// devices, a RAM disk, a vanished disk and mount points with escapes. Labels
// come from small ext4 images that the test makes where the tree's device
// nodes would be.
#include "platform/linux/sysfs_drive_source.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "discovery/discovery.h"
#include "platform/identity_check.h"
#include "platform/linux/sysfs_block.h"
#include "platform/linux/sysfs_identity.h"
#include "platform/text.h"
#include "tests/support/loop_device.h"

namespace zd {
namespace {

namespace fs = std::filesystem;

std::string Field(const FixedText& field) { return Utf16ToUtf8(FixedTextView(field)); }

// A private copy of a fixture tree, removed at the end of the test.
class FixtureTree {
public:
    explicit FixtureTree(const std::string& name)
    {
        char pattern[] = "/tmp/zd-fixture-XXXXXX";
        if (!::mkdtemp(pattern)) {
            ADD_FAILURE() << "cannot create a directory for the fixture";
            return;
        }
        root_ = pattern;
        std::error_code error;
        fs::copy(fs::path(ZD_DISCOVERY_FIXTURES) / name, root_,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
        if (error)
            ADD_FAILURE() << "cannot copy the fixture " << name << ": " << error.message();
    }
    ~FixtureTree()
    {
        std::error_code error;
        if (!root_.empty())
            fs::remove_all(root_, error);
    }
    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;

    const fs::path& root() const { return root_; }

    // An ext4 image at <root>/dev/<name>, labelled unless the label is empty.
    bool AddExt4(const std::string& name, const std::string& label) const
    {
        const fs::path image = root_ / "dev" / name;
        std::error_code error;
        fs::create_directories(image.parent_path(), error);
        fs::resize_file(image, 0, error);
        return test::RunCommand("truncate -s 1M '" + image.string() + "' && mkfs.ext4 -q -F" +
                                (label.empty() ? "" : " -L '" + label + "'") + " '" + image.string() + "'");
    }

private:
    fs::path root_;
};

class WorkstationFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tree_.AddExt4("sda2", "Home Data"));
        ASSERT_TRUE(tree_.AddExt4("sdb1", ""));
        ASSERT_TRUE(tree_.AddExt4("loop1", "images"));
    }

    FixtureTree tree_{"workstation"};
};

struct ExpectedDisk {
    std::string deviceName, caption, sizeText;
    int32_t bytesPerSector;
    std::string mediaType, interfaceType;
};

TEST_F(WorkstationFixture, PhysicalDisks)
{
    platform::linux_os::SysfsDriveSource source(tree_.root());
    DriveList list;
    DiscoverPhysicalDisks(source, list);

    // Not listed: the detached loop0, the RAM disk zram0, the optical sr0
    // (which has a disc) and sdc, whose sysfs entry points nowhere.
    const std::vector<ExpectedDisk> expected = {
        {"/dev/loop1", "Loop device disk image.img", "64.00 MB", 512, "Fixed hard disk media", "LOOP"},
        {"/dev/nvme0n1", "Samsung SSD 970 EVO Plus 1TB", "931.51 GB", 512, "Fixed hard disk media", "NVME"},
        {"/dev/sda", "Samsung SSD 860 EVO 500GB", "465.76 GB", 512, "Fixed hard disk media", "SATA"},
        {"/dev/sdb", "SanDisk Cruzer Blade", "7.45 GB", 512, "Removable Media", "USB"},
    };
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const DriveEntry& entry = list.at(i);
        SCOPED_TRACE(expected[i].deviceName);
        EXPECT_EQ(Field(entry.deviceName), expected[i].deviceName);
        EXPECT_EQ(Field(entry.caption), expected[i].caption);
        EXPECT_EQ(Field(entry.sizeText), expected[i].sizeText);
        EXPECT_EQ(entry.bytesPerSector, expected[i].bytesPerSector);
        EXPECT_EQ(Field(entry.mediaType), expected[i].mediaType);
        EXPECT_EQ(Field(entry.interfaceType), expected[i].interfaceType);
        EXPECT_EQ(entry.entryKind, kEntryPhysicalDisk);
        EXPECT_EQ(Field(entry.displayName), "");
        EXPECT_EQ(Field(entry.fileSystem), "");
    }
}

struct ExpectedVolume {
    std::string caption, displayName, sizeText, mediaType, fileSystem;
};

TEST_F(WorkstationFixture, LogicalVolumes)
{
    platform::linux_os::SysfsDriveSource source(tree_.root());
    DriveList list;
    DiscoverLogicalVolumes(source, list);

    // In the order of their first mount; sda2's bind mount adds nothing; the
    // DVD, the vanished sdc and the virtual file systems are left out.
    const std::vector<ExpectedVolume> expected = {
        {"/dev/nvme0n1p1", "/dev/nvme0n1p1", "930.51 GB", "Fixed Hard Disk Media", "xfs"}, // not probeable
        {"/dev/sda2", "Home Data - /dev/sda2", "465.26 GB", "Fixed Hard Disk Media", "ext4"},
        {"/dev/sda1", "/dev/sda1", "512.00 MB", "Fixed Hard Disk Media", "vfat"},
        {"/dev/sdb1", "Local Disk - /dev/sdb1", "7.45 GB", "Removable media", "ext4"}, // mounted as fuseblk
        {"/dev/loop1", "images - /dev/loop1", "64.00 MB", "Fixed Hard Disk Media", "ext4"},
        {"/dev/nvme0n1p2", "/dev/nvme0n1p2", "1024.00 MB", "Fixed Hard Disk Media", "btrfs"}, // anonymous device
    };
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const DriveEntry& entry = list.at(i);
        SCOPED_TRACE(expected[i].caption);
        EXPECT_EQ(Field(entry.deviceName), expected[i].caption);
        EXPECT_EQ(Field(entry.caption), expected[i].caption);
        EXPECT_EQ(Field(entry.displayName), expected[i].displayName);
        EXPECT_EQ(Field(entry.sizeText), expected[i].sizeText);
        EXPECT_EQ(Field(entry.mediaType), expected[i].mediaType);
        EXPECT_EQ(Field(entry.fileSystem), expected[i].fileSystem);
        EXPECT_EQ(entry.entryKind, kEntryLogicalVolume);
        EXPECT_EQ(entry.bytesPerSector, 0);
        EXPECT_EQ(Field(entry.interfaceType), "");
    }
}

struct ExpectedIdentity {
    std::string devicePath, deviceNumber, model, serial, wwn, firmware, transport;
    std::optional<bool> rotational;
    uint32_t physicalSectorSize;
    uint64_t sizeBytes;
};

void ExpectIdentity(const platform::DeviceIdentity& identity, const ExpectedIdentity& expected)
{
    SCOPED_TRACE(expected.devicePath);
    EXPECT_EQ(identity.devicePath, expected.devicePath);
    EXPECT_EQ(platform::DeviceNumberText(identity.deviceNumber), expected.deviceNumber);
    EXPECT_EQ(identity.model, expected.model);
    EXPECT_EQ(identity.serial, expected.serial);
    EXPECT_EQ(identity.wwn, expected.wwn);
    EXPECT_EQ(identity.firmware, expected.firmware);
    EXPECT_EQ(identity.transport, expected.transport);
    EXPECT_EQ(identity.rotational, expected.rotational);
    EXPECT_EQ(identity.logicalSectorSize, 512u);
    EXPECT_EQ(identity.physicalSectorSize, expected.physicalSectorSize);
    EXPECT_EQ(identity.sizeBytes, expected.sizeBytes);
}

TEST_F(WorkstationFixture, DisksCarryTheirIdentity)
{
    platform::linux_os::SysfsDriveSource source(tree_.root());
    DriveList list;
    DiscoverPhysicalDisks(source, list);

    // The SATA disk's serial and WWN come from its vital product data (the
    // WWN from the logical unit's NAA designator, not the T10 vendor one),
    // its firmware from sysfs although the stale udev database says
    // otherwise; the USB stick's serial is its USB device's, not its hub's.
    const std::vector<ExpectedIdentity> expected = {
        {"/dev/loop1", "7:1", "", "", "", "", "LOOP", false, 512, 67108864},
        {"/dev/nvme0n1", "259:0", "Samsung SSD 970 EVO Plus 1TB", "S4EWNX0R123456A", "eui.0025385b71b12345", "2B2QEXM7",
         "NVME", false, 512, 1000204886016},
        {"/dev/sda", "8:0", "Samsung SSD 860 EVO 500GB", "S3Z1NB0K123456X", "0x5002538e40a1b2c3", "RVT04B6Q", "SATA",
         false, 512, 500107862016},
        {"/dev/sdb", "8:16", "SanDisk Cruzer Blade", "4C530001230516117465", "", "1.00", "USB", true, 512, 8004304896},
    };
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ExpectIdentity(list.at(i).identity, expected[i]);

    // The loop device's backing file: the driver cannot be asked in a
    // fixture, so the file at the named path is.
    const auto& backing = list.at(0).identity.backingFile;
    ASSERT_TRUE(backing.has_value());
    struct stat file {};
    ASSERT_EQ(::stat((tree_.root() / "srv/images/disk image.img").c_str(), &file), 0);
    EXPECT_EQ(backing->path, "/srv/images/disk image.img");
    EXPECT_EQ(backing->offset, 1048576u);
    EXPECT_EQ(backing->inode, file.st_ino);
    EXPECT_EQ(backing->device, file.st_dev);
    EXPECT_FALSE(list.at(2).identity.backingFile.has_value());

    // A partition is itself by number and size, and its disk by everything
    // that names the drive; the same read by kernel name.
    DriveList volumes;
    DiscoverLogicalVolumes(source, volumes);
    const auto partition = platform::linux_os::ReadSysfsIdentity(tree_.root(), "sda2");
    ASSERT_TRUE(partition.has_value());
    ExpectIdentity(*partition, {"/dev/sda2", "8:2", "Samsung SSD 860 EVO 500GB", "S3Z1NB0K123456X",
                                "0x5002538e40a1b2c3", "RVT04B6Q", "SATA", false, 512, 499569917952});
    ASSERT_EQ(Field(volumes.at(1).caption), "/dev/sda2");
    EXPECT_EQ(platform::DescribeIdentityChange(volumes.at(1).identity, *partition), "");
    EXPECT_FALSE(platform::linux_os::ReadSysfsIdentity(tree_.root(), "sdz").has_value());
}

TEST_F(WorkstationFixture, MissingAttributesLeaveFieldsEmpty)
{
    const fs::path sata = tree_.root() / "sys/block/sda";
    const fs::path host = tree_.root() / "sys/devices/pci0000:00/0000:00:17.0/ata1/host0";
    fs::remove(sata / "device/model");
    fs::remove_all(sata / "queue");
    fs::remove(host / "scsi_host/host0/proc_name");
    fs::remove(sata / "sda2/size"); // the partition went away while mounted
    for (const char* attribute : {"vpd_pg80", "vpd_pg83", "rev"})
        fs::remove(sata / "device" / attribute);
    platform::linux_os::SysfsDriveSource source(tree_.root());
    DriveList disks, volumes;
    DiscoverPhysicalDisks(source, disks);
    DiscoverLogicalVolumes(source, volumes);

    ASSERT_EQ(disks.size(), 4u);
    EXPECT_EQ(Field(disks.at(2).deviceName), "/dev/sda");
    EXPECT_EQ(Field(disks.at(2).caption), "sda") << "without a model, the kernel name";
    EXPECT_EQ(disks.at(2).bytesPerSector, 0);
    EXPECT_EQ(Field(disks.at(2).interfaceType), "SCSI") << "a SCSI host whose driver is unknown";
    ASSERT_EQ(volumes.size(), 5u);
    for (std::size_t i = 0; i < volumes.size(); ++i)
        EXPECT_NE(Field(volumes.at(i).caption), "/dev/sda2");

    // The udev database fills what sysfs no longer tells.
    const platform::DeviceIdentity& fromUdev = disks.at(2).identity;
    EXPECT_EQ(fromUdev.model, "Samsung SSD 860 EVO 500GB");
    EXPECT_EQ(fromUdev.serial, "S3Z1NB0K123456X");
    EXPECT_EQ(fromUdev.wwn, "0x5002538e40a1b2c3");
    EXPECT_EQ(fromUdev.firmware, "RVT02B6Q");
    EXPECT_EQ(fromUdev.logicalSectorSize, 0u);
    EXPECT_FALSE(fromUdev.rotational.has_value());

    // Without it, they stay empty.
    fs::remove_all(tree_.root() / "run/udev");
    const auto bare = platform::linux_os::ReadSysfsIdentity(tree_.root(), "sda");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->model + bare->serial + bare->wwn + bare->firmware, "");
    EXPECT_EQ(bare->sizeBytes, 500107862016u);
}

TEST(SysfsDriveSource, AMissingTreeGivesNoDrives)
{
    platform::linux_os::SysfsDriveSource source("/nonexistent/zd-no-such-root");
    DriveList disks, volumes;
    DiscoverPhysicalDisks(source, disks);
    DiscoverLogicalVolumes(source, volumes);
    EXPECT_TRUE(disks.empty());
    EXPECT_TRUE(volumes.empty());
}

TEST(SysfsDriveSource, KernelNamesSortWithNumbersByValue)
{
    using platform::linux_os::NaturalLess;
    EXPECT_TRUE(NaturalLess("loop2", "loop10"));
    EXPECT_FALSE(NaturalLess("loop10", "loop2"));
    EXPECT_TRUE(NaturalLess("nvme0n1", "nvme1n1"));
    EXPECT_TRUE(NaturalLess("nvme9n1", "nvme10n1"));
    EXPECT_TRUE(NaturalLess("sda", "sdaa"));
    EXPECT_FALSE(NaturalLess("sda", "sda"));
}

} // namespace
} // namespace zd
