#include "loop_device.h"

#include <fcntl.h>
#include <linux/blkpg.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace zd::test {

namespace {

void PutLe32(std::array<unsigned char, 512>& sector, std::size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        sector[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// A DOS partition table with Linux partitions (type 0x83).
bool WriteMbr(const std::string& file, const std::vector<PartitionSpec>& partitions)
{
    std::array<unsigned char, 512> sector{};
    for (std::size_t i = 0; i < partitions.size() && i < 4; ++i) {
        const std::size_t entry = 446 + 16 * i;
        sector[entry + 4] = 0x83;
        PutLe32(sector, entry + 8, static_cast<uint32_t>(partitions[i].startSector));
        PutLe32(sector, entry + 12, static_cast<uint32_t>(partitions[i].sectorCount));
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.write(reinterpret_cast<const char*>(sector.data()), sector.size());
    return static_cast<bool>(out);
}

std::string KernelName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Kernels without a DOS partition parser leave a scanned loop device without
// partitions; add them the way partx does.
bool EnsurePartitions(const std::string& path, const std::vector<PartitionSpec>& partitions)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t i = 0; i < partitions.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        const std::string name = KernelName(path) + "p" + std::to_string(number);
        if (std::filesystem::exists("/sys/block/" + KernelName(path) + "/" + name))
            continue;
        blkpg_partition part{};
        part.pno = number;
        part.start = static_cast<long long>(partitions[i].startSector * 512);
        part.length = static_cast<long long>(partitions[i].sectorCount * 512);
        blkpg_ioctl_arg request{};
        request.op = BLKPG_ADD_PARTITION;
        request.datalen = sizeof part;
        request.data = &part;
        ok = ok && ::ioctl(fd, BLKPG, &request) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

bool RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return false;
    std::string text;
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe))
        text += chunk.data();
    const int status = ::pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (output)
        *output = text;
    return status == 0;
}

std::string LoopDeviceUnavailableReason()
{
    if (::geteuid() != 0)
        return "needs root to attach loop devices";
    if (!std::filesystem::exists("/dev/loop-control"))
        return "the kernel offers no loop devices (/dev/loop-control is missing)";
    if (!RunCommand("losetup --version"))
        return "losetup (util-linux) is not installed";
    return {};
}

bool DevicesRequired() { return std::getenv("ZD_REQUIRE_DEVICES") != nullptr; }

LoopDevice::LoopDevice(const LoopOptions& options)
{
    std::string pattern = options.directory + "/zd-test-XXXXXX.img";
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) {
        ADD_FAILURE() << "cannot create a backing file in " << options.directory;
        return;
    }
    const bool sized = ::ftruncate(fd, static_cast<off_t>(options.sizeBytes)) == 0;
    ::close(fd);
    file_ = pattern;
    if (!sized || (!options.partitions.empty() && !WriteMbr(file_, options.partitions))) {
        ADD_FAILURE() << "cannot prepare " << file_;
        return;
    }
    std::string command = "losetup --find --show";
    if (options.sectorSize != 0)
        command += " --sector-size " + std::to_string(options.sectorSize);
    if (options.readOnly)
        command += " --read-only";
    if (!options.partitions.empty())
        command += " --partscan";
    if (!RunCommand(command + " " + file_, &path_) || path_.rfind("/dev/loop", 0) != 0) {
        ADD_FAILURE() << "losetup could not attach " << file_;
        path_.clear();
        return;
    }
    if (!options.partitions.empty() && !EnsurePartitions(path_, options.partitions))
        ADD_FAILURE() << "cannot create the partitions of " << path_;
}

LoopDevice::~LoopDevice()
{
    if (!path_.empty() && !RunCommand("losetup --detach " + path_))
        ADD_FAILURE() << "could not detach " << path_;
    if (!file_.empty())
        std::filesystem::remove(file_);
}

std::string LoopDevice::partitionPath(int number) const { return path_ + "p" + std::to_string(number); }

bool MakeExt4(const std::string& device, const std::string& label)
{
    return RunCommand("mkfs.ext4 -q -F -L '" + label + "' " + device);
}

bool IsMountPoint(const std::string& directory)
{
    std::ifstream mountinfo("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mountinfo, line)) {
        if (line.find(" " + directory + " ") != std::string::npos)
            return true;
    }
    return false;
}

TempMount::TempMount(const std::string& device, const std::string& fsType)
{
    char pattern[] = "/tmp/zd-mount-XXXXXX";
    if (!::mkdtemp(pattern)) {
        ADD_FAILURE() << "cannot create a mount point";
        return;
    }
    directory_ = pattern;
    mounted_ = ::mount(device.c_str(), directory_.c_str(), fsType.c_str(), 0, nullptr) == 0;
    if (!mounted_)
        ADD_FAILURE() << "cannot mount " << device << " on " << directory_;
}

TempMount::~TempMount()
{
    if (directory_.empty())
        return;
    if (IsMountPoint(directory_))
        ::umount2(directory_.c_str(), MNT_DETACH);
    ::rmdir(directory_.c_str());
}

} // namespace zd::test
