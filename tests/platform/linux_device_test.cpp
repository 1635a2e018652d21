// The Linux device layer on loop devices that each test attaches itself.
#include "platform/linux/linux_block_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/mount.h>

#include <fstream>

#include "engine/device_access.h"
#include "platform/system_volume.h"
#include "tests/support/loop_device.h"

namespace zd {
namespace {

using platform::SystemDeviceBackend;
using platform::linux_os::ClassifyDevicePath;
using platform::linux_os::SetBeforeOpenHook;
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

TEST_F(LinuxDevice, ADiskGivesUpItsMountedPartitionsUnlessOneIsBusy)
{
    LoopDevice disk(PartitionedDisk());
    ASSERT_TRUE(disk.attached());
    ASSERT_TRUE(test::MakeExt4(disk.partitionPath(1), "FIRST"));
    ASSERT_TRUE(test::MakeExt4(disk.partitionPath(2), "SECOND"));
    test::TempMount first(disk.partitionPath(1), "ext4");
    test::TempMount second(disk.partitionPath(2), "ext4");
    ASSERT_TRUE(first.mounted() && second.mounted());

    auto held = std::make_unique<std::ofstream>(second.directory() + "/held");
    ASSERT_TRUE(*held);
    std::string why;
    EXPECT_EQ(SystemDeviceBackend().OpenExplained(*ClassifyDevicePath(disk.path()), why), nullptr)
        << "refused before anything is asked or written";
    EXPECT_NE(why.find(second.directory() + " is busy"), std::string::npos) << why;
    EXPECT_TRUE(test::IsMountPoint(first.directory()) && test::IsMountPoint(second.directory()));
    held.reset();

    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, disk.path()));
    ASSERT_EQ(record.kind, PhysicalDisk);
    ASSERT_TRUE(PrepareDevice(record)) << record.handle->LastError();
    EXPECT_FALSE(test::IsMountPoint(first.directory()));
    EXPECT_FALSE(test::IsMountPoint(second.directory()));
    EXPECT_FALSE(HasSignature(ReadFileBytes(disk.backingFile(), 0, 512))) << "the partition table is gone";
}

TEST_F(LinuxDevice, ABusyVolumeIsRefusedUntouchedAndAnIdleOneUnmounted)
{
    LoopDevice disk(PartitionedDisk());
    ASSERT_TRUE(disk.attached());
    ASSERT_TRUE(test::MakeExt4(disk.partitionPath(1), "DATA"));
    test::TempMount mount(disk.partitionPath(1), "ext4");
    ASSERT_TRUE(mount.mounted());
    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, disk.partitionPath(1))) << "idle when opened";
    ASSERT_EQ(record.kind, LogicalVolume);
    auto held = std::make_unique<std::ofstream>(mount.directory() + "/held");
    ASSERT_TRUE(*held);
    ::sync(); // nothing of the file system is left to write back on its own
    const auto before = ReadFileBytes(disk.backingFile(), 0, 64 << 20);

    DeviceRecord again;
    EXPECT_FALSE(OpenDevice(again, disk.partitionPath(1))) << "busy when opened";
    EXPECT_FALSE(PrepareDevice(record)) << "an open file keeps the file system busy";
    const std::string& why = record.handle->LastError();
    EXPECT_NE(why.find(mount.directory() + " is busy"), std::string::npos) << why;
    EXPECT_NE(why.find(std::to_string(::getpid())), std::string::npos) << "names the process that holds it: " << why;
    EXPECT_TRUE(test::IsMountPoint(mount.directory()));
    ::sync();
    EXPECT_TRUE(ReadFileBytes(disk.backingFile(), 0, 64 << 20) == before) << "nothing was written";
    held.reset();

    EXPECT_TRUE(PrepareDevice(record)) << "once nothing holds it";
    EXPECT_FALSE(test::IsMountPoint(mount.directory()));
    const int other = ::open(disk.partitionPath(1).c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
    EXPECT_LT(other, 0) << "claimed once unmounted";
    if (other >= 0)
        ::close(other);
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

// A path that names a harmless device when it is checked and the system
// volume when it is opened: the bind mounts stand in for an attacker who
// swaps a link or a node in between.
TEST_F(LinuxDevice, APathSwappedBetweenCheckAndOpenNeverOpensTheSystemVolume)
{
    LoopDevice system(LoopOptions{});
    LoopDevice harmless(LoopOptions{});
    ASSERT_TRUE(system.attached() && harmless.attached());
    const std::string node = harmless.backingFile() + ".node";
    // Undoes the system volume, the hook and every mount on the node.
    struct Restore {
        std::string node;
        ~Restore()
        {
            ::unsetenv(platform::kTestSystemVolumeVariable);
            SetBeforeOpenHook({});
            while (::umount2(node.c_str(), 0) == 0) {
            }
            std::filesystem::remove(node);
        }
    } restore{node};
    ::setenv(platform::kTestSystemVolumeVariable, system.path().c_str(), 1);
    std::ofstream{node};
    ASSERT_EQ(::mount(harmless.path().c_str(), node.c_str(), nullptr, MS_BIND, nullptr), 0);
    int swaps = 0;
    SetBeforeOpenHook([&](const std::filesystem::path&) {
        swaps += ::mount(system.path().c_str(), node.c_str(), nullptr, MS_BIND, nullptr) == 0;
    });

    std::string whyNot;
    const auto target = SystemDeviceBackend().Classify(node);
    ASSERT_TRUE(target);
    EXPECT_EQ(SystemDeviceBackend().OpenExplained(*target, whyNot), nullptr);
    EXPECT_EQ(swaps, 1);
    EXPECT_NE(whyNot.find("holds the running system"), std::string::npos) << whyNot;
}

TEST_F(LinuxDevice, TheDeviceItselfIsOpenedAndClaimedUntilClosed)
{
    LoopDevice loop(LoopOptions{});
    ASSERT_TRUE(loop.attached());
    const std::string link = loop.backingFile() + ".link";
    std::filesystem::create_symlink(loop.path(), link);
    DeviceRecord record;
    ASSERT_TRUE(OpenDevice(record, link));
    EXPECT_EQ(record.devicePath, loop.path()) << "links resolved";

    std::string whyNot;
    const auto target = SystemDeviceBackend().Classify(loop.path());
    EXPECT_EQ(SystemDeviceBackend().OpenExplained(*target, whyNot), nullptr) << "claimed by the first opener";
    EXPECT_NE(whyNot.find("in use"), std::string::npos) << whyNot;

    DeviceRecord image;
    ASSERT_TRUE(OpenDevice(image, loop.backingFile()));
    const auto imageTarget = SystemDeviceBackend().Classify(loop.backingFile());
    EXPECT_EQ(SystemDeviceBackend().OpenExplained(*imageTarget, whyNot), nullptr) << "an image file is locked";
    EXPECT_NE(whyNot.find("lock"), std::string::npos) << whyNot;

    record.handle.reset();
    image.handle.reset();
    EXPECT_TRUE(OpenDevice(record, loop.path()) && OpenDevice(image, loop.backingFile())) << "closing ends the claims";
    std::filesystem::remove(link);
}

} // namespace
} // namespace zd
