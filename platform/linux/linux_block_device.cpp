#include "linux_block_device.h"

#include <fcntl.h>
#include <linux/blkpg.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <set>
#include <system_error>

#include "block_devices.h"
#include "device_users.h"
#include "error_text.h"
#include "mountinfo.h"
#include "platform/aligned_buffer.h"
#include "platform/full_io.h"
#include "sysfs_identity.h"
#include "system_devices.h"
#include "unique_fd.h"
#include "uring_queues.h"

namespace zd::platform::linux_os {

namespace {

std::function<void(const std::filesystem::path&)>& BeforeOpenHook()
{
    static std::function<void(const std::filesystem::path&)> hook;
    return hook;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    if (S_ISBLK(a.st_mode))
        return S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
    return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the file behind a descriptor again with other flags: never another
// file that its path may name by now. Invalid, with errno ESTALE, when what
// was opened is not the same file after all.
UniqueFd Reopen(int fd, int flags, const struct stat& expected)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    UniqueFd again(::open(self.c_str(), flags | O_CLOEXEC));
    struct stat info {};
    if (again.valid() && (::fstat(again.get(), &info) != 0 || !SameFile(info, expected))) {
        again.Reset();
        errno = ESTALE;
    }
    return again;
}

// Why mounted file systems cannot be given up: the root file system, or one
// that a process still uses (unmounted, it would write its data back over
// the wipe; it is never detached lazily). Nothing when all can be unmounted.
std::optional<std::string> WhyMountsStay(const std::vector<MountEntry>& mounts)
{
    std::set<dev_t> fileSystems;
    for (const MountEntry& mount : mounts) {
        // Unmounting the running system's root would take the system down
        // under the wipe.
        if (mount.mountPoint == "/")
            return mount.source + " holds the root file system";
        const dev_t fileSystem = makedev(mount.major, mount.minor);
        if (!fileSystems.insert(fileSystem).second)
            continue;
        if (const auto users = ProcessesUsing(fileSystem); !users.empty())
            return mount.mountPoint + " is busy: in use by " + DescribeProcesses(users);
    }
    return std::nullopt;
}

// An image file is locked and an idle block device claimed exclusively, both
// until the device is closed. A block device with mounted file systems (its
// own or, for a whole disk, its partitions') is claimed once they are
// unmounted (Prepare), and refused at once while one of them stays busy.
// Anything else that holds the device refuses it.
bool ClaimAtOpen(int fd, const struct stat& info, UniqueFd& claim, std::string& whyNot)
{
    if (S_ISREG(info.st_mode)) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        whyNot = errno == EWOULDBLOCK ? "another program holds a lock on it (another wipe of it, perhaps)"
                                      : "it cannot be locked: " + ErrorText(errno);
        return false;
    }
    claim = Reopen(fd, O_RDONLY | O_EXCL, info);
    if (claim.valid())
        return true;
    const int error = errno;
    if (const auto mounts = MountsOn(info.st_rdev, true); error == EBUSY && !mounts.empty()) {
        const auto stays = WhyMountsStay(mounts);
        if (!stays)
            return true;
        whyNot = "it is in use: " + *stays;
        return false;
    }
    whyNot = error == EBUSY    ? "it is in use: " + DescribeDeviceUse(info.st_rdev)
             : error == ESTALE ? "it changed while it was being opened"
                               : "it cannot be claimed: " + ErrorText(error);
    return false;
}

// Why a mount could not be unmounted: busy, with what is mounted inside it
// where that is the cause, or the system's error.
std::string UnmountFailure(const MountEntry& mount, int error)
{
    if (error != EBUSY)
        return mount.mountPoint + " cannot be unmounted: " + ErrorText(error);
    for (const MountEntry& other : ReadMountInfo())
        if (other.mountPoint.size() > mount.mountPoint.size() &&
            other.mountPoint.starts_with(mount.mountPoint == "/" ? "/" : mount.mountPoint + "/"))
            return mount.mountPoint + " is busy: " + other.mountPoint + " is mounted inside it";
    return mount.mountPoint + " is busy";
}

template <class Syscall> ssize_t RetryOnInterrupt(Syscall call)
{
    ssize_t result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

class LinuxBlockDevice final : public BlockDevice {
public:
    LinuxBlockDevice(std::filesystem::path path, UniqueFd readWrite, UniqueFd direct, UniqueFd claim,
                     const struct stat& info)
        : path_(std::move(path)), readWrite_(std::move(readWrite)), direct_(std::move(direct)),
          claim_(std::move(claim)), opened_(info)
    {
    }

    bool Read(std::span<std::byte> buffer, uint64_t offset) override
    {
        // Unbuffered where possible, so the device's logical block size
        // decides which lengths are accepted, as on a raw device elsewhere.
        // Unbuffered transfers also need an aligned buffer: a caller's
        // unaligned one is served through an aligned copy.
        const bool aligned = reinterpret_cast<std::uintptr_t>(buffer.data()) % AlignedBuffer::kAlignment == 0;
        if (direct_.valid() && !aligned) {
            AlignedBuffer bounce(buffer.size());
            if (!ReadFrom(direct_.get(), bounce.span(), offset))
                return false;
            std::copy(bounce.data(), bounce.data() + bounce.size(), buffer.data());
            return true;
        }
        return ReadFrom(direct_.valid() ? direct_.get() : readWrite_.get(), buffer, offset);
    }

    // Unbuffered where the device and the transfer allow it, so a write
    // that succeeds has reached the device rather than the page cache; a
    // transfer the file refuses unbuffered goes through the cache instead.
    bool Write(std::span<const std::byte> buffer, uint64_t offset) override
    {
        const int direct = direct_.get();
        const int buffered = readWrite_.get();
        int error = 0;
        const bool written = TransferFully(buffer, offset, [&](const std::byte* data, std::size_t length, uint64_t at) {
            ssize_t result = -1;
            if (direct >= 0)
                result = RetryOnInterrupt([&] { return ::pwrite(direct, data, length, static_cast<off_t>(at)); });
            if (direct < 0 || (result < 0 && errno == EINVAL))
                result = RetryOnInterrupt([&] { return ::pwrite(buffered, data, length, static_cast<off_t>(at)); });
            error = result < 0 ? errno : ENOSPC; // a write that stores nothing: the device is full
            return result;
        });
        return written || Fail(ErrorText(error));
    }

    std::optional<uint64_t> Length(DeviceKind) override
    {
        if (S_ISBLK(opened_.st_mode)) {
            uint64_t bytes = 0;
            if (::ioctl(readWrite_.get(), BLKGETSIZE64, &bytes) != 0) {
                Fail(ErrorText(errno));
                return std::nullopt;
            }
            return bytes;
        }
        struct stat info {};
        if (::fstat(readWrite_.get(), &info) != 0) {
            Fail(ErrorText(errno));
            return std::nullopt;
        }
        return static_cast<uint64_t>(info.st_size);
    }

    bool Prepare(DeviceKind kind) override
    {
        if (!S_ISBLK(opened_.st_mode))
            return true; // a disk image has nothing to take away from the system
        switch (kind) {
        case PhysicalDisk:
            return DeleteLayout();
        case LogicalVolume:
            return LockOrDismount();
        }
        return true;
    }

    std::optional<DeviceIdentity> Identity() override
    {
        struct stat now {};
        if (::fstat(readWrite_.get(), &now) != 0)
            return std::nullopt;
        return ReadIdentityOf(path_, now);
    }

    bool Flush() override { return ::fdatasync(readWrite_.get()) == 0 || Fail(ErrorText(errno)); }

    std::unique_ptr<WriteQueue> OpenWriteQueue(unsigned depth) override
    {
        if (direct_.valid()) {
            auto write = [this](std::span<const std::byte> buffer, uint64_t offset, std::string& why) {
                return Write(buffer, offset) || (why = LastError(), false);
            };
            if (auto queue = OpenUringWriteQueue(direct_.get(), depth, write))
                return queue;
        }
        return BlockDevice::OpenWriteQueue(depth);
    }

    // Reads unbuffered, so what is read back comes from the device. A read
    // the device refuses unbuffered (an image file's bytes after its last
    // whole block) goes through the cache instead, as its write did.
    std::unique_ptr<ReadQueue> OpenReadQueue(unsigned depth) override
    {
        if (direct_.valid()) {
            auto readThroughCache = [this](std::span<std::byte> buffer, uint64_t offset, std::string& why) {
                return ReadFrom(readWrite_.get(), buffer, offset) || (why = LastError(), false);
            };
            if (auto queue = OpenUringReadQueue(direct_.get(), depth, readThroughCache))
                return queue;
        }
        return BlockDevice::OpenReadQueue(depth);
    }

private:
    bool ReadFrom(int fd, std::span<std::byte> buffer, uint64_t offset)
    {
        int error = 0;
        const bool read = TransferFully(buffer, offset, [&](std::byte* data, std::size_t length, uint64_t at) {
            const ssize_t result = RetryOnInterrupt([&] { return ::pread(fd, data, length, static_cast<off_t>(at)); });
            error = result < 0 ? errno : ENXIO; // nothing more to read: past the end of the device
            return result;
        });
        return read || Fail(ErrorText(error));
    }

    // Unmounts the disk's partitions, claims the whole disk, so nothing can
    // mount or claim a partition meanwhile, drops the partitions from the
    // kernel's view and clears the partition-table sectors, so even a
    // cancelled run leaves no layout behind. The disk is the user's choice of
    // everything on it; a partition held other than by a mount refuses it.
    bool DeleteLayout()
    {
        if (!UnmountAndClaim(true))
            return false;
        for (const Partition& existing : PartitionsOf(opened_.st_rdev)) {
            blkpg_partition partition{};
            partition.pno = existing.number;
            blkpg_ioctl_arg request{};
            request.op = BLKPG_DEL_PARTITION;
            request.datalen = sizeof partition;
            request.data = &partition;
            if (::ioctl(readWrite_.get(), BLKPG, &request) != 0) {
                const std::string why = ErrorText(errno);
                return Fail("partition " + std::to_string(existing.number) + " of " + path_.string() +
                            " cannot be removed: " + why);
            }
        }
        return ClearLayoutSectors();
    }

    // MBR and the primary GPT header sit in the first two logical blocks, the
    // backup GPT header in the last.
    bool ClearLayoutSectors()
    {
        int blockSize = 512;
        if (::ioctl(readWrite_.get(), BLKSSZGET, &blockSize) != 0 || blockSize <= 0)
            blockSize = 512;
        const auto length = Length(PhysicalDisk);
        if (!length)
            return false;
        const uint64_t block = static_cast<uint64_t>(blockSize);
        const uint64_t head = std::min<uint64_t>(2 * block, *length);
        AlignedBuffer zeros(2 * block);
        if (!Write(zeros.span().first(head), 0))
            return false;
        if (*length >= head + block && !Write(zeros.span().first(block), *length - block))
            return false;
        return Flush();
    }

    // A volume that no one holds is claimed exclusively; a mounted one is
    // unmounted and then claimed, unless its file system stays (WhyMountsStay).
    bool LockOrDismount() { return UnmountAndClaim(false); }

    // Claims the device, after unmounting what is mounted from it (and, with
    // partitions, from its partitions), innermost mount first.
    bool UnmountAndClaim(bool withPartitions)
    {
        if (Claim())
            return true;
        auto mounts = MountsOn(opened_.st_rdev, withPartitions);
        if (mounts.empty())
            return Fail(path_.string() + " is in use: " + DescribeDeviceUse(opened_.st_rdev));
        if (const auto stays = WhyMountsStay(mounts))
            return Fail(*stays);
        std::reverse(mounts.begin(), mounts.end());
        std::stable_sort(mounts.begin(), mounts.end(), [](const MountEntry& a, const MountEntry& b) {
            return a.mountPoint.size() > b.mountPoint.size();
        });
        for (const MountEntry& mount : mounts)
            if (::umount2(mount.mountPoint.c_str(), UMOUNT_NOFOLLOW) != 0)
                return Fail(UnmountFailure(mount, errno));
        if (!Claim())
            return Fail(path_.string() + " is still in use after unmounting: " + DescribeDeviceUse(opened_.st_rdev));
        return true;
    }

    // Claims the device exclusively until it is closed, unless it already is.
    bool Claim()
    {
        if (!claim_.valid())
            claim_ = Reopen(readWrite_.get(), O_RDONLY | O_EXCL, opened_);
        return claim_.valid();
    }

    std::filesystem::path path_;
    UniqueFd readWrite_;
    UniqueFd direct_;
    UniqueFd claim_;     // exclusive claim, held until close
    struct stat opened_; // what was opened: a block device (st_rdev) or an image file
};

class LinuxDeviceBackend final : public DeviceBackend {
public:
    std::optional<DeviceTarget> Classify(const std::filesystem::path& name) const override
    {
        return ClassifyDevicePath(name);
    }
    std::unique_ptr<BlockDevice> Open(const DeviceTarget& target) const override { return OpenDevicePath(target); }
    std::unique_ptr<BlockDevice> OpenExplained(const DeviceTarget& target, std::string& whyNot) const override
    {
        return OpenDevicePath(target, &whyNot);
    }
};

} // namespace

std::optional<DeviceTarget> ClassifyDevicePath(const std::filesystem::path& name)
{
    if (!name.is_absolute())
        return std::nullopt;
    // The device itself, not a link to it, is what is shown, logged and
    // opened.
    std::error_code error;
    const auto path = std::filesystem::canonical(name, error);
    struct stat info {};
    if (error || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (S_ISREG(info.st_mode))
        return DeviceTarget{PhysicalDisk, path, true};
    if (!S_ISBLK(info.st_mode))
        return std::nullopt;
    const bool volume = IsPartition(info.st_rdev) || !MountsOn(info.st_rdev, false).empty();
    return DeviceTarget{volume ? LogicalVolume : PhysicalDisk, path};
}

void SetBeforeOpenHook(std::function<void(const std::filesystem::path&)> hook) { BeforeOpenHook() = std::move(hook); }

std::unique_ptr<BlockDevice> OpenDevicePath(const DeviceTarget& target, std::string* whyNot)
{
    std::string ignored;
    std::string& why = whyNot ? *whyNot : ignored;
    if (const auto& hook = BeforeOpenHook())
        hook(target.path);
    // Only this descriptor is used from here on: the path was checked
    // before, but may name another device by now.
    UniqueFd readWrite(::open(target.path.c_str(), O_RDWR | O_CLOEXEC));
    if (!readWrite.valid()) {
        why = "it cannot be opened: " + ErrorText(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(readWrite.get(), &info) != 0 || !(S_ISBLK(info.st_mode) || S_ISREG(info.st_mode))) {
        why = "it is neither a block device nor a regular file";
        return nullptr;
    }
    // The kernel lets root open a read-only block device for writing and
    // fails only the writes; refuse it here instead.
    int readOnly = 0;
    if (S_ISBLK(info.st_mode) && (::ioctl(readWrite.get(), BLKROGET, &readOnly) != 0 || readOnly != 0)) {
        why = "it is read-only";
        return nullptr;
    }
    if (S_ISBLK(info.st_mode))
        if (const auto conflict = RunningSystemDevices().Conflict(info.st_rdev)) {
            why = "it holds the running system (" + *conflict + ")";
            return nullptr;
        }
    UniqueFd claim;
    if (!ClaimAtOpen(readWrite.get(), info, claim, why))
        return nullptr;
    // Not every file system takes unbuffered transfers; they then go
    // through the page cache.
    UniqueFd direct = Reopen(readWrite.get(), O_RDWR | O_DIRECT, info);
    if (!direct.valid() && errno == ESTALE) {
        why = "it changed while it was being opened";
        return nullptr;
    }
    return std::make_unique<LinuxBlockDevice>(target.path, std::move(readWrite), std::move(direct), std::move(claim),
                                              info);
}

} // namespace zd::platform::linux_os

namespace zd::platform {

const DeviceBackend& SystemDeviceBackend()
{
    static const linux_os::LinuxDeviceBackend backend;
    return backend;
}

} // namespace zd::platform
