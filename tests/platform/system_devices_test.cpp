// Which devices the running system needs, worked out on fixture trees of
// systems this machine is not: live, btrfs, ZFS, LVM on LUKS with separate
// mounts, and a root on the network.
#include "platform/linux/system_devices.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <map>

namespace zd::platform::linux_os {
namespace {

namespace fs = std::filesystem;

// A root with just what the rules read: the mount table, sysfs block
// devices (<root>/sys/block) with their device nodes (<root>/dev), and files.
class FixtureRoot {
public:
    FixtureRoot()
    {
        std::string pattern = (fs::temp_directory_path() / "zd-fixture-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            root_ = pattern;
    }
    ~FixtureRoot()
    {
        std::error_code error;
        fs::remove_all(root_, error);
    }
    FixtureRoot(const FixtureRoot&) = delete;
    FixtureRoot& operator=(const FixtureRoot&) = delete;

    // "sda" for a disk, "sda/sda1" for a partition of it.
    FixtureRoot& Device(const std::string& path, unsigned majorNumber, unsigned minorNumber)
    {
        const fs::path directory = root() / "sys/block" / path;
        Write(directory / "dev", std::to_string(majorNumber) + ":" + std::to_string(minorNumber) + "\n");
        if (path.find('/') != std::string::npos)
            Write(directory / "partition", "1\n");
        Write(root() / "dev" / directory.filename(), "");
        numbers_[directory.filename().string()] = makedev(majorNumber, minorNumber);
        return *this;
    }
    FixtureRoot& Slave(const std::string& device, const std::string& slave)
    {
        fs::create_directories(root() / "sys/block" / device / "slaves" / slave);
        return *this;
    }
    FixtureRoot& File(const std::string& path, const std::string& content)
    {
        Write(root() / path, content);
        return *this;
    }
    FixtureRoot& Link(const std::string& path, const std::string& target)
    {
        fs::create_directories((root() / path).parent_path());
        fs::create_symlink(target, root() / path);
        return *this;
    }

    const fs::path& root() const { return root_; }
    dev_t operator[](const std::string& name) const { return numbers_.at(name); }

private:
    static void Write(const fs::path& file, const std::string& content)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << content;
    }

