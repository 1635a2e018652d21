// Discovery of the running system, on loop devices the test attaches.
// Other tests may attach loop devices at the same time, so entries are
// found by name, never counted.
#include <gtest/gtest.h>

#include <filesystem>

#include "discovery/discovery.h"
#include "platform/identity_check.h"
#include "platform/identity_reader.h"
#include "platform/text.h"
#include "tests/support/loop_device.h"

namespace zd {
namespace {

std::string Field(const FixedText& field) { return Utf16ToUtf8(FixedTextView(field)); }

const DriveEntry* FindDevice(const DriveList& list, const std::string& deviceName)
{
    for (std::size_t i = 0; i < list.size(); ++i)
        if (Field(list.at(i).deviceName) == deviceName)
            return &list.at(i);
    return nullptr;
}

std::string LoopCaption(const test::LoopDevice& device)
{
    return "Loop device " + std::filesystem::path(device.backingFile()).filename().string();
}

test::LoopOptions OnePartition()
{
    test::LoopOptions options; // 64 MiB
    options.partitions = {{2048, 129024}};
    return options;
}

class LoopDiscovery : public ::testing::Test {
protected:
    void SetUp() override { ZD_REQUIRE_LOOP_DEVICES(); }
};

TEST_F(LoopDiscovery, AnAttachedImageIsAPhysicalDisk)
{
    test::LoopDevice disk(OnePartition());
    ASSERT_TRUE(disk.attached());
    DriveList list;
    DiscoverPhysicalDisks(list);

    const DriveEntry* entry = FindDevice(list, disk.path());
    ASSERT_NE(entry, nullptr) << disk.path() << " is not listed";
    EXPECT_EQ(Field(entry->sizeText), "64.00 MB");
    EXPECT_EQ(Field(entry->interfaceType), "LOOP");
    EXPECT_EQ(Field(entry->caption), LoopCaption(disk));
    EXPECT_EQ(entry->bytesPerSector, 512);
    EXPECT_EQ(Field(entry->mediaType), "Fixed hard disk media");
    EXPECT_EQ(entry->entryKind, kEntryPhysicalDisk);
    EXPECT_EQ(FindDevice(list, disk.partitionPath(1)), nullptr) << "a partition is no physical disk";

    // What the list shows is what the check before the first write reads.
    ASSERT_TRUE(entry->identity.backingFile.has_value());
    EXPECT_EQ(entry->identity.backingFile->path, disk.backingFile());
    const auto now = platform::ReadDeviceIdentity(disk.path());
    ASSERT_TRUE(now.has_value());
    EXPECT_EQ(platform::DescribeIdentityChange(entry->identity, *now), "");
    EXPECT_EQ(entry->identity.deviceNumber, now->deviceNumber);
}

TEST_F(LoopDiscovery, AMountedPartitionIsALogicalVolumeUntilUnmounted)
{
    test::LoopDevice disk(OnePartition());
    ASSERT_TRUE(disk.attached());
    const std::string partition = disk.partitionPath(1);
    ASSERT_TRUE(test::MakeExt4(partition, "ZDLABEL"));
    {
        test::TempMount mount(partition, "ext4");
        ASSERT_TRUE(mount.mounted());
        DriveList list;
        DiscoverLogicalVolumes(list);

        const DriveEntry* entry = FindDevice(list, partition);
        ASSERT_NE(entry, nullptr) << partition << " is not listed";
        EXPECT_EQ(Field(entry->displayName), "ZDLABEL - " + partition);
        EXPECT_EQ(Field(entry->caption), partition);
        EXPECT_EQ(Field(entry->fileSystem), "ext4");
        EXPECT_EQ(Field(entry->sizeText), "63.00 MB");
        EXPECT_EQ(Field(entry->mediaType), "Fixed Hard Disk Media");
        EXPECT_EQ(entry->entryKind, kEntryLogicalVolume);
        EXPECT_EQ(FindDevice(list, disk.path()), nullptr) << "the disk itself is not mounted";
    }
    DriveList list;
    DiscoverLogicalVolumes(list);
    EXPECT_EQ(FindDevice(list, partition), nullptr) << "unmounted, it is no logical volume";
}

TEST_F(LoopDiscovery, ADetachedLoopDeviceIsNotListed)
{
    std::string path, caption;
    {
        test::LoopDevice disk(test::LoopOptions{});
        ASSERT_TRUE(disk.attached());
        path = disk.path();
        caption = LoopCaption(disk);
    }
    DriveList list;
    DiscoverPhysicalDisks(list);
    // Another test may have attached its own image to the same node since.
    const DriveEntry* entry = FindDevice(list, path);
    EXPECT_TRUE(entry == nullptr || Field(entry->caption) != caption) << path << " is still listed";
}

} // namespace
} // namespace zd
