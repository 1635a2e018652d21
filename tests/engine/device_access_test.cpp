#include "engine/device_access.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "platform/fake/fake_device.h"

namespace zd {
namespace {

using platform::FakeDeviceBackend;
using platform::FakeDisk;

class DeviceAccess : public ::testing::Test {
protected:
    std::shared_ptr<FakeDisk> AddDisk(const char* name, uint64_t bytes,
                                      platform::DeviceKind kind = platform::PhysicalDisk)
    {
        auto disk = std::make_shared<FakeDisk>(bytes);
        backend.Add(name, kind, disk);
        return disk;
    }

    FakeDeviceBackend backend;
    DeviceRecord record;
};

std::vector<std::byte> Pattern(std::size_t size, int seed)
{
    std::vector<std::byte> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::byte>((i * 7 + static_cast<std::size_t>(seed)) & 0xFF);
    return bytes;
}

TEST_F(DeviceAccess, OpensAndCountsWholeSectorsOfFiveHundredTwelveBytes)
{
    auto disk = AddDisk("\\\\.\\PHYSICALDRIVE0", 1'000'000);
    ASSERT_TRUE(OpenDevice(record, "\\\\.\\PHYSICALDRIVE0", backend));
    EXPECT_EQ(record.kind, PhysicalDisk);
    EXPECT_EQ(record.sectorSize, 512u);
    EXPECT_EQ(record.sectorCount, 1953u) << "the 64 bytes past the last whole sector are not counted";
    EXPECT_EQ(record.startSector, 0u);
    EXPECT_EQ(record.sectorsWiped, 0u);
    EXPECT_EQ(record.badSectors, 0u);
    EXPECT_EQ(disk->readCalls, 1u);
    EXPECT_EQ(disk->writeCalls, 0u) << "opening must never write";
}

TEST_F(DeviceAccess, ProbeFindsFourKilobyteSectorsOnTheEighthAttempt)
{
    auto disk = AddDisk("disk", 8 << 20);
    disk->readUnit = 4096;
    ASSERT_TRUE(OpenDevice(record, "disk", backend));
    EXPECT_EQ(record.sectorSize, 4096u);
    EXPECT_EQ(disk->readCalls, 8u);
    EXPECT_EQ(record.sectorCount, (8u << 20) / 512) << "counts stay in 512-byte units";
}

TEST_F(DeviceAccess, ProbeGivesUpAfterOneHundredTwentyNineLengths)
{
    auto disk = AddDisk("disk", 1 << 20);
    disk->readUnit = 129 * 512 + 512;
    EXPECT_FALSE(OpenDevice(record, "disk", backend));
    EXPECT_EQ(disk->readCalls, 129u);
    EXPECT_EQ(record.sectorSize, 0u);
}

TEST_F(DeviceAccess, LargestProbeLengthIsStillAccepted)
{
    auto disk = AddDisk("disk", 1 << 20);
    disk->readUnit = 129 * 512;
    ASSERT_TRUE(OpenDevice(record, "disk", backend));
    EXPECT_EQ(record.sectorSize, 66'048u);
}

TEST_F(DeviceAccess, RefusedNamesMakeNoOpenCall)
{
    EXPECT_FALSE(OpenDevice(record, "", backend));
    EXPECT_FALSE(OpenDevice(record, "not-listed", backend));
    EXPECT_EQ(backend.openCalls(), 0);
    EXPECT_EQ(record.handle, nullptr);
}

TEST_F(DeviceAccess, DeviceThatVanishedIsNotOpened)
{
    backend.Add("gone", platform::PhysicalDisk, nullptr);
    EXPECT_FALSE(OpenDevice(record, "gone", backend));
    EXPECT_EQ(backend.openCalls(), 1);
    EXPECT_EQ(record.handle, nullptr);
}

TEST_F(DeviceAccess, FailedLengthQueryOrSubSectorDeviceIsRefused)
{
    auto failing = AddDisk("failing", 1 << 20);
    failing->failLength = true;
    EXPECT_FALSE(OpenDevice(record, "failing", backend));

    // Shorter than one sector: nothing to wipe, nothing opened.
    DeviceRecord tiny;
    AddDisk("tiny", 511);
    EXPECT_FALSE(OpenDevice(tiny, "tiny", backend));

    // A partial sector at the end is not counted.
    DeviceRecord small;
    AddDisk("small", 600);
    ASSERT_TRUE(OpenDevice(small, "small", backend));
    EXPECT_EQ(small.sectorCount, 1u);
}

TEST_F(DeviceAccess, WritesLandAtSectorTimesFiveHundredTwelve)
{
    auto disk = AddDisk("disk", 1 << 20);
    ASSERT_TRUE(OpenDevice(record, "disk", backend));
    const auto data = Pattern(1024, 3);
    ASSERT_TRUE(WriteAt(record, data, 100));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), disk->bytes.begin() + 100 * 512));

    std::vector<std::byte> back(512);
    ASSERT_TRUE(ReadAt(record, back, 101));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 512));
}

TEST_F(DeviceAccess, TheNthWriteFails)
{
    auto disk = AddDisk("disk", 1 << 20);
    disk->failWriteNumber = 2;
    ASSERT_TRUE(OpenDevice(record, "disk", backend));
    const auto data = Pattern(512, 1);
    EXPECT_TRUE(WriteAt(record, data, 0));
    EXPECT_FALSE(WriteAt(record, data, 1));
    EXPECT_TRUE(WriteAt(record, data, 2));
}

TEST_F(DeviceAccess, ShortWritesAreCompleted)
{
    auto disk = AddDisk("disk", 1 << 20);
    disk->shortWriteBytes = 1000;
    ASSERT_TRUE(OpenDevice(record, "disk", backend));
    const auto data = Pattern(262'144, 5);
    ASSERT_TRUE(WriteAt(record, data, 512));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), disk->bytes.begin() + 512 * 512));
}

TEST_F(DeviceAccess, AWriteThatStopsShortIsAFailure)
{
    auto disk = AddDisk("disk", 1 << 20);
    disk->shortWriteBytes = 1000;
    disk->shortWriteStalls = true;
    ASSERT_TRUE(OpenDevice(record, "disk", backend));
    EXPECT_FALSE(WriteAt(record, Pattern(4096, 2), 0));

    // A write running past the end of the device cannot complete either.
    disk->shortWriteBytes = 0;
    EXPECT_FALSE(WriteAt(record, Pattern(1024, 2), (1 << 20) / 512 - 1));
}

TEST_F(DeviceAccess, PrepareReportsARefusal)
{
    auto disk = AddDisk("E:", 1 << 20, platform::LogicalVolume);
    ASSERT_TRUE(OpenDevice(record, "E:", backend));
    EXPECT_EQ(record.kind, LogicalVolume);
    disk->refusePrepare = true;
    EXPECT_FALSE(PrepareDevice(record));
    disk->refusePrepare = false;
    EXPECT_TRUE(PrepareDevice(record));
    EXPECT_EQ(disk->prepareCalls, 2u);
}

TEST_F(DeviceAccess, NothingWorksOnARecordThatWasNeverOpened)
{
    const auto data = Pattern(512, 0);
    std::vector<std::byte> back(512);
    EXPECT_FALSE(PrepareDevice(record));
    EXPECT_FALSE(WriteAt(record, data, 0));
    EXPECT_FALSE(ReadAt(record, back, 0));
    EXPECT_FALSE(FlushDevice(record));
}

} // namespace
} // namespace zd