    fs::path root_;
    std::map<std::string, dev_t> numbers_;
};

std::string ConflictOf(const SystemDevices& system, dev_t device) { return system.Conflict(device).value_or("free"); }

TEST(SystemDevices, LiveSystemKeepsItsMediumAndTheLoopUnderItsOverlay)
{
    FixtureRoot live;
    live.Device("sda", 8, 0).Device("sda/sda1", 8, 1);
    live.Device("sdb", 8, 16).Device("sdb/sdb1", 8, 17);
    live.Device("sr0", 11, 0).Device("loop0", 7, 0).Device("loop1", 7, 1);
    live.File("sys/block/loop0/loop/backing_file", "/run/live/medium/live/filesystem.squashfs\n");
    live.File("sys/block/loop1/loop/backing_file", "/home/user/disk.img\n");
    live.File("proc/self/mountinfo",
              "20 1 0:30 / / rw - overlay overlay "
              "rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,upperdir=/run/live/overlay/rw,workdir=/run/live/"
              "overlay/work\n"
              "21 20 11:0 / /run/live/medium ro - iso9660 /dev/sr0 ro\n"
              "22 20 7:0 / /run/live/rootfs/filesystem.squashfs ro - squashfs /dev/loop0 ro\n"
              "23 20 0:31 / /run/live/overlay rw - tmpfs tmpfs rw\n"
              "24 20 8:17 / /lib/live/mount/medium ro - vfat /dev/sdb1 ro\n"
              "25 20 8:1 / /media/user/DATA rw - ext4 /dev/sda1 rw\n");
    const SystemDevices system(live.root());

    EXPECT_EQ(system.Unknown(), "");
    EXPECT_TRUE(system.HoldsRoot(live["loop0"]));
    EXPECT_EQ(ConflictOf(system, live["loop0"]), "the root file system is on it");
    EXPECT_EQ(ConflictOf(system, live["sr0"]), "the root file system is on it") << "it holds the squashfs image";
    EXPECT_EQ(ConflictOf(system, live["sdb"]), "the live system's medium is on it");
    EXPECT_NE(ConflictOf(system, live["sdb1"]), "free");
    EXPECT_EQ(ConflictOf(system, live["sda"]), "free");
    EXPECT_EQ(ConflictOf(system, live["sda1"]), "free");
    EXPECT_EQ(ConflictOf(system, live["loop1"]), "free") << "a loop over a file on the system is not the system";
}

TEST(SystemDevices, EveryDeviceOfABtrfsRootIsKept)
{
    FixtureRoot btrfs;
    btrfs.Device("sda", 8, 0).Device("sda/sda1", 8, 1).Device("sda/sda2", 8, 2);
    btrfs.Device("sdb", 8, 16).Device("sdc", 8, 32);
    btrfs.File("sys/fs/btrfs/3f1c/devices/sda2", "").File("sys/fs/btrfs/3f1c/devices/sdb", "");
    btrfs.File("sys/fs/btrfs/77aa/devices/sdc", "");
    btrfs.File("proc/self/mountinfo", "20 1 0:33 /@ / rw - btrfs /dev/sda2 rw,space_cache=v2,subvol=/@\n"
                                      "21 20 0:34 / /data rw - btrfs /dev/sdc rw\n");
    const SystemDevices system(btrfs.root());

    EXPECT_EQ(system.Unknown(), "");
    for (const char* kept : {"sda2", "sda", "sdb"})
        EXPECT_EQ(ConflictOf(system, btrfs[kept]), "the root file system is on it") << kept;
    EXPECT_EQ(ConflictOf(system, btrfs["sda1"]), "free") << "another partition of the system's disk";
    EXPECT_EQ(ConflictOf(system, btrfs["sdc"]), "free") << "another btrfs file system";
}

TEST(SystemDevices, EveryMemberOfTheRootPoolIsKept)
{
    FixtureRoot zfs;
    zfs.Device("nvme0n1", 259, 0).Device("nvme0n1/nvme0n1p1", 259, 1).Device("nvme0n1/nvme0n1p2", 259, 2);
    zfs.Device("nvme1n1", 259, 4).Device("nvme1n1/nvme1n1p1", 259, 5);
    zfs.Device("sda", 8, 0).Device("sda/sda1", 8, 1);
    zfs.File("run/udev/data/b259:2", "S:disk/by-id/nvme-a-part2\nE:ID_FS_TYPE=zfs_member\nE:ID_FS_LABEL=rpool\n");
    zfs.File("run/udev/data/b259:5", "E:ID_FS_TYPE=zfs_member\nE:ID_FS_LABEL=rpool\n");
    zfs.File("run/udev/data/b8:1", "E:ID_FS_TYPE=zfs_member\nE:ID_FS_LABEL=tank\n");
    zfs.File("proc/self/mountinfo", "20 1 0:25 / / rw - zfs rpool/ROOT/debian rw,xattr,posixacl\n"
                                    "21 20 259:1 / /boot/efi rw - vfat /dev/nvme0n1p1 rw\n"
                                    "22 20 0:26 / /tank rw - zfs tank rw\n");
    const SystemDevices system(zfs.root());

    EXPECT_EQ(system.Unknown(), "");
    for (const char* kept : {"nvme0n1p2", "nvme1n1p1", "nvme1n1"})
        EXPECT_EQ(ConflictOf(system, zfs[kept]), "the root file system is on it") << kept;
    EXPECT_NE(ConflictOf(system, zfs["nvme0n1"]), "free");
    EXPECT_EQ(ConflictOf(system, zfs["nvme0n1p1"]), "the file system at /boot/efi is on it");
    EXPECT_EQ(ConflictOf(system, zfs["sda1"]), "free") << "a member of another pool";
}

TEST(SystemDevices, SeparateMountsStackedDevicesSwapAndTheProgramsOwnDiskAreKept)
{
    FixtureRoot host;
    host.Device("sda", 8, 0).Device("sda/sda1", 8, 1).Device("sda/sda2", 8, 2).Device("sda/sda3", 8, 3);
    host.Device("sda/sda4", 8, 4);
    host.Device("sdb", 8, 16).Device("sdb/sdb1", 8, 17);
    host.Device("sdd", 8, 48).Device("sdd/sdd1", 8, 49);
    host.Device("sde", 8, 64).Device("sde/sde1", 8, 65);
    host.Device("sdf", 8, 80).Device("sdf/sdf1", 8, 81);
    // LUKS on sda3, LVM inside: root and home.
    host.Device("dm-0", 254, 0).Slave("dm-0", "sda3");
    host.Device("dm-1", 254, 1).Slave("dm-1", "dm-0").Device("dm-2", 254, 2).Slave("dm-2", "dm-0");
    host.Device("dm-3", 254, 3).Slave("dm-3", "sda4");
    host.Device("loop2", 7, 2).Device("loop3", 7, 3);
    host.File("sys/block/loop2/loop/backing_file", "/dev/sda\n")
        .File("sys/block/loop3/loop/backing_file", "/dev/sdd\n");
    host.Link("dev/mapper/vg-root", "../dm-1");
    host.Link("proc/self/exe", "/opt/zd/bin/zeza-dera");
    host.File("proc/swaps", "Filename\tType\tSize\tUsed\tPriority\n/dev/sdf1\tpartition\t8388604\t0\t-2\n");
    host.File("proc/self/mountinfo", "20 1 254:1 / / rw - ext4 /dev/mapper/vg-root rw\n"
                                     "21 20 8:2 / /boot rw - ext4 /dev/sda2 rw\n"
                                     "22 21 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
                                     "23 20 8:17 / /var rw - xfs /dev/sdb1 rw\n"
                                     "24 20 254:2 / /home rw - ext4 /dev/mapper/vg-home rw\n"
                                     "25 20 8:49 / /mnt/data rw - ext4 /dev/sdd1 rw\n"
                                     "26 20 8:65 / /opt rw - ext4 /dev/sde1 rw\n");
    const SystemDevices system(host.root());

    EXPECT_EQ(system.Unknown(), "");
    EXPECT_TRUE(system.HoldsRoot(host["dm-1"]));
    EXPECT_FALSE(system.HoldsRoot(host["sda3"]));
    EXPECT_EQ(ConflictOf(system, host["dm-1"]), "the root file system is on it");
    EXPECT_EQ(ConflictOf(system, host["sda3"]), "the root file system is on it") << "beneath LUKS and LVM";
    EXPECT_EQ(ConflictOf(system, host["dm-2"]), "it is built on /dev/dm-0, which holds the root file system");
    EXPECT_EQ(ConflictOf(system, host["sda2"]), "the file system at /boot is on it");
    EXPECT_EQ(ConflictOf(system, host["sda1"]), "the file system at /boot/efi is on it");
    EXPECT_EQ(ConflictOf(system, host["sdb"]), "the file system at /var is on it");
    EXPECT_EQ(ConflictOf(system, host["sde1"]), "the file system this program runs from is on it");
    EXPECT_EQ(ConflictOf(system, host["sdf1"]), "swap space is on it");
    EXPECT_NE(ConflictOf(system, host["loop2"]), "free") << "a loop device over the system's disk";
    EXPECT_EQ(ConflictOf(system, host["sda4"]), "free") << "a partition of the system's disk that it does not use";
    EXPECT_EQ(ConflictOf(system, host["dm-3"]), "free") << "a device built on that partition";
    EXPECT_EQ(ConflictOf(system, host["sdd"]), "free");
    EXPECT_EQ(ConflictOf(system, host["loop3"]), "free");
}

TEST(SystemDevices, ANetworkRootIsUnknownAndRefusesNothingSilently)
{
    FixtureRoot diskless;
    diskless.Device("sda", 8, 0).Device("sda/sda1", 8, 1);
    diskless.Link("proc/self/exe", "/usr/bin/zeza-dera");
    diskless.File("proc/self/mountinfo", "20 1 0:22 / / rw - nfs4 server:/export/root rw,vers=4.2\n"
                                         "21 20 8:1 / /mnt/data rw - ext4 /dev/sda1 rw\n");
    const SystemDevices system(diskless.root());

    EXPECT_EQ(system.Unknown(),
              "the root file system (nfs4 from server:/export/root) lies on no disk that can be told");
    EXPECT_EQ(ConflictOf(system, diskless["sda"]), "free");
    EXPECT_FALSE(system.HoldsRoot(diskless["sda1"]));
}

TEST(SystemDevices, ARootInMemoryIsKnownAndRefusesTheBootMedium)
{
    FixtureRoot live;
    live.Device("sda", 8, 0).Device("sdb", 8, 16).Device("sdb/sdb2", 8, 18).Device("sdc", 8, 32);
    live.Link("proc/self/exe", "/usr/local/bin/zeza-dera");
    live.File("proc/self/mountinfo", "1 1 0:2 / / rw - rootfs rootfs rw\n"
                                     "21 1 8:18 / /run/live/medium ro - vfat /dev/sdb2 ro\n"
                                     "22 1 8:32 / /run/live/media/sdc ro - iso9660 /dev/sdc ro\n");
    const SystemDevices system(live.root());

    EXPECT_EQ(system.Unknown(), "");
    EXPECT_EQ(ConflictOf(system, live["sda"]), "free");
    EXPECT_EQ(ConflictOf(system, live["sdb"]), "the live system's medium is on it");
    EXPECT_EQ(ConflictOf(system, live["sdc"]), "the live system's medium is on it") << "a second stick of the image";
}

} // namespace
} // namespace zd::platform::linux_os
