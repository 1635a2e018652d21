// The Linux device layer on loop devices that each test attaches itself.
#include "platform/linux/linux_block_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "engine/device_access.h"
#include "tests/support/loop_device.h"

namespace zd {
namespace {

using platform::SystemDeviceBackend;
using platform::linux_os::ClassifyDevicePath;
using test::LoopDevice;
using test::LoopOptions;

// Counts the reads the engine issues through the real backend.
class CountingBackend final : public platform::DeviceBackend {
public:
    std::optional<platform::DeviceTarget> Classify(const std::filesystem::path& name) const override
    {
        return SystemDeviceBackend().Classify(name);
    }
    std::unique_ptr<platform::BlockDevice> Open(const platform::DeviceTarget& target) const override
    {
        auto device = SystemDeviceBackend().Open(target);
        return device ? std::make_unique<Counting>(std::move(device), reads) : nullptr;
    }

    std::shared_ptr<int> reads = std::make_shared<int>(0);

private:
    class Counting final : public platform::BlockDevice {
    public:
        Counting(std::unique_ptr<platform::BlockDevice> inner, std::shared_ptr<int> reads)
            : inner_(std::move(inner)), reads_(std::move(reads))
        {
        }
        bool Read(std::span<std::byte> buffer, uint64_t offset) override
        {
            ++*reads_;
            return inner_->Read(buffer, offset);
        }
        bool Write(std::span<const std::byte> buffer, uint64_t offset) override
        {
            return inner_->Write(buffer, offset);
        }
        std::optional<uint64_t> Length(platform::DeviceKind kind) override { return inner_->Length(kind); }
        bool Prepare(platform::DeviceKind kind) override { return inner_->Prepare(kind); }
        bool Flush() override { return inner_->Flush(); }

    private:
        std::unique_ptr<platform::BlockDevice> inner_;
        std::shared_ptr<int> reads_;
    };
};

std::vector<std::byte> ReadFileBytes(const std::string& path, uint64_t offset, std::size_t length)
{
    std::vector<std::byte> bytes(length);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    if (fd >= 0) {
        EXPECT_EQ(::pread(fd, bytes.data(), length, static_cast<off_t>(offset)), static_cast<ssize_t>(length));
        ::close(fd);
    }
    return bytes;
}

bool AllZero(const std::vector<std::byte>& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

bool HasSignature(const std::vector<std::byte>& sector)
{
    return sector[510] == std::byte{0x55} && sector[511] == std::byte{0xAA};
}

class LinuxDevice : public ::testing::Test {
protected:
    void SetUp() override { ZD_REQUIRE_LOOP_DEVICES(); }
};

// Two partitions, the first 32 MiB large, on a 64 MiB disk.
LoopOptions PartitionedDisk()
{
    LoopOptions options;
    options.partitions = {{2048, 65536}, {67584, 63488}};
    return options;
}

TEST_F(LinuxDevice, ClassifiesRealNodesByWhatTheyAre)
{
    LoopDevice disk(PartitionedDisk());
    ASSERT_TRUE(disk.attached());
    LoopDevice bare(LoopOptions{});
    ASSERT_TRUE(bare.attached());

    EXPECT_EQ(ClassifyDevicePath(disk.path())->kind, platform::PhysicalDisk);
    EXPECT_EQ(ClassifyDevicePath(disk.partitionPath(1))->kind, platform::LogicalVolume);
    EXPECT_EQ(ClassifyDevicePath(bare.path())->kind, platform::PhysicalDisk);
    EXPECT_EQ(ClassifyDevicePath(bare.backingFile())->kind, platform::PhysicalDisk) << "a disk image";

    // A whole disk formatted without a partition table is a volume while its
    // file system is mounted.
    ASSERT_TRUE(test::MakeExt4(bare.path(), "WHOLE"));
    {
        test::TempMount mount(bare.path(), "ext4");
        ASSERT_TRUE(mount.mounted());
        EXPECT_EQ(ClassifyDevicePath(bare.path())->kind, platform::LogicalVolume);
    }

    for (const char* refused : {"", "dev/loop0", "/dev/null", "/dev", "/dev/zd-no-such-device"})
        EXPECT_FALSE(ClassifyDevicePath(refused)) << refused;
}

TEST_F(LinuxDevice, MillionByteImageHasNineteenFiftyThreeSectors)
{
    LoopOptions options;
    options.sizeBytes = 1'000'000;
    LoopDevice loop(options);
    ASSERT_TRUE(loop.attached());
    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, loop.path()));
    EXPECT_EQ(record.kind, PhysicalDisk);
    EXPECT_EQ(record.sectorSize, 512u);
    EXPECT_EQ(record.sectorCount, 1953u);

    DeviceRecord image;
    ASSERT_TRUE(OpenDevice(image, loop.backingFile()));
    EXPECT_EQ(image.sectorCount, 1953u);
    EXPECT_TRUE(PrepareDevice(image)) << "a disk image needs no preparing";
}

TEST_F(LinuxDevice, FourKilobyteSectorsAreFoundAfterEightReads)
{
    LoopOptions options;
    options.sizeBytes = 8 << 20;
    options.sectorSize = 4096;
    LoopDevice loop(options);
    ASSERT_TRUE(loop.attached());
    CountingBackend backend;
    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, loop.path(), backend));
    EXPECT_EQ(record.sectorSize, 4096u);
    EXPECT_EQ(*backend.reads, 8);
    EXPECT_EQ(record.sectorCount, (8u << 20) / 512);
}

