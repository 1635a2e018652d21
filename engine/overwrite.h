// The overwrite passes: RunWipe prepares the device and writes every pass of
// a method over it, block by block, then verifies samples of the last pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "wipe_context.h"

namespace zd {

inline constexpr uint64_t kBlockSectors = 512;
inline constexpr std::size_t kBlockBytes = 262'144;

// Writes of the pattern block kept in flight at once. Each is still counted,
// notified and checked on its own, in order, when it has completed.
inline constexpr unsigned kWritesInFlight = 16;

// How a device divides into whole 256 KiB blocks and a tail, in sectors.
struct PassLayout {
    uint64_t wholeBlockSectors;
    uint64_t tailSectors; // 0..511

    static PassLayout Of(uint64_t sectorCount)
    {
        return {sectorCount - sectorCount % kBlockSectors, sectorCount % kBlockSectors};
    }
};

struct WipeOutcome {
    bool completed = false;        // every pass of the method ran to its end
    uint32_t verifyMismatches = 0; // samples that read back differently
};

// Runs the method's passes over the context's device. Not completed when the
// method cannot be run, the device cannot be prepared, a write or a flush
// fails, or a stop is requested.
WipeOutcome RunWipe(int32_t algorithmId, WipeContext& context);

// One pass: the block buffer at every whole-block position, then the tail
// buffer. False when it stopped on a request or a failed write.
bool WritePass(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
               const PassLayout& layout);

} // namespace zd
