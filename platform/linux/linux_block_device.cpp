#include "linux_block_device.h"

#include <fcntl.h>
#include <linux/blkpg.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "block_devices.h"
#include "error_text.h"
#include "mountinfo.h"
#include "platform/aligned_buffer.h"
#include "platform/full_io.h"
#include "unique_fd.h"
#include "uring_write_queue.h"

namespace zd::platform::linux_os {

namespace {

bool SameDevice(const MountEntry& mount, dev_t device) { return MountedDevice(mount) == device; }

bool HoldsMountedFileSystem(dev_t device)
{
    const auto mounts = ReadMountInfo();
    return std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& m) { return SameDevice(m, device); });
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
    LinuxBlockDevice(std::filesystem::path path, UniqueFd readWrite, UniqueFd direct, const struct stat& info)
        : path_(std::move(path)), readWrite_(std::move(readWrite)), direct_(std::move(direct)),
          isBlock_(S_ISBLK(info.st_mode)), device_(info.st_rdev)
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
        if (isBlock_) {
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
        if (!isBlock_)
            return true; // a disk image has nothing to take away from the system
        switch (kind) {
        case PhysicalDisk:
            return DeleteLayout();
        case LogicalVolume:
            return LockOrDismount();
        }
        return true;
    }

    bool Flush() override { return ::fdatasync(readWrite_.get()) == 0 || Fail(ErrorText(errno)); }

    std::unique_ptr<WriteQueue> OpenWriteQueue(unsigned depth) override
    {
        if (direct_.valid()) {
            if (auto queue = OpenUringWriteQueue(direct_.get(), depth, *this))
                return queue;
        }
        return BlockDevice::OpenWriteQueue(depth);
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

    // Claims the whole disk, so nothing can mount or claim a partition
    // meanwhile (refused while any partition is mounted or held), drops the
    // partitions from the kernel's view and clears the partition-table
    // sectors, so even a cancelled run leaves no layout behind.
    bool DeleteLayout()
    {
        if (!Claim())
            return false;
        for (const Partition& existing : PartitionsOf(device_)) {
            blkpg_partition partition{};
            partition.pno = existing.number;
            blkpg_ioctl_arg request{};
            request.op = BLKPG_DEL_PARTITION;
            request.datalen = sizeof partition;
            request.data = &partition;
            if (::ioctl(readWrite_.get(), BLKPG, &request) != 0)
                return false;
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
    // unmounted (lazily when busy, as a forced dismount would) and the claim
    // is tried again. A volume held by something other than a mount, or
    // mounted as the root file system, is left alone.
    bool LockOrDismount()
    {
        if (Claim())
            return true;
        auto mounts = ReadMountInfo();
        std::erase_if(mounts, [&](const MountEntry& m) { return !SameDevice(m, device_); });
        // Detaching the running system's root would take the system down
        // under the wipe; such a volume is never released here.
        const bool isRoot =
            std::any_of(mounts.begin(), mounts.end(), [](const MountEntry& m) { return m.mountPoint == "/"; });
        if (mounts.empty() || isRoot)
            return false;
        std::reverse(mounts.begin(), mounts.end());
        std::stable_sort(mounts.begin(), mounts.end(), [](const MountEntry& a, const MountEntry& b) {
            return a.mountPoint.size() > b.mountPoint.size();
        });
        for (const MountEntry& mount : mounts) {
            if (::umount2(mount.mountPoint.c_str(), 0) == 0)
                continue;
            if (errno == EBUSY && ::umount2(mount.mountPoint.c_str(), MNT_DETACH) == 0)
                continue;
            return false;
        }
        Claim();
        return true;
    }

    bool Claim()
    {
        claim_ = UniqueFd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_EXCL));
        return claim_.valid();
    }

    std::filesystem::path path_;
    UniqueFd readWrite_;
    UniqueFd direct_;
    UniqueFd claim_; // exclusive claim, held until close
    bool isBlock_;
    dev_t device_;
};

class LinuxDeviceBackend final : public DeviceBackend {
public:
    std::optional<DeviceTarget> Classify(const std::filesystem::path& name) const override
    {
        return ClassifyDevicePath(name);
    }
    std::unique_ptr<BlockDevice> Open(const DeviceTarget& target) const override { return OpenDevicePath(target); }
};

} // namespace

std::optional<DeviceTarget> ClassifyDevicePath(const std::filesystem::path& name)
{
    if (!name.is_absolute())
        return std::nullopt;
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0)
        return std::nullopt;
    if (S_ISREG(info.st_mode))
        return DeviceTarget{PhysicalDisk, name, true};
    if (!S_ISBLK(info.st_mode))
        return std::nullopt;
    const bool volume = IsPartition(info.st_rdev) || HoldsMountedFileSystem(info.st_rdev);
    return DeviceTarget{volume ? LogicalVolume : PhysicalDisk, name};
}

std::unique_ptr<BlockDevice> OpenDevicePath(const DeviceTarget& target)
{
    UniqueFd readWrite(::open(target.path.c_str(), O_RDWR | O_CLOEXEC));
    if (!readWrite.valid())
        return nullptr;
    struct stat info {};
    if (::fstat(readWrite.get(), &info) != 0 || !(S_ISBLK(info.st_mode) || S_ISREG(info.st_mode)))
        return nullptr;
    // The kernel lets root open a read-only block device for writing and
    // fails only the writes; refuse it here instead.
    int readOnly = 0;
    if (S_ISBLK(info.st_mode) && (::ioctl(readWrite.get(), BLKROGET, &readOnly) != 0 || readOnly != 0))
        return nullptr;
    // Not every file system takes unbuffered transfers; they then go
    // through the page cache.
    UniqueFd direct(::open(target.path.c_str(), O_RDWR | O_CLOEXEC | O_DIRECT));
    return std::make_unique<LinuxBlockDevice>(target.path, std::move(readWrite), std::move(direct), info);
}

} // namespace zd::platform::linux_os

namespace zd::platform {

const DeviceBackend& SystemDeviceBackend()
{
    static const linux_os::LinuxDeviceBackend backend;
    return backend;
}

} // namespace zd::platform
