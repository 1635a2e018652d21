// A loop device whose backing store fails on demand: the test-support API of
// the fault-injection harness.
//
// FaultyLoopDevice attaches /dev/loopN over the file of a small FUSE file
// system (zd-fault-store, built beside the tests) that serves a backing file
// in /dev/shm. Faults are armed and disarmed while the device is in use;
// each takes effect before Arm returns, so a test arms it from the engine's
// notifications (or before the run, with `skip` to reach a later pass)
// without sleeping:
//
//     ZD_REQUIRE_FAULTY_DEVICES();
//     test::FaultyLoopDevice disk(64 << 20);
//     ASSERT_TRUE(disk.attached());
//     // the second write over the 10 MiB block fails: pass 2 of a method
//     disk.Arm({.kind = test::FaultKind::FailWrite, .begin = 10 << 20, .end = (10 << 20) + 512, .skip = 1});
//     ... wipe disk.path() ...
//     EXPECT_EQ(disk.Acted(0), 1u);
//
// Ranges are byte offsets of the device. An operation whose bytes overlap
// the range is a hit; a write or read that is acted on fails whole, never
// short. The loop driver reports a short write to its backing file as
// success, and it merges adjacent requests, so the device is limited to
// requests of one 256 KiB block: place faults at 256 KiB block boundaries
// (or within one block) and the engine sees them at the block they hit.
//
// Everything is undone on destruction, in reverse: faults disarmed, loop
// device detached, store unmounted, files removed, even when the test fails.
#pragma once

#include <cerrno>
#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/loop_device.h"

namespace zd::test {

enum class FaultKind {
    FailWrite,  // the write fails with `error`
    FailRead,   // the read fails with `error`
    AlterRead,  // the read returns the stored bytes of the range altered
    DelayWrite, // the write waits `delayMs`, then is carried out
    HangWrite,  // the write waits until Disarm, then is carried out
    FailFlush,  // a flush (fsync) fails with `error`; the range is not used
    Vanish,     // from now on every operation fails with `error`: the store is gone
};

struct Fault {
    FaultKind kind = FaultKind::FailWrite;
    uint64_t begin = 0;
    uint64_t end = std::numeric_limits<uint64_t>::max();
    int error = EIO;
    uint64_t skip = 0;  // hits let through before the fault acts
    uint64_t times = 0; // hits acted on, then the fault lets everything through; 0: every one
    unsigned delayMs = 0;
};

// Why faulty devices cannot be made here, or empty when they can.
std::string FaultyDeviceUnavailableReason();

// Skips the current test when faulty devices cannot be made; where
// ZD_REQUIRE_DEVICES is set (CI as root) that is a failure instead.
#define ZD_REQUIRE_FAULTY_DEVICES()                                                                                    \
    do {                                                                                                               \
        const std::string reason_ = ::zd::test::FaultyDeviceUnavailableReason();                                       \
        if (!reason_.empty()) {                                                                                        \
            if (::zd::test::DevicesRequired())                                                                         \
                FAIL() << "faulty devices are required here: " << reason_;                                             \
            GTEST_SKIP() << reason_;                                                                                   \
        }                                                                                                              \
    } while (0)

class FaultyLoopDevice {
public:
    // A device of sizeBytes whose every byte is `fill`, with sectors of
    // sectorSize bytes (0: the loop driver's default of 512).
    explicit FaultyLoopDevice(uint64_t sizeBytes, char fill = 0, uint32_t sectorSize = 0);
    ~FaultyLoopDevice();
    FaultyLoopDevice(const FaultyLoopDevice&) = delete;
    FaultyLoopDevice& operator=(const FaultyLoopDevice&) = delete;

    bool attached() const { return !path_.empty(); }
    const std::string& path() const { return path_; }               // /dev/loopN
    const std::string& backingFile() const { return backingFile_; } // what the store holds, to read back

    // Adds a fault, in force when this returns; faults are numbered from 0
    // in the order they were armed. False when the store refused it.
    bool Arm(const Fault& fault);
    // Removes every fault and lets hung writes go on.
    bool Disarm();
    // How often the fault numbered `index` was hit and acted on.
    uint64_t Hits(std::size_t index) const;
    uint64_t Acted(std::size_t index) const;

private:
    bool Control(const std::string& command);
    bool Counters(std::size_t index, uint64_t& hits, uint64_t& acted) const;

    std::string backingFile_;
    std::string mountPoint_;
    bool mounted_ = false;
    std::string path_;
};

} // namespace zd::test
