// The rules that turn the objects of the two queries into drive entries,
// on objects made up by the test.
#include <gtest/gtest.h>

#include "discovery/discovery.h"
#include "fake_drive_source.h"

namespace zd {
namespace {

using test::FakeDriveObject;
using test::FakeDriveSource;

std::u16string Field(const FixedText& field) { return std::u16string(FixedTextView(field)); }

FakeDriveObject Disk(std::u16string name, std::u16string caption, std::u16string size)
{
    FakeDriveObject disk;
    disk.texts = {{u"Name", std::move(name)},
                  {u"Caption", std::move(caption)},
                  {u"Size", std::move(size)},
                  {u"MediaType", u"Fixed hard disk media"},
                  {u"InterfaceType", u"SCSI"}};
    disk.integers = {{u"BytesPerSector", 512}};
    return disk;
}

FakeDriveObject Volume(std::u16string caption, std::u16string size)
{
    FakeDriveObject volume;
    volume.texts = {{u"Name", caption}, {u"Caption", caption}, {u"Size", std::move(size)}, {u"FileSystem", u"NTFS"}};
    volume.integers = {{u"MediaType", 12}};
    return volume;
}

TEST(DriveRules, PhysicalDiskTakesItsPropertiesAndLeavesVolumeFieldsEmpty)
{
    FakeDriveSource source;
    source.disks.push_back(Disk(u"\\\\.\\PHYSICALDRIVE0", u"Samsung SSD 860 EVO 500GB", u"500107862016"));
    // A disk object with volume properties must not fill volume fields.
    source.disks[0].texts[u"FileSystem"] = u"NTFS";
    source.disks[0].texts[u"VolumeName"] = u"DATA";
    source.disks[0].identity.serial = "S3Z1NB0K123456X";
    DriveList list;
    DiscoverPhysicalDisks(source, list);

    ASSERT_EQ(list.size(), 1u);
    const DriveEntry& entry = list.at(0);
    EXPECT_EQ(Field(entry.deviceName), u"\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(Field(entry.caption), u"Samsung SSD 860 EVO 500GB");
    EXPECT_EQ(Field(entry.sizeText), u"465.76 GB");
    EXPECT_EQ(entry.bytesPerSector, 512);
    EXPECT_EQ(Field(entry.mediaType), u"Fixed hard disk media");
    EXPECT_EQ(Field(entry.interfaceType), u"SCSI");
    EXPECT_EQ(entry.entryKind, kEntryPhysicalDisk);
    EXPECT_EQ(Field(entry.displayName), u"");
    EXPECT_EQ(Field(entry.fileSystem), u"");
    EXPECT_EQ(entry.identity.serial, "S3Z1NB0K123456X");
    EXPECT_EQ(source.disks[0].opticalTestCaptions, std::vector<std::u16string>{u"Samsung SSD 860 EVO 500GB"})
        << "the optical test is asked with the caption";
}

TEST(DriveRules, LogicalVolumeTakesItsPropertiesAndLeavesDiskFieldsEmpty)
{
    FakeDriveSource source;
    source.volumes.push_back(Volume(u"E:", u"8004304896"));
    source.volumes[0].texts[u"VolumeName"] = u"BACKUP";
    source.volumes[0].texts[u"InterfaceType"] = u"USB";
    source.volumes[0].integers[u"BytesPerSector"] = 4096;
    source.volumes[0].identity.devicePath = "\\\\.\\E:";
    DriveList list;
    DiscoverLogicalVolumes(source, list);

    ASSERT_EQ(list.size(), 1u);
    const DriveEntry& entry = list.at(0);
    EXPECT_EQ(Field(entry.deviceName), u"E:");
    EXPECT_EQ(Field(entry.caption), u"E:");
    EXPECT_EQ(Field(entry.displayName), u"BACKUP - E:");
    EXPECT_EQ(Field(entry.sizeText), u"7.45 GB");
    EXPECT_EQ(Field(entry.mediaType), u"Fixed Hard Disk Media");
    EXPECT_EQ(Field(entry.fileSystem), u"NTFS");
    EXPECT_EQ(entry.entryKind, kEntryLogicalVolume);
    EXPECT_EQ(entry.bytesPerSector, 0);
    EXPECT_EQ(entry.identity.devicePath, "\\\\.\\E:");
    EXPECT_EQ(Field(entry.interfaceType), u"");
}

TEST(DriveRules, VolumeLabelRules)
{
    FakeDriveSource source;
    source.volumes = {Volume(u"C:", u"1073741824"), Volume(u"D:", u"1073741824"), Volume(u"F:", u"1073741824")};
    source.volumes[0].texts[u"VolumeName"] = u""; // empty or null: read, without a label
    source.volumes[1].texts[u"VolumeName"] = u"Work";
    // F: has no readable label at all.
    DriveList list;
    DiscoverLogicalVolumes(source, list);

    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(Field(list.at(0).displayName), u"Local Disk - C:");
    EXPECT_EQ(Field(list.at(1).displayName), u"Work - D:");
    EXPECT_EQ(Field(list.at(2).displayName), u"F:") << "an unreadable label leaves the caption alone";
}

TEST(DriveRules, VolumeMediaTypeCodes)
{
    const std::vector<std::pair<std::optional<int64_t>, std::u16string>> cases = {
        {0, u"Unknown"}, {11, u"Removable media"}, {12, u"Fixed Hard Disk Media"}, {5, u""}, {std::nullopt, u""}};
    FakeDriveSource source;
    for (const auto& [code, text] : cases) {
        source.volumes.push_back(Volume(u"G:", u"1073741824"));
        source.volumes.back().integers.erase(u"MediaType");
        if (code)
            source.volumes.back().integers[u"MediaType"] = *code;
    }
    DriveList list;
    DiscoverLogicalVolumes(source, list);

    ASSERT_EQ(list.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(Field(list.at(i).mediaType), cases[i].second) << "case " << i;
}

TEST(DriveRules, OpticalDrivesAreDiscardedOfBothKinds)
{
    FakeDriveSource source;
    source.disks = {Disk(u"\\\\.\\CDROM0", u"HL-DT-ST DVD+-RW", u"4700000000"), Disk(u"d1", u"Kept", u"1073741824")};
    source.disks[0].optical = true;
    source.volumes = {Volume(u"D:", u"4700000000"), Volume(u"C:", u"1073741824")};
    source.volumes[0].optical = true;
    DriveList disks, volumes;
    DiscoverPhysicalDisks(source, disks);
    DiscoverLogicalVolumes(source, volumes);

    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(Field(disks.at(0).caption), u"Kept");
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(Field(volumes.at(0).caption), u"C:");
    EXPECT_EQ(source.volumes[0].opticalTestCaptions, std::vector<std::u16string>{u"D:"});
}

TEST(DriveRules, ObjectsWithoutAUsableSizeAreDiscarded)
{
    // Missing, null, zero, not a number, or too large for 64 bits.
    const std::vector<std::optional<std::u16string>> sizes = {
        std::nullopt, u"", u"0", u"12 GB", u"-5", u"18446744073709551616", u"1024", u"18446744073709551615"};
    FakeDriveSource source;
    for (const auto& size : sizes) {
        source.disks.push_back(Disk(u"disk", u"caption", u""));
        source.volumes.push_back(Volume(u"V:", u""));
        for (auto* object : {&source.disks.back(), &source.volumes.back()}) {
            object->texts.erase(u"Size");
            if (size)
                object->texts[u"Size"] = *size;
        }
    }
    DriveList disks, volumes;
    DiscoverPhysicalDisks(source, disks);
    DiscoverLogicalVolumes(source, volumes);

    for (const DriveList* list : {&disks, &volumes}) {
        ASSERT_EQ(list->size(), 2u);
        EXPECT_EQ(Field(list->at(0).sizeText), u"") << "1,024 bytes is kept with an empty size text";
        EXPECT_EQ(Field(list->at(1).sizeText), u"17179869184.00 GB");
    }
}

TEST(DriveRules, UnreadablePropertiesLeaveTheirFieldsEmpty)
{
    FakeDriveObject disk;
    disk.texts = {{u"Size", u"2147483648"}};
    disk.integers = {{u"BytesPerSector", -1}}; // not a sector size
    FakeDriveObject volume;
    volume.texts = {{u"Size", u"2147483648"}};
    FakeDriveSource source;
    source.disks = {disk};
    source.volumes = {volume};
    DriveList disks, volumes;
    DiscoverPhysicalDisks(source, disks);
    DiscoverLogicalVolumes(source, volumes);

    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(Field(disks.at(0).sizeText), u"2.00 GB");
    EXPECT_EQ(Field(disks.at(0).deviceName), u"");
    EXPECT_EQ(Field(disks.at(0).caption), u"");
    EXPECT_EQ(disks.at(0).bytesPerSector, 0);
    EXPECT_EQ(Field(disks.at(0).mediaType), u"");
    EXPECT_EQ(Field(disks.at(0).interfaceType), u"");
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(Field(volumes.at(0).displayName), u"");
    EXPECT_EQ(Field(volumes.at(0).mediaType), u"");
    EXPECT_EQ(Field(volumes.at(0).fileSystem), u"");
    EXPECT_EQ(volumes.at(0).entryKind, kEntryLogicalVolume);
}

TEST(DriveRules, LongTextIsCutAtACharacterBoundary)
{
    // 254 units, then a character outside the BMP (a surrogate pair) that
    // does not fit into the 255 units left for text.
    const std::u16string longCaption = std::u16string(254, u'x') + u"\U0001F4BE" + u"tail";
    FakeDriveSource source;
    source.disks.push_back(Disk(u"d", longCaption, u"1073741824"));
    source.volumes.push_back(Volume(u"H:", u"1073741824"));
    source.volumes[0].texts[u"VolumeName"] = std::u16string(300, u'L');
    DriveList disks, volumes;
    DiscoverPhysicalDisks(source, disks);
    DiscoverLogicalVolumes(source, volumes);

    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(Field(disks.at(0).caption), std::u16string(254, u'x'));
    EXPECT_EQ(disks.at(0).caption.back(), u'\0');
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(Field(volumes.at(0).displayName), std::u16string(255, u'L'));
}

TEST(DriveRules, EntriesAppendInSourceOrderAtStableAddresses)
{
    const auto caption = [](std::size_t i) { return u"V" + Utf8ToUtf16(std::to_string(i)); };
    FakeDriveSource source;
    for (std::size_t i = 0; i < 40; ++i)
        source.volumes.push_back(Volume(caption(i), u"1073741824"));
    DriveList list;
    DiscoverLogicalVolumes(source, list);
    const DriveEntry* first = &list.at(0);
    DiscoverLogicalVolumes(source, list); // appends; nothing is cleared or moved

    ASSERT_EQ(list.size(), 80u);
    EXPECT_EQ(&list.at(0), first);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(Field(list.at(i).caption), caption(i % 40));
}

TEST(DriveRules, ClearDriveListEmptiesTheProcessWideList)
{
    FakeDriveSource source;
    source.volumes.push_back(Volume(u"C:", u"1073741824"));
    DiscoverLogicalVolumes(source);
    ASSERT_EQ(g_driveList.size(), 1u);
    ClearDriveList();
    EXPECT_TRUE(g_driveList.empty());
}

} // namespace
} // namespace zd
