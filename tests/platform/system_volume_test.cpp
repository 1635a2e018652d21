// The notion of the system volume, pointed at loop devices the test owns.
#include "platform/system_volume.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/text.h"
#include "tests/support/loop_device.h"

namespace zd::platform {
namespace {

// Sets the test system volume for the lifetime of the object.
class TestSystemVolume {
public:
    explicit TestSystemVolume(const std::string& device) { ::setenv(kTestSystemVolumeVariable, device.c_str(), 1); }
    ~TestSystemVolume() { ::unsetenv(kTestSystemVolumeVariable); }
};

class SystemVolume : public ::testing::Test {
protected:
    void SetUp() override { ZD_REQUIRE_LOOP_DEVICES(); }
};

test::LoopOptions TwoPartitions()
{
    test::LoopOptions options;
    options.partitions = {{2048, 32768}, {34816, 32768}};
    return options;
}

TEST_F(SystemVolume, TheVolumeAndEveryDiskBeneathItAreRefused)
{
    test::LoopDevice disk(TwoPartitions());
    test::LoopDevice other(test::LoopOptions{});
    ASSERT_TRUE(disk.attached() && other.attached());
    const std::string system = disk.partitionPath(1);

    EXPECT_FALSE(SystemDrives().Holds(disk.path())) << "before the test names it, the loop disk holds no system";
    TestSystemVolume named(system);
    const SystemDrives drives;
    EXPECT_TRUE(drives.IsOperatingSystemVolume(Utf8ToUtf16(system)));
    EXPECT_FALSE(drives.IsOperatingSystemVolume(Utf8ToUtf16(disk.partitionPath(2))));
    EXPECT_FALSE(drives.IsOperatingSystemVolume(Utf8ToUtf16(disk.path()))) << "the disk is not the volume";

    EXPECT_TRUE(drives.Holds(system));
    EXPECT_TRUE(drives.Holds(disk.path()));
    EXPECT_FALSE(drives.Holds(disk.partitionPath(2)));
    EXPECT_FALSE(drives.Holds(other.path()));
    EXPECT_FALSE(drives.Holds(disk.backingFile())) << "an image file is not a device";
    EXPECT_FALSE(drives.Holds("/dev/zd-no-such-device"));
}

TEST_F(SystemVolume, TheDisksOfADeviceMapperSystemVolumeAreRefused)
{
    if (!test::RunCommand("dmsetup version"))
        GTEST_SKIP() << "no device-mapper here (dmsetup missing or the kernel has no dm driver)";
    test::LoopDevice disk(TwoPartitions());
    ASSERT_TRUE(disk.attached());
    const std::string name = "zd-test-" + std::to_string(::getpid());
    ASSERT_TRUE(test::RunCommand("dmsetup --noudevsync create " + name + " --table '0 32768 linear " +
                                 disk.partitionPath(2) + " 0'"));
    {
        TestSystemVolume named("/dev/mapper/" + name);
        const SystemDrives drives;
        EXPECT_TRUE(drives.Holds("/dev/mapper/" + name));
        EXPECT_TRUE(drives.Holds(disk.partitionPath(2))) << "a member of the system volume";
        EXPECT_TRUE(drives.Holds(disk.path())) << "the disk of that member";
        EXPECT_FALSE(drives.Holds(disk.partitionPath(1)));
    }
    EXPECT_TRUE(test::RunCommand("dmsetup --noudevsync remove " + name));
}

TEST_F(SystemVolume, VolumeLogNameIsTheKernelName)
{
    test::LoopDevice disk(TwoPartitions());
    ASSERT_TRUE(disk.attached());
    const std::string kernelName = std::filesystem::path(disk.partitionPath(1)).filename().string();
    EXPECT_EQ(VolumeLogName(Utf8ToUtf16(disk.partitionPath(1))), Utf8ToUtf16(kernelName));
    EXPECT_EQ(VolumeLogName(u"/dev/sdb1"), u"sdb1") << "a name that does not resolve keeps its last component";
}

} // namespace
} // namespace zd::platform
