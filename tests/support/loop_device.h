// Loop devices that a test attaches over its own files and detaches again,
// by name. Nothing here touches a device the test did not create.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zd::test {

// Why tests that need loop devices cannot run here, or empty when they can.
std::string LoopDeviceUnavailableReason();

// Skips the current test when loop devices are unavailable. Where
// ZD_REQUIRE_DEVICES is set (CI runs as root), that is a failure instead.
#define ZD_REQUIRE_LOOP_DEVICES()                                                                                      \
    do {                                                                                                               \
        const std::string reason_ = ::zd::test::LoopDeviceUnavailableReason();                                         \
        if (!reason_.empty()) {                                                                                        \
            if (::zd::test::DevicesRequired())                                                                         \
                FAIL() << "loop devices are required here: " << reason_;                                               \
            GTEST_SKIP() << reason_;                                                                                   \
        }                                                                                                              \
    } while (0)

bool DevicesRequired();

struct PartitionSpec {
    uint64_t startSector; // in 512-byte sectors
    uint64_t sectorCount;
};

struct LoopOptions {
    uint64_t sizeBytes = 64ull << 20;
    uint32_t sectorSize = 0; // 0: the loop driver's default of 512
    bool readOnly = false;
    std::vector<PartitionSpec> partitions; // written as an MBR; the device is attached with partition scanning
    std::string directory = "/dev/shm";
};

class LoopDevice {
public:
    explicit LoopDevice(const LoopOptions& options);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    bool attached() const { return !path_.empty(); }
    const std::string& path() const { return path_; } // /dev/loopN
    const std::string& backingFile() const { return file_; }
    std::string partitionPath(int number) const; // /dev/loopNpK
    // After the test detached the device itself and lost it to another
    // user: the device is no longer detached on destruction.
    void Forget() { path_.clear(); }

private:
    std::string file_;
    std::string path_;
};

// Formats a device with ext4 and the given label.
bool MakeExt4(const std::string& device, const std::string& label);

// A mount of a device on a fresh directory under /tmp, undone on destruction
// unless something else unmounted it first.
class TempMount {
public:
    TempMount(const std::string& device, const std::string& fsType);
    ~TempMount();
    TempMount(const TempMount&) = delete;
    TempMount& operator=(const TempMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& directory() const { return directory_; }

private:
    std::string directory_;
    bool mounted_ = false;
};

// Whether /proc/self/mountinfo lists a mount at the directory.
bool IsMountPoint(const std::string& directory);

// Runs a shell command; true when it exits with 0. Its standard output,
// without the final line end, goes to *output.
bool RunCommand(const std::string& command, std::string* output = nullptr);

} // namespace zd::test