TEST_F(LinuxDevice, ReadOnlyDeviceIsNotOpened)
{
    LoopOptions options;
    options.readOnly = true;
    LoopDevice loop(options);
    ASSERT_TRUE(loop.attached());
    DeviceRecord record;
    EXPECT_FALSE(OpenDevice(record, loop.path()));
    EXPECT_EQ(record.handle, nullptr);
}

TEST_F(LinuxDevice, WritesReachTheDeviceAtTheirSector)
{
    LoopDevice loop(LoopOptions{});
    ASSERT_TRUE(loop.attached());
    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, loop.path()));
    std::vector<std::byte> block(262'144, std::byte{0x5A});
    ASSERT_TRUE(WriteAt(record, block, 1024));
    ASSERT_TRUE(FlushDevice(record));
    EXPECT_EQ(ReadFileBytes(loop.backingFile(), 1024 * 512, block.size()), block);
    std::vector<std::byte> sector(512);
    ASSERT_TRUE(ReadAt(record, sector, 1024 + 511));
    EXPECT_EQ(sector, std::vector<std::byte>(512, std::byte{0x5A}));
}

TEST_F(LinuxDevice, DiskWithAMountedPartitionIsNotPrepared)
{
    LoopDevice disk(PartitionedDisk());
    ASSERT_TRUE(disk.attached());
    ASSERT_TRUE(test::MakeExt4(disk.partitionPath(1), "BUSY"));
    test::TempMount mount(disk.partitionPath(1), "ext4");
    ASSERT_TRUE(mount.mounted());

    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, disk.path()));
    ASSERT_EQ(record.kind, PhysicalDisk);
    EXPECT_FALSE(PrepareDevice(record));
    EXPECT_TRUE(test::IsMountPoint(mount.directory())) << "the mounted partition must be left alone";
    EXPECT_TRUE(std::filesystem::exists(disk.partitionPath(1)));
    EXPECT_TRUE(HasSignature(ReadFileBytes(disk.backingFile(), 0, 512)));
}

TEST_F(LinuxDevice, MountedVolumeIsUnmountedAndPrepared)
{
    LoopDevice disk(PartitionedDisk());
    ASSERT_TRUE(disk.attached());
    ASSERT_TRUE(test::MakeExt4(disk.partitionPath(1), "DATA"));
    test::TempMount mount(disk.partitionPath(1), "ext4");
    ASSERT_TRUE(mount.mounted());
    // An open file keeps the file system busy: the dismount must still go on.
    std::ofstream held(mount.directory() + "/held");
    ASSERT_TRUE(held);

    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, disk.partitionPath(1)));
    ASSERT_EQ(record.kind, LogicalVolume);
    EXPECT_TRUE(PrepareDevice(record));
    EXPECT_FALSE(test::IsMountPoint(mount.directory()));
    EXPECT_TRUE(WriteAt(record, std::vector<std::byte>(512, std::byte{1}), 0));
}

TEST_F(LinuxDevice, IdleVolumeIsClaimedExclusively)
{
    LoopDevice disk(PartitionedDisk());
    ASSERT_TRUE(disk.attached());
    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, disk.partitionPath(2)));
    ASSERT_TRUE(PrepareDevice(record));
    const int other = ::open(disk.partitionPath(2).c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    EXPECT_LT(other, 0) << "the claim must hold until the device is closed";
    if (other >= 0)
        ::close(other);
    record.handle.reset();
    const int after = ::open(disk.partitionPath(2).c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    EXPECT_GE(after, 0) << "closing ends the claim";
    if (after >= 0)
        ::close(after);
}

TEST_F(LinuxDevice, PreparingAnIdleDiskRemovesItsLayout)
{
    LoopOptions options = PartitionedDisk();
    LoopDevice disk(options);
    ASSERT_TRUE(disk.attached());
    // Give it a backup GPT header to clear as well.
    {
        std::fstream image(disk.backingFile(), std::ios::in | std::ios::out | std::ios::binary);
        image.seekp(static_cast<std::streamoff>(options.sizeBytes - 512));
        image.write("EFI PART", 8);
    }
    ASSERT_TRUE(std::filesystem::exists(disk.partitionPath(1)));

    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, disk.path()));
    ASSERT_TRUE(PrepareDevice(record));
    EXPECT_FALSE(std::filesystem::exists(disk.partitionPath(1)));
    EXPECT_FALSE(std::filesystem::exists(disk.partitionPath(2)));
    EXPECT_TRUE(AllZero(ReadFileBytes(disk.backingFile(), 0, 1024))) << "MBR and primary GPT header";
    EXPECT_TRUE(AllZero(ReadFileBytes(disk.backingFile(), options.sizeBytes - 512, 512))) << "backup GPT header";
}

} // namespace
} // namespace zd
