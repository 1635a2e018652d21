#include "faulty_device.h"

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace zd::test {

namespace {

const char* KindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::FailWrite:
        return "fail-write";
    case FaultKind::FailRead:
        return "fail-read";
    case FaultKind::AlterRead:
        return "alter-read";
    case FaultKind::DelayWrite:
        return "delay-write";
    case FaultKind::HangWrite:
        return "hang-write";
    case FaultKind::FailFlush:
        return "fail-fsync";
    case FaultKind::Vanish:
        return "vanish";
    }
    return "";
}

} // namespace

std::string FaultyDeviceUnavailableReason()
{
    std::string reason = LoopDeviceUnavailableReason();
    if (!reason.empty())
        return reason;
    if (!std::filesystem::exists("/dev/fuse"))
        return "the kernel offers no FUSE (/dev/fuse is missing)";
    if (::access(ZD_FAULT_STORE, X_OK) != 0)
        return "zd-fault-store was not built (libfuse3 missing)";
    return {};
}

FaultyLoopDevice::FaultyLoopDevice(uint64_t sizeBytes, char fill, uint32_t sectorSize)
{
    std::string file = "/dev/shm/zd-faults-XXXXXX.img";
    const int fd = ::mkstemps(file.data(), 4);
    if (fd < 0) {
        ADD_FAILURE() << "cannot create a backing file in /dev/shm";
        return;
    }
    ::close(fd);
    backingFile_ = file;
    std::ofstream(backingFile_, std::ios::binary) << std::string(sizeBytes, fill);

    char mountPoint[] = "/tmp/zd-faults-XXXXXX";
    if (!::mkdtemp(mountPoint)) {
        ADD_FAILURE() << "cannot create a mount point";
        return;
    }
    mountPoint_ = mountPoint;
    // The store returns once it is mounted, and then serves in the background.
    mounted_ = RunCommand(std::string(ZD_FAULT_STORE) + " " + backingFile_ + " " + mountPoint_);
    if (!mounted_) {
        ADD_FAILURE() << "zd-fault-store could not mount on " << mountPoint_;
        return;
    }
    std::string device;
    const std::string sectors = sectorSize != 0 ? " --sector-size " + std::to_string(sectorSize) : "";
    if (!RunCommand("losetup --find --show --direct-io=off" + sectors + " " + mountPoint_ + "/disk", &device) ||
        device.rfind("/dev/loop", 0) != 0) {
        ADD_FAILURE() << "losetup could not attach " << mountPoint_ << "/disk";
        return;
    }
    path_ = device;
    // One block of the engine per request: a merged request would fail
    // whole and report the fault at the block before it.
    std::ofstream limit("/sys/block/" + std::filesystem::path(path_).filename().string() + "/queue/max_sectors_kb");
    limit << 256;
    if (!limit.flush())
        ADD_FAILURE() << "cannot limit the request size of " << path_;
}

FaultyLoopDevice::~FaultyLoopDevice()
{
    if (mounted_)
        Disarm(); // a hung write would hold the detach
    if (!path_.empty() && !RunCommand("losetup --detach " + path_))
        ADD_FAILURE() << "could not detach " << path_;
    if (mounted_ && ::umount2(mountPoint_.c_str(), 0) != 0 && ::umount2(mountPoint_.c_str(), MNT_DETACH) != 0)
        ADD_FAILURE() << "could not unmount " << mountPoint_;
    if (!mountPoint_.empty())
        ::rmdir(mountPoint_.c_str());
    if (!backingFile_.empty())
        std::filesystem::remove(backingFile_);
}

bool FaultyLoopDevice::Control(const std::string& command)
{
    if (!mounted_)
        return false;
    std::ofstream control(mountPoint_ + "/control");
    control << command << '\n';
    return static_cast<bool>(control.flush());
}

bool FaultyLoopDevice::Arm(const Fault& fault)
{
    std::ostringstream command;
    command << "arm " << KindName(fault.kind) << ' ' << fault.begin << ' ' << fault.end << ' ' << fault.error << ' '
            << fault.skip << ' ' << fault.times << ' ' << fault.delayMs;
    return Control(command.str());
}

bool FaultyLoopDevice::Disarm() { return Control("disarm"); }

bool FaultyLoopDevice::Counters(std::size_t index, uint64_t& hits, uint64_t& acted) const
{
    std::ifstream control(mountPoint_ + "/control");
    std::string kind;
    for (std::size_t i = 0; i <= index; ++i)
        if (!(control >> kind >> hits >> acted))
            return false;
    return true;
}

uint64_t FaultyLoopDevice::Hits(std::size_t index) const
{
    uint64_t hits = 0, acted = 0;
    Counters(index, hits, acted);
    return hits;
}

uint64_t FaultyLoopDevice::Acted(std::size_t index) const
{
    uint64_t hits = 0, acted = 0;
    Counters(index, hits, acted);
    return acted;
}

} // namespace zd::test
