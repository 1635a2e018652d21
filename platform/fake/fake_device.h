// An in-memory device and backend for tests and benchmarks, with the faults
// a real device can show and the system's words for them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/block_device.h"

namespace zd::platform {

// The medium. It outlives the handles opened on it, so a test can inspect
// it after the engine has closed the device.
struct FakeDisk {
    explicit FakeDisk(uint64_t sizeBytes) : bytes(sizeBytes) {}

    std::vector<std::byte> bytes;

    // Fault modes.
    bool refusePrepare = false;
    bool failLength = false;
    uint64_t failWriteNumber = 0;  // the Nth write (1-based) fails; 0: none
    uint32_t shortWriteBytes = 0;  // each write call stores at most this many; 0: all
    bool shortWriteStalls = false; // after a short store, the next call stores nothing
    uint32_t readUnit = 512;       // reads are accepted only in multiples of this
    bool failReads = false;        // every read fails, as on a medium that has gone bad
    bool failFlush = false;
    std::optional<DeviceIdentity> identity; // what the device tells of itself; none by default

    // Observations.
    int openHandles = 0;
    uint64_t readCalls = 0;
    uint64_t writeCalls = 0; // Write requests, not the calls that complete them
    uint64_t prepareCalls = 0;
    uint64_t flushCalls = 0;
    // Called with every write request that succeeds, after it is stored.
    std::function<void(uint64_t offset, std::span<const std::byte> data)> onWrite;
    // Called with every read request, before it is answered.
    std::function<void(uint64_t offset, std::size_t length)> onRead;
};

class FakeDeviceBackend final : public DeviceBackend {
public:
    // Names not added are refused by Classify.
    void Add(const std::filesystem::path& name, DeviceKind kind, std::shared_ptr<FakeDisk> disk);

    std::optional<DeviceTarget> Classify(const std::filesystem::path& name) const override;
    std::unique_ptr<BlockDevice> Open(const DeviceTarget& target) const override;

    // Number of Open calls made, successful or not.
    int openCalls() const { return openCalls_; }

private:
    struct Entry {
        DeviceKind kind;
        std::shared_ptr<FakeDisk> disk;
    };
    std::map<std::filesystem::path, Entry> entries_;
    mutable int openCalls_ = 0;
};

} // namespace zd::platform
